// Every archive of the corpus (corpus/README.md), end to end: listed by the unzip component,
// extracted through the unzip library into an empty folder, and compared with the outcome
// written beside it. Whatever a case expects, nothing may land outside the extraction folder,
// no link may appear and no temporary file may stay behind.

#include "Restorers.h"
#include "ScriptedPrompts.h"
#include "TempFolder.h"
#include "archive/Zip.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>

using namespace zeb;
using namespace zeb::test;
namespace fs = std::filesystem;

namespace {

const fs::path CorpusDir = ZEB_CORPUS_DIR;
// Whether the unzip library reads through libzip what zlib alone cannot (ZEB_UNZDLL_LIBZIP).
constexpr bool LibraryHasLibzip = ZEB_CORPUS_LIBZIP != 0;

struct Expectation {
    fs::path archive;
    std::deque<MessageAnswer> answers;
    std::deque<std::string> passwords;
    std::optional<std::int32_t> entries;
    std::optional<std::string> directoryError;
    std::optional<std::int32_t> result;
    std::optional<std::vector<std::string>> files;
    std::vector<std::string> messages;
    std::vector<std::pair<std::string, std::uintmax_t>> sizes;
    std::vector<std::string> absent;
    std::optional<bool> needsLibzip; // the case holds only for a library built with (or without) libzip
};

std::string trim(std::string text) {
    const auto blank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(static_cast<unsigned char>(text.back())))
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && blank(static_cast<unsigned char>(text[start])))
        ++start;
    return text.substr(start);
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        items.push_back(trim(item));
    return items;
}

std::int32_t number(const std::string& text, const std::string& where) {
    std::size_t used = 0;
    const int value = std::stoi(text, &used);
    if (used != text.size())
        throw std::runtime_error(where + ": not a number: " + text);
    return value;
}

// The archive a case runs: "crc-stored.keep.expected" runs "crc-stored.jad".
fs::path archiveOf(const std::string& caseName) {
    return CorpusDir / (caseName.substr(0, caseName.find('.')) + ".jad");
}

Expectation readExpectation(const std::string& caseName) {
    const fs::path file = CorpusDir / (caseName + ".expected");
    std::ifstream in(file);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    Expectation e;
    e.archive = archiveOf(caseName);
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        const std::string where = file.filename().string() + ":" + std::to_string(lineNumber);
        for (std::size_t hash = line.find('#'); hash != std::string::npos; hash = line.find('#', hash + 1)) {
            if (hash == 0 || line[hash - 1] == ' ' || line[hash - 1] == '\t') {
                line.resize(hash);
                break;
            }
        }
        line = trim(line);
        if (line.empty())
            continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            throw std::runtime_error(where + ": no \"key:\"");
        const std::string key = line.substr(0, colon);
        const std::string value = trim(line.substr(colon + 1));
        if (key == "answers") {
            if (value == "none")
                continue;
            for (const std::string& answer : splitList(value)) {
                if (answer == "yes")
                    e.answers.push_back(MessageAnswer::Yes);
                else if (answer == "no")
                    e.answers.push_back(MessageAnswer::No);
                else if (answer == "cancel")
                    e.answers.push_back(MessageAnswer::Cancel);
                else if (answer == "ok")
                    e.answers.push_back(MessageAnswer::Ok);
                else if (answer == "cancel-password")
                    e.passwords.emplace_back();
                else if (answer.rfind("password=", 0) == 0 && answer.size() > 9)
                    e.passwords.push_back(answer.substr(9));
                else
                    throw std::runtime_error(where + ": unknown answer " + answer);
            }
        } else if (key == "directory") {
            e.entries = number(value, where);
        } else if (key == "directory-error") {
            e.directoryError = value;
        } else if (key == "result") {
            e.result = number(value, where);
        } else if (key == "files") {
            e.files = value == "none" ? std::vector<std::string>{} : splitList(value);
            std::sort(e.files->begin(), e.files->end());
        } else if (key == "message") {
            e.messages.push_back(value);
        } else if (key == "size") {
            const std::size_t space = value.rfind(' ');
            if (space == std::string::npos)
                throw std::runtime_error(where + ": size needs a file and a byte count");
            e.sizes.emplace_back(trim(value.substr(0, space)), number(value.substr(space + 1), where));
        } else if (key == "absent") {
            e.absent.push_back(value);
        } else if (key == "needs") {
            if (value != "libzip" && value != "no-libzip")
                throw std::runtime_error(where + ": needs libzip or no-libzip");
            e.needsLibzip = value == "libzip";
        } else {
            throw std::runtime_error(where + ": unknown key " + key);
        }
    }
    if (e.entries.has_value() == e.directoryError.has_value())
        throw std::runtime_error(file.string() + ": needs exactly one of directory and directory-error");
    if (e.entries.has_value() != e.result.has_value())
        throw std::runtime_error(file.string() + ": result goes with directory, and only with it");
    if (!e.files)
        throw std::runtime_error(file.string() + ": files is missing");
    return e;
}

std::vector<std::string> corpusCases() {
    std::vector<std::string> cases;
    std::error_code error;
    for (const auto& item : fs::directory_iterator(CorpusDir, error))
        if (item.path().extension() == ".expected")
            cases.push_back(item.path().stem().string());
    std::sort(cases.begin(), cases.end());
    return cases;
}

// Every entry below `folder`, links not followed, relative and "/"-separated; folders end with "/".
std::vector<std::string> listTree(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        std::string name = item.path().lexically_relative(folder).generic_string();
        if (item.symlink_status().type() == fs::file_type::directory)
            name += '/';
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string joined(const std::vector<std::string>& items) {
    if (items.empty())
        return "none";
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

// One case run end to end as the program runs an import: list, ask for every member, extract.
struct CaseRun {
    explicit CaseRun(const Expectation& expected)
        : archiveName(expected.archive.filename().string()), archive(temp / archiveName),
          extraction(temp / "extraction") {
        fs::copy_file(expected.archive, archive);
        original = readFile(archive);
        fs::create_directory(extraction);
        prompts.answers = expected.answers;
        prompts.passwords.assign(expected.passwords.begin(), expected.passwords.end());
        zip.ShowProgressDialog = false;
        // The library stands beside the test, where the component looks first.
        const CurrentFolderRestorer back; // an extraction changes the current folder
        try {
            zip.SetZipFileName(archive.string());
        } catch (const ZipException& failure) {
            directoryError = failure.what();
            return;
        }
        entries = zip.Count();
        zip.FileSpecs.clear();
        for (std::int32_t i = 0; i < zip.Count(); ++i) {
            TFileInfoC entry;
            zip.GetEntry(i, entry);
            zip.FileSpecs.push_back(entry.FileName);
        }
        zip.ExtractOptions = OptionOverwriteOlder;
        zip.ExtractDir = extraction.string();
        try {
            result = zip.Extract();
        } catch (const ZipException& failure) {
            extractError = failure.what();
        }
    }

    // For failure reports.
    std::string summary() const {
        std::string text = "what happened:\n  directory: " +
                           (directoryError.empty() ? std::to_string(entries) : "error " + directoryError) +
                           "\n  result: " + (result ? std::to_string(*result) : "none " + extractError) +
                           "\n  files: " + joined(listTree(extraction)) + "\n  messages:";
        for (const std::string& message : zip.LibraryMessages)
            text += "\n    " + message;
        text += "\n  questions:";
        for (const auto& question : prompts.asked)
            text += "\n    " + question.text;
        for (const auto& prompt : prompts.passwordPrompts)
            text += "\n    " + prompt;
        return text;
    }

    TempFolder temp;
    std::string archiveName;
    fs::path archive;
    fs::path extraction;
    std::string original;
    ScriptedPrompts prompts;
    FakeVolumes volumes;
    TZip zip{prompts, volumes};
    std::string directoryError;
    std::string extractError;
    std::int32_t entries = 0;
    std::optional<std::int32_t> result;
};

class CorpusCase : public ::testing::TestWithParam<std::string> {};

// "crc-stored.keep" as a test name: crc_stored_keep.
std::string caseTestName(const ::testing::TestParamInfo<std::string>& param) {
    std::string name = param.param;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

} // namespace

TEST(CorpusFolder, EveryArchiveHasAnExpectationAndEveryExpectationItsArchive) {
    std::vector<std::string> archives;
    for (const auto& item : fs::directory_iterator(CorpusDir))
        if (item.path().extension() == ".jad")
            archives.push_back(item.path().stem().string());
    ASSERT_FALSE(archives.empty()) << "no archive in " << CorpusDir;
    const std::vector<std::string> cases = corpusCases();
    for (const std::string& archive : archives)
        EXPECT_TRUE(std::any_of(cases.begin(), cases.end(),
                                [&](const std::string& c) { return archiveOf(c).stem() == archive; }))
            << archive << ".jad has no expectation";
    for (const std::string& c : cases) {
        EXPECT_TRUE(fs::is_regular_file(archiveOf(c))) << c << ".expected has no archive";
        EXPECT_NO_THROW(readExpectation(c)) << c;
    }
}

TEST_P(CorpusCase, EndsAsExpected) {
    const Expectation expected = readExpectation(GetParam());
    if (expected.needsLibzip && *expected.needsLibzip != LibraryHasLibzip)
        GTEST_SKIP() << "for a library built " << (LibraryHasLibzip ? "without" : "with") << " libzip";
    const CaseRun run(expected);
    SCOPED_TRACE(run.summary());

    if (expected.directoryError) {
        EXPECT_NE(run.directoryError.find(*expected.directoryError), std::string::npos) << "directory-error";
    } else {
        ASSERT_EQ(run.directoryError, "") << "directory";
        EXPECT_EQ(run.entries, *expected.entries) << "directory";
        EXPECT_EQ(run.extractError, "") << "Extract raised";
        EXPECT_EQ(run.result, expected.result) << "result";
    }
    EXPECT_EQ(listTree(run.extraction), *expected.files) << "files";
    for (const auto& [name, bytes] : expected.sizes) {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(run.extraction / name, error);
        if (!error) { // a missing file already shows under "files"
            EXPECT_EQ(size, bytes) << "size of " << name;
        }
    }
    EXPECT_EQ(run.zip.LibraryMessages.size(), expected.messages.size()) << "messages";
    for (std::size_t i = 0; i < std::min(expected.messages.size(), run.zip.LibraryMessages.size()); ++i)
        EXPECT_NE(run.zip.LibraryMessages[i].find(expected.messages[i]), std::string::npos)
            << "message " << i + 1 << " should contain: " << expected.messages[i];
    EXPECT_EQ(run.prompts.asked.size(), expected.answers.size()) << "questions asked";
    EXPECT_EQ(run.prompts.passwordPrompts.size(), expected.passwords.size()) << "passwords asked";
}

// What no archive may do, whatever its case expects.
TEST_P(CorpusCase, LeavesNothingOutsideTheFolderNoLinkNoTemporaryFile) {
    const Expectation expected = readExpectation(GetParam());
    const CaseRun run(expected);
    SCOPED_TRACE(run.summary());

    for (const std::string& name : listTree(run.temp.path())) {
        EXPECT_TRUE(name == run.archiveName || name.rfind("extraction/", 0) == 0)
            << "outside the folder: " << name;
        EXPECT_NE(fs::path(name).filename().string().rfind(".zeb-", 0), 0u)
            << "temporary file left: " << name;
        EXPECT_FALSE(fs::is_symlink(run.temp / name)) << "link: " << name;
    }
    EXPECT_EQ(readFile(run.archive), run.original) << "the archive changed";
    for (const std::string& path : expected.absent) {
        const fs::path where = fs::path(path).is_absolute() ? fs::path(path) : run.extraction / path;
        EXPECT_FALSE(fs::exists(fs::symlink_status(where))) << where << " exists";
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusCase, ::testing::ValuesIn(corpusCases()), caseTestName);
