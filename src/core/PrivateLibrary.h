#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zeb {

// Where one of the program's own shared objects is looked for, named in full: beside the
// program, then in lib/zeb beside the bin folder of an installed program.
std::vector<std::filesystem::path> PrivateLibraryPlaces(const std::string& fileName);

// Opens one of the program's own shared objects, loaded at run time so that a run that does not
// need it does not pay for it: beside the program first, named in full (a lookup through the
// run path depends on which object calls dlopen, and sanitizers put themselves in between),
// then in lib/zeb beside the bin folder of an installed program, then through the default
// search. Its symbols stay its own (RTLD_LOCAL): it cannot interpose on the program's.
// Returns the handle, or nullptr with, in whyNot, the loader's reason for the first copy that
// exists but would not load (empty when none was found).
void* OpenPrivateLibrary(const std::string& fileName, std::string* whyNot = nullptr);

// Opens one shared object (RTLD_NOW, RTLD_LOCAL). When it is there but will not load (a
// missing dependency, a damaged file), the loader's reason goes into `failure` unless that
// already holds one: a copy that will not load says more than one that is absent.
void* OpenLibraryFile(const std::string& file, std::string& failure);

} // namespace zeb
