#pragma once

#include "core/ProgramState.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zeb::cli {

// How the unzip component's questions about one archive are answered. Any question but the
// password gets the answer that keeps nothing doubtful (a damaged member is not kept).
struct ExportQuestions {
    // Ask a password at the terminal when there is one. Otherwise a password is never asked:
    // the one given below answers, and a member without it is left unread.
    bool askAtTerminal = true;
    std::optional<std::string> password; // typed beforehand, UTF-8
    bool passwordWanted = false;         // set when a member was left unread for want of a password
    // Where the component's messages go; to the terminal (stderr) when null.
    std::vector<std::string>* said = nullptr;
};

// Loads a class export (an archive, or its .xml document) into `state`, with the work files
// and the archive's members inside `workFolder` (a private folder of the caller's). Throws
// ZebError with a French message, or Interrupted when a signal came during a question.
// Returns what the unzip library reported although a document came out, for the user to see.
std::vector<std::string> LoadClassExport(const std::filesystem::path& source,
                                         const std::filesystem::path& workFolder, ProgramState& state,
                                         ExportQuestions& questions);
std::vector<std::string> LoadClassExport(const std::filesystem::path& source,
                                         const std::filesystem::path& workFolder, ProgramState& state);

} // namespace zeb::cli
