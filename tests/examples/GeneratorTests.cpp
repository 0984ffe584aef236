#include "generator/ExportGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using zeb::examples::GenerateClass;
using zeb::examples::GeneratedClass;
using zeb::examples::GeneratorOptions;

constexpr std::string_view PupilWord = "<MELEVE_MID>";
constexpr std::string_view CodesWord = "<MCODES>";

// Lines as the importer cuts them: at CR, LF or CR LF.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t stop = text.find_first_of("\r\n", start);
        if (stop == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, stop - start));
        start = stop + 1;
        if (text[stop] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

bool containsNoCase(std::string_view text, std::string_view word) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return std::search(text.begin(), text.end(), word.begin(), word.end(),
                       [&](char a, char b) { return upper(a) == upper(b); }) != text.end();
}

std::string decodeSixEscapes(const std::string& text) {
    static const std::vector<std::pair<std::string, char>> escapes = {
        {"\\u00e9", '\xE9'}, {"\\u00E9", '\xE9'}, {"\\u00e8", '\xE8'}, {"\\u00E8", '\xE8'},
        {"\\u00ea", '\xEA'}, {"\\u00EA", '\xEA'}, {"\\u00eb", '\xEB'}, {"\\u00EB", '\xEB'},
        {"\\u00e7", '\xE7'}, {"\\u00E7", '\xE7'}, {"\\u00ef", '\xEF'}, {"\\u00EF", '\xEF'},
    };
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto match = std::find_if(escapes.begin(), escapes.end(),
                                        [&](const auto& e) { return text.compare(i, e.first.size(), e.first) == 0; });
        if (match != escapes.end()) {
            out += match->second;
            i += match->first.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string between(const std::string& line, std::string_view start, std::string_view end) {
    const std::size_t from = line.find(start);
    if (from == std::string::npos)
        return "<missing start>";
    const std::size_t stop = line.find(end, from + start.size());
    if (stop == std::string::npos)
        return "<missing end>";
    return line.substr(from + start.size(), stop - from - start.size());
}

// Checks every line the importer would pick up against the pupils, in document order, and returns the
// number of lines of each kind.
std::pair<std::size_t, std::size_t> checkRecognisedLines(const GeneratedClass& generated) {
    std::size_t identifications = 0;
    std::size_t codes = 0;
    const std::size_t pupils = generated.Pupils.size();
    for (const std::string& line : splitLines(generated.Document)) {
        const bool isPupil = containsNoCase(line, PupilWord);
        const bool isCodes = containsNoCase(line, CodesWord);
        EXPECT_FALSE(isPupil && isCodes) << line;
        if (isPupil) {
            EXPECT_EQ(identifications, codes) << "identification line without codes before: " << line;
            const auto& pupil = generated.Pupils[identifications % pupils];
            EXPECT_TRUE(line.starts_with("      <MELEVE_MID>")) << line;
            EXPECT_TRUE(line.ends_with(")</MELEVE_MID>")) << line;
            EXPECT_EQ(between(line, PupilWord, "--"), pupil.Surname);
            EXPECT_EQ(between(line, "--", " ("), pupil.FirstNameEscaped);
            ++identifications;
        } else if (isCodes) {
            EXPECT_EQ(identifications, codes + 1) << "codes line without identification: " << line;
            const auto& pupil = generated.Pupils[codes % pupils];
            const std::string& expected = codes < pupils ? pupil.FrenchCodes : pupil.MathsCodes;
            EXPECT_EQ(line, "      <REPONSES><MCODES>" + expected + "</MCODES></REPONSES>");
            ++codes;
        }
    }
    return {identifications, codes};
}

std::size_t lineCount(const std::string& document) { return splitLines(document).size(); }

TEST(ExportGenerator, SameOptionsGiveSameBytesAndSeedMatters) {
    GeneratorOptions options;
    options.pupils = 28;
    options.seed = 77;
    options.targetLines = 900;
    EXPECT_EQ(GenerateClass(options).Document, GenerateClass(options).Document);
    GeneratorOptions other = options;
    other.seed = 78;
    EXPECT_NE(GenerateClass(options).Document, GenerateClass(other).Document);
}

TEST(ExportGenerator, CommittedSampleIsTheDefaultClass) {
    std::ifstream in(fs::path(ZEB_EXAMPLES_DIR) / "classe-ce2-exemple.xml", std::ios::binary);
    ASSERT_TRUE(in) << "missing sample in " << ZEB_EXAMPLES_DIR;
    const std::string sample{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(sample == GenerateClass().Document)
        << "examples/classe-ce2-exemple.xml is stale: regenerate it with zeb-genclass";
}

TEST(ExportGenerator, DocumentFrameAndLineEnds) {
    const std::string document = GenerateClass().Document;
    EXPECT_TRUE(document.starts_with("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"));
    EXPECT_TRUE(document.ends_with("</EVALUATION_NATIONALE>\r\n"));
    for (std::size_t i = 0; i < document.size(); ++i) {
        const bool bareCr = document[i] == '\r' && (i + 1 == document.size() || document[i + 1] != '\n');
        const bool bareLf = document[i] == '\n' && (i == 0 || document[i - 1] != '\r');
        ASSERT_FALSE(bareCr || bareLf) << "lone line-end byte at " << i;
    }
}

TEST(ExportGenerator, RecognisedLinesHaveTheImportedShape) {
    struct Case {
        int pupils;
        bool longNames;
        std::size_t targetLines;
    };
    for (const Case c : {Case{25, false, 0}, Case{1, false, 0}, Case{30, true, 0}, Case{31, false, 0},
                         Case{99, false, 0}, Case{12, false, 5000}}) {
        SCOPED_TRACE("pupils " + std::to_string(c.pupils));
        GeneratorOptions options;
        options.pupils = c.pupils;
        options.longNames = c.longNames;
        options.targetLines = c.targetLines;
        const GeneratedClass generated = GenerateClass(options);
        ASSERT_EQ(generated.Pupils.size(), static_cast<std::size_t>(c.pupils));
        const auto [identifications, codes] = checkRecognisedLines(generated);
        EXPECT_EQ(identifications, 2 * generated.Pupils.size());
        EXPECT_EQ(codes, 2 * generated.Pupils.size());
    }
}

TEST(ExportGenerator, NamesDecodeAndStayWithinTheImportedWidths) {
    GeneratorOptions big;
    big.pupils = 99;
    std::set<std::pair<std::string, std::string>> pairs;
    bool upperCaseEscape = false;
    for (const auto& pupil : GenerateClass(big).Pupils) {
        EXPECT_EQ(decodeSixEscapes(pupil.FirstNameEscaped), pupil.FirstName);
        EXPECT_EQ(pupil.FirstName.find('\\'), std::string::npos) << pupil.FirstNameEscaped;
        EXPECT_EQ(pupil.Surname.find("--"), std::string::npos);
        EXPECT_EQ(pupil.FirstNameEscaped.find("--"), std::string::npos);
        EXPECT_EQ(pupil.FirstNameEscaped.find(" ("), std::string::npos);
        EXPECT_TRUE(std::all_of(pupil.Surname.begin(), pupil.Surname.end(),
                                [](char c) { return (c >= 'A' && c <= 'Z') || c == '_'; }))
            << pupil.Surname;
        upperCaseEscape = upperCaseEscape || pupil.FirstNameEscaped.find("\\u00E") != std::string::npos;
        EXPECT_TRUE(pairs.emplace(pupil.Surname, pupil.FirstName).second)
            << "same names twice: " << pupil.Surname;
    }
    EXPECT_TRUE(upperCaseEscape);

    const GeneratedClass sample = GenerateClass();
    std::set<std::string> surnames;
    for (const auto& pupil : sample.Pupils) {
        EXPECT_LE(pupil.Surname.size(), 25u) << pupil.Surname;
        EXPECT_LE(pupil.FirstName.size(), 15u) << pupil.FirstNameEscaped;
        surnames.insert(pupil.Surname);
    }
    EXPECT_EQ(surnames.size(), sample.Pupils.size());
    EXPECT_TRUE(std::is_sorted(sample.Pupils.begin(), sample.Pupils.end(), [](const auto& a, const auto& b) {
        return a.Surname < b.Surname;
    }));
}

TEST(ExportGenerator, LongNamesGoToTheFirstPupilOnly) {
    GeneratorOptions options;
    options.longNames = true;
    const GeneratedClass longClass = GenerateClass(options);
    const GeneratedClass plain = GenerateClass();
    EXPECT_EQ(longClass.Pupils[0].Surname.size(), 27u);
    EXPECT_EQ(longClass.Pupils[0].FirstName.size(), 17u);
    EXPECT_GT(longClass.Pupils[0].FirstNameEscaped.size(), 17u) << "the long first name should carry escapes";
    EXPECT_EQ(longClass.Pupils[0].FrenchCodes, plain.Pupils[0].FrenchCodes);
    EXPECT_EQ(longClass.Pupils[1].Surname, plain.Pupils[1].Surname);
}

TEST(ExportGenerator, CodesHaveTheItemCountsAndTheAbsentPupil) {
    GeneratorOptions options;
    options.pupils = 30;
    options.absentPupil = 30;
    const GeneratedClass generated = GenerateClass(options);
    for (std::size_t i = 0; i < generated.Pupils.size(); ++i) {
        const auto& pupil = generated.Pupils[i];
        ASSERT_EQ(pupil.FrenchCodes.size(), 93u);
        ASSERT_EQ(pupil.MathsCodes.size(), 88u);
        const std::string all = pupil.FrenchCodes + pupil.MathsCodes;
        EXPECT_EQ(all.find_first_not_of("0123456789A"), std::string::npos) << all;
        const bool allAbsent = all.find_first_not_of('A') == std::string::npos;
        EXPECT_EQ(allAbsent, i == 29) << "pupil " << i + 1;
    }
    EXPECT_EQ(GenerateClass().Pupils[6].MathsCodes, std::string(88, 'A'));

    GeneratorOptions none = options;
    none.absentPupil = 0;
    EXPECT_NE(GenerateClass(none).Pupils[29].FrenchCodes, std::string(93, 'A'));
    none.absentPupil = 31; // beyond the class: nobody
    EXPECT_EQ(GenerateClass(none).Document, GenerateClass(GeneratorOptions{30, 2006, 0, false, 0}).Document);
}

// Not a model of real results, but the scoring must be exercised on plausible ones: mostly successes,
// "9" the usual failure, "2" rarer than "1", non-responses piling up at the end of the lists.
TEST(ExportGenerator, CodesLookLikeARealClass) {
    GeneratorOptions options;
    options.pupils = 99;
    options.absentPupil = 0;
    std::vector<double> successRates;
    std::size_t ones = 0, twos = 0, nines = 0, otherFailures = 0, earlySilences = 0, lateSilences = 0;
    for (const auto& pupil : GenerateClass(options).Pupils) {
        std::size_t successes = 0;
        for (const std::string* codes : {&pupil.FrenchCodes, &pupil.MathsCodes}) {
            for (std::size_t i = 0; i < codes->size(); ++i) {
                const char code = (*codes)[i];
                successes += code == '1' || code == '2';
                ones += code == '1';
                twos += code == '2';
                nines += code == '9';
                otherFailures += code >= '3' && code <= '8';
                if (code == '0' && i < codes->size() / 3)
                    ++earlySilences;
                if (code == '0' && i >= 2 * codes->size() / 3)
                    ++lateSilences;
            }
        }
        successRates.push_back(static_cast<double>(successes) / 181.0);
    }
    std::sort(successRates.begin(), successRates.end());
    EXPECT_GE(successRates[successRates.size() / 2], 0.6);
    EXPECT_LE(successRates[successRates.size() / 2], 0.9);
    EXPECT_LT(successRates.front(), 0.5) << "a few weaker pupils are expected";
    EXPECT_LT(twos * 5, ones);
    EXPECT_GT(nines, otherFailures) << "9 should outnumber 3..8 together";
    EXPECT_GT(lateSilences, 2 * earlySilences);
}

TEST(ExportGenerator, FillerReachesTheTargetBetweenPupils) {
    GeneratorOptions options;
    options.pupils = 20;
    const GeneratedClass natural = GenerateClass(options);
    const std::size_t naturalLines = lineCount(natural.Document);
    for (const std::size_t target : {std::size_t{1}, naturalLines, naturalLines + 1, naturalLines + 43,
                                     std::size_t{20000}}) {
        SCOPED_TRACE("target " + std::to_string(target));
        options.targetLines = target;
        const GeneratedClass padded = GenerateClass(options);
        EXPECT_EQ(lineCount(padded.Document), std::max(target, naturalLines));
        const auto [identifications, codes] = checkRecognisedLines(padded);
        EXPECT_EQ(identifications, 40u);
        EXPECT_EQ(codes, 40u);
        for (std::size_t i = 0; i < padded.Pupils.size(); ++i)
            EXPECT_EQ(padded.Pupils[i].FrenchCodes + padded.Pupils[i].MathsCodes,
                      natural.Pupils[i].FrenchCodes + natural.Pupils[i].MathsCodes);

        // Evenly spread: the gaps between successive identification lines differ by at most one line.
        std::vector<std::size_t> positions;
        const auto lines = splitLines(padded.Document);
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (containsNoCase(lines[i], PupilWord))
                positions.push_back(i);
        std::vector<std::size_t> gaps;
        for (std::size_t i = 1; i < positions.size(); ++i)
            if (i != padded.Pupils.size()) // the change of list adds its own lines
                gaps.push_back(positions[i] - positions[i - 1]);
        const auto [low, high] = std::minmax_element(gaps.begin(), gaps.end());
        EXPECT_LE(*high - *low, 1u);
    }
}

TEST(ExportGenerator, RefusesImpossibleClasses) {
    EXPECT_THROW(GenerateClass(GeneratorOptions{0, 1, 0, false, 0}), std::invalid_argument);
    EXPECT_THROW(GenerateClass(GeneratorOptions{100, 1, 0, false, 0}), std::invalid_argument);
    EXPECT_THROW(GenerateClass(GeneratorOptions{10, 1, -1, false, 0}), std::invalid_argument);
}

// The tool, run as a teacher or a script would.
class GenClassTool : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("zeb-genclass-test-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    int run(const std::string& arguments) {
        const std::string command = std::string("\"") + ZEB_GENCLASS_EXE + "\" " + arguments + " >\"" +
                                    (folder_ / "out.txt").string() + "\" 2>\"" + (folder_ / "err.txt").string() +
                                    "\"";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(folder_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    fs::path folder_;
};

TEST_F(GenClassTool, WritesTheRequestedClassAndLeavesNoTemporaryFile) {
    const std::string target = (folder_ / "classe.xml").string();
    ASSERT_EQ(run("\"" + target + "\""), 0) << read("err.txt");
    EXPECT_TRUE(read("classe.xml") == GenerateClass().Document);

    ASSERT_EQ(run("--eleves 31 --graine=9 --absent 0 --lignes 2000 --noms-longs \"" + target + "\""), 0);
    EXPECT_TRUE(read("classe.xml") == GenerateClass(GeneratorOptions{31, 9, 0, true, 2000}).Document);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 3) << "temporary left";

    // Fewer pupils than the default absent number: the class simply has no absent pupil.
    ASSERT_EQ(run("--eleves 5 \"" + target + "\""), 0);
    EXPECT_TRUE(read("classe.xml") == GenerateClass(GeneratorOptions{5, 2006, 0, false, 0}).Document);
}

TEST_F(GenClassTool, BadArgumentsExitWithTwoAndExplainInFrench) {
    const std::string target = "\"" + (folder_ / "classe.xml").string() + "\"";
    for (const std::string& arguments :
         {std::string("--eleves 0 ") + target, "--eleves 100 " + target, "--eleves douze " + target,
          "--eleves " + target, "--graine 4294967296 " + target, "--absent 8 --eleves 7 " + target,
          "--lignes -3 " + target, "--couleur " + target, target + " " + target, std::string()}) {
        SCOPED_TRACE(arguments);
        EXPECT_EQ(run(arguments), 2);
        EXPECT_TRUE(read("err.txt").starts_with("zeb-genclass : ")) << read("err.txt");
    }
    EXPECT_FALSE(fs::exists(folder_ / "classe.xml"));
    EXPECT_EQ(run("--aide"), 0);
    EXPECT_NE(read("out.txt").find("--eleves"), std::string::npos);
}

} // namespace
