// The program's own DLLs, loaded at run time the Windows way.

#include "WideText.h"
#include "platform/Platform.h"

#include <windows.h>

namespace zeb {
namespace fs = std::filesystem;

namespace {

// The system's own wording of a load failure (in the language of the user's Windows), naming
// `file` where it has a place for a name, or the number.
std::string loadFailure(DWORD error, const std::wstring& file) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    ::LocalFree(text);
    for (std::size_t at; (at = message.find(L"%1")) != std::wstring::npos;)
        message.replace(at, 2, file);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    if (message.empty())
        return "erreur Windows " + std::to_string(error);
    return windows::Utf8FromWide(message) + " (erreur Windows " + std::to_string(error) + ")";
}

// Opens one DLL. Named with a folder, it is loaded from there with the DLLs it needs looked for
// beside it first; named alone, from the program's folder or the system's, never from the
// current folder (an extraction's) nor the PATH. When it is there but will not load
// (a missing dependency, a damaged file, another architecture), the reason goes into `failure`.
HMODULE open(const fs::path& file, std::string& failure) {
    const bool placed = file.has_parent_path();
    const std::wstring name = placed ? windows::SystemPath(fs::absolute(file)) : file.wstring();
    // No box from the system for a missing dependency: the program says it itself.
    DWORD previous = 0;
    const bool quiet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
    const DWORD search = placed ? LOAD_WITH_ALTERED_SEARCH_PATH
                                : LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
    HMODULE module = ::LoadLibraryExW(name.c_str(), nullptr, search);
    const DWORD error = module == nullptr ? ::GetLastError() : 0;
    if (quiet)
        ::SetThreadErrorMode(previous, nullptr);
    if (module == nullptr && placed && ::GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES)
        failure = loadFailure(error, name);
    return module;
}

} // namespace

// Everything the program needs stands beside it on Windows.
std::vector<fs::path> PrivateLibraryPlaces(const std::string& fileName) {
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, program.data(), static_cast<DWORD>(program.size()));
        if (length == 0)
            return {};
        if (length < program.size()) {
            program.resize(length);
            break;
        }
        program.resize(program.size() * 2);
    }
    return {fs::path(program).parent_path() / PathFromUtf8(fileName)};
}

PrivateLibrary PrivateLibrary::Load(const std::string& fileName, const char* versionEntry,
                                    std::int32_t version) {
    std::vector<fs::path> places = PrivateLibraryPlaces(fileName);
    places.push_back(PathFromUtf8(fileName)); // the system's search, last
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
        HMODULE module = open(place, reason);
        if (module == nullptr) {
            if (!reason.empty())
                note(Outcome::WillNotLoad, reason);
            continue;
        }
        using VersionFunction = std::int32_t (*)();
        const auto answer = reinterpret_cast<VersionFunction>(
            reinterpret_cast<void*>(::GetProcAddress(module, versionEntry)));
        if (answer != nullptr && answer() == version) {
            library.handle_ = module;
            library.outcome_ = Outcome::Loaded;
            library.failure_.clear();
            return library;
        }
        // Left loaded: what came in with it (Qt's DLLs) may not be unloaded safely.
        note(Outcome::OtherVersion, Utf8FromPath(place));
    }
    return library;
}

void* PrivateLibrary::symbol(const char* name) const {
    return handle_ != nullptr ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name))
                              : nullptr;
}

void PrivateLibrary::close() {
    if (handle_ != nullptr)
        ::FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
    outcome_ = Outcome::NotFound;
}

} // namespace zeb
