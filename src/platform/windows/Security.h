#pragma once

// Who may read what the program makes, and who made what it finds.

#include <windows.h>

namespace zeb::windows {

// For a new file or folder: access for the user alone, with the system and the administrators,
// as in the user's own profile; nothing inherited from a folder others may read. A folder passes
// it on to what is made inside. Null (the folder's own rules) when the user cannot be known.
SECURITY_ATTRIBUTES* PrivateFileSecurity();
SECURITY_ATTRIBUTES* PrivateFolderSecurity();

// Whether what `handle` opened (with READ_CONTROL) belongs to the user running the program:
// the user, or the owner the user's token gives to what it makes (the administrators, for an
// elevated program).
bool OwnedByUser(HANDLE handle);

} // namespace zeb::windows
