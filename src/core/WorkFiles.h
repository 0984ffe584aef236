#pragma once

#include <filesystem>
#include <string_view>

namespace zeb {

// The work files of a load, in the work folder inside the program's folder: the scanned export,
// then its French and Mathematics lists.
inline constexpr std::string_view WorkFolderName = "TMP";
inline constexpr std::string_view TempFileName = "temp.txt";
inline constexpr std::string_view FrenchFileName = "Fichier1.c01";
inline constexpr std::string_view MathsFileName = "Fichier2.c01";

// The work folder inside the program's folder.
inline std::filesystem::path WorkFolder(const std::filesystem::path& programFolder) {
    return programFolder / WorkFolderName;
}

} // namespace zeb
