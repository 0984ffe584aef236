#pragma once

// The command line of zeb-fiches: what it may say, and what it asks for once read.

#include "core/Evaluation.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zeb::cli {

// The help, in French, as --help prints it: the options (Usage), then where the work files go,
// which differs from one system to another (WorkFolderHelp, in posix/ or windows/).
extern const char* const Usage;
extern const char* const WorkFolderHelp;
std::string HelpText();

struct Options {
    std::optional<std::filesystem::path> csv;
    std::optional<std::filesystem::path> pdf;
    std::optional<std::filesystem::path> synthesisCsv;
    std::optional<std::filesystem::path> groupsCsv;
    std::optional<std::filesystem::path> itemsCsv;
    std::optional<std::filesystem::path> synthesis;
    std::optional<std::filesystem::path> itemPages;
    std::optional<std::filesystem::path> familyFolder;
    bool doubleSided = false;
    bool familyHtml = false; // a web page beside each family's PDF
    bool anonymous = false;
    std::vector<Subject> subjects{Subject::French, Subject::Mathematics};
    TreatmentMode treatment = TreatmentMode::Codage;
    bool sheetChoiceGiven = false;
    bool subjectGiven = false;
    std::filesystem::path exportDocument;
    std::optional<std::filesystem::path> school;
    std::vector<std::filesystem::path> schoolExports;
};

// The options that name a file to write; no two may name the same file.
inline constexpr std::pair<std::string_view, std::optional<std::filesystem::path> Options::*>
    OutputOptions[] = {
        {"--csv", &Options::csv},
        {"--pdf", &Options::pdf},
        {"--synthese-csv", &Options::synthesisCsv},
        {"--groupes-csv", &Options::groupsCsv},
        {"--items-csv", &Options::itemsCsv},
        {"--synthese", &Options::synthesis},
        {"--items", &Options::itemPages},
};

// A command that is not well written: the message says what, in French.
struct UsageError {
    std::string message;
};

// Reads the arguments (without the program's name). Paths come out absolute: extracting an
// archive changes the current folder. Throws UsageError.
Options ParseArguments(const std::vector<std::string>& args);

// Two names of one existing file (a file that does not exist yet is nobody's).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace zeb::cli
