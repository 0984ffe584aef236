#pragma once

// UTF-8, the program's text, to and from UTF-16, the text of Windows' wide functions; and the
// form of a path those functions take whatever its length.

#include <filesystem>
#include <string>
#include <string_view>
#include <windows.h>

namespace zeb::windows {

inline std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty())
        return {};
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// An unpaired surrogate (a name no Windows program could type, but a file may have one) becomes
// U+FFFD: the result is always valid UTF-8.
inline std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                              nullptr, nullptr);
    return text;
}

// The path as the wide functions take it. Past MAX_PATH they only take a full path written
// "\\?\C:\..." or "\\?\UNC\server\share\...", which the system no longer tidies: its separators
// and its "." and ".." are resolved here first. A short path is left as it is.
inline std::wstring SystemPath(const std::filesystem::path& path) {
    std::wstring wide = path.wstring();
    // CreateDirectoryW's own limit is 12 characters under MAX_PATH, room for an 8.3 name.
    if (wide.size() < MAX_PATH - 12 || wide.starts_with(LR"(\\?\)"))
        return wide;
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return wide;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return wide;
    full.resize(length);
    if (full.starts_with(LR"(\\.\)"))
        return full; // a device's name: no longer form for it
    if (full.starts_with(LR"(\\)"))
        return LR"(\\?\UNC\)" + full.substr(2);
    return LR"(\\?\)" + full;
}

} // namespace zeb::windows
