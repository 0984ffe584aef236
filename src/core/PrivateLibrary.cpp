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

void* OpenLibraryFile(const std::string& file, std::string& failure) {
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && failure.empty() && file.find('/') != std::string::npos &&
        ::access(file.c_str(), F_OK) == 0)
        if (const char* reason = ::dlerror(); reason != nullptr)
            failure = reason;
    return handle;
}

void* OpenPrivateLibrary(const std::string& fileName, std::string* whyNot) {
    std::string failure;
    void* handle = nullptr;
    for (const std::filesystem::path& place : PrivateLibraryPlaces(fileName))
        if (handle == nullptr)
            handle = OpenLibraryFile(place, failure);
    if (handle == nullptr)
        handle = OpenLibraryFile(fileName, failure);
    if (whyNot != nullptr)
        *whyNot = handle == nullptr ? failure : std::string();
    return handle;
}

} // namespace zeb
