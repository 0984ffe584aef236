#include "PrivateLibrary.h"

#include <dlfcn.h>
#include <filesystem>
#include <unistd.h>

namespace zeb {

std::vector<std::filesystem::path> PrivateLibraryPlaces(const std::string& fileName) {
    namespace fs = std::filesystem;
    std::vector<fs::path> places;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        places.push_back(program.parent_path() / fileName);
        places.push_back(program.parent_path().parent_path() / "lib" / "zeb" / fileName);
    }
    return places;
}

void* OpenPrivateLibrary(const std::string& fileName, std::string* whyNot) {
    namespace fs = std::filesystem;
    std::string failure;
    const auto open = [&failure](const std::string& name) {
        void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
        // A copy that is there but will not load (a missing dependency, a damaged file) is
        // worth telling; one that is simply absent is not.
        if (handle == nullptr && failure.empty() && name.find('/') != std::string::npos &&
            ::access(name.c_str(), F_OK) == 0)
            if (const char* reason = ::dlerror(); reason != nullptr)
                failure = reason;
        return handle;
    };
    void* handle = nullptr;
    for (const fs::path& place : PrivateLibraryPlaces(fileName))
        if (handle == nullptr)
            handle = open(place);
    if (handle == nullptr)
        handle = open(fileName);
    if (whyNot != nullptr)
        *whyNot = handle == nullptr ? failure : std::string();
    return handle;
}

} // namespace zeb
