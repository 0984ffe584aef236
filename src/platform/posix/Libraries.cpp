// The program's own shared objects, loaded at run time the POSIX way.

#include "platform/Platform.h"

#include <dlfcn.h>
#include <unistd.h>

namespace zeb {
namespace fs = std::filesystem;

namespace {

// Opens one shared object, named in full (a lookup through the run path depends on which object
// calls dlopen, and sanitizers put themselves in between). When it is there but will not load (a
// missing dependency, a damaged file), the loader's reason goes into `failure`.
void* open(const std::string& file, std::string& failure) {
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && file.find('/') != std::string::npos && ::access(file.c_str(), F_OK) == 0)
        if (const char* reason = ::dlerror(); reason != nullptr)
            failure = reason;
    return handle;
}

} // namespace

std::vector<fs::path> PrivateLibraryPlaces(const std::string& fileName) {
    std::vector<fs::path> places;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        places.push_back(program.parent_path() / fileName);
        places.push_back(program.parent_path().parent_path() / "lib" / "zeb" / fileName);
    }
    return places;
}

PrivateLibrary PrivateLibrary::Load(const std::string& fileName, const char* versionEntry,
                                    std::int32_t version) {
    std::vector<fs::path> places = PrivateLibraryPlaces(fileName);
    places.emplace_back(fileName); // the system's search, last
    return LoadFirst(places, versionEntry, version);
}

PrivateLibrary PrivateLibrary::LoadFirst(const std::vector<fs::path>& places, const char* versionEntry,
                                         std::int32_t version) {
    PrivateLibrary library;
    // The first copy that is there but unusable is the one to tell about.
    const auto note = [&library](Outcome outcome, std::string failure) {
        if (library.outcome_ == Outcome::NotFound) {
            library.outcome_ = outcome;
            library.failure_ = std::move(failure);
        }
    };
    for (const fs::path& place : places) {
        std::string reason;
        void* handle = open(place.string(), reason);
        if (handle == nullptr) {
            if (!reason.empty())
                note(Outcome::WillNotLoad, reason);
            continue;
        }
        using VersionFunction = std::int32_t (*)();
        const auto answer = reinterpret_cast<VersionFunction>(::dlsym(handle, versionEntry));
        if (answer != nullptr && answer() == version) {
            library.handle_ = handle;
            library.outcome_ = Outcome::Loaded;
            library.failure_.clear();
            return library;
        }
        // Left loaded: what came in with it (Qt's libraries) may not be unloaded safely.
        note(Outcome::OtherVersion, place.string());
    }
    return library;
}

void* PrivateLibrary::symbol(const char* name) const {
    return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}

void PrivateLibrary::close() {
    if (handle_ != nullptr)
        ::dlclose(handle_);
    handle_ = nullptr;
    outcome_ = Outcome::NotFound;
}

} // namespace zeb
