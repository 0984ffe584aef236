#pragma once

#include <string>
#include <string_view>

namespace zeb::unzdll {

// The French sentence for an UnzDllMessage code, in Windows-1252. `member` is the member's
// name as the caller lists it (Windows-1252 already); `detail` is the compression method
// for UNZDLL_MSG_UNSUPPORTED_METHOD and an errno value for the messages about the disk and
// the archive file, 0 when unknown.
std::string MessageText(int code, std::string_view member, int detail = 0);

} // namespace zeb::unzdll
