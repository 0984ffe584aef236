#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zeb {

inline constexpr std::string_view WorkFolderName = "TMP";
inline constexpr std::string_view TempFileName = "temp.txt";
inline constexpr std::string_view FrenchFileName = "Fichier1.c01";
inline constexpr std::string_view MathsFileName = "Fichier2.c01";

// The work folder inside the program's folder.
std::filesystem::path WorkFolder(const std::filesystem::path& programFolder);

// Creates the work folder, private to the user; an existing folder is fine and a failure is
// left for the first write into it to report.
void CreateWorkFolder(const std::filesystem::path& programFolder);

// Removes temp.txt, Fichier1.c01 and Fichier2.c01 where they exist; the folder stays.
void DeleteWorkFiles(const std::filesystem::path& programFolder);

// Whole contents of a file as bytes. Throws ZebError with a French message.
std::string ReadWholeFile(const std::filesystem::path& file);

enum class Durability { Transient, Synced };

// Writes the file completely or not at all: a temporary file beside it (readable by the
// user only, as everything about pupils), then renamed over it. `Synced` flushes it to the
// disk first, for files the user keeps; work files are rebuilt at every load and need not.
// Throws ZebError with a French message; no partial file stays.
void WriteFileAtomically(const std::filesystem::path& file, std::string_view contents,
                         Durability durability = Durability::Transient);

// The French wording of a system error number, for messages.
std::string FrenchReason(int errorNumber);

} // namespace zeb
