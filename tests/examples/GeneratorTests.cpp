#include "TempFolder.h"
#include "generator/ExportGenerator.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using zeb::examples::GenerateClass;
using zeb::examples::GeneratedClass;
using zeb::examples::GeneratorOptions;
using zeb::test::readFile;

// The frame test checks that every line ends with CR LF, so cutting there is how the importer cuts.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, stop; start < text.size(); start = stop + 2) {
        stop = std::min(text.find("\r\n", start), text.size());
        lines.push_back(text.substr(start, stop - start));
    }
    return lines;
}

bool containsNoCase(std::string_view text, std::string_view word) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    return std::search(text.begin(), text.end(), word.begin(), word.end(),
                       [&](char a, char b) { return upper(a) == upper(b); }) != text.end();
}

// \u00e9 \u00e8 \u00ea \u00eb \u00e7 \u00ef, hex letters in either case; anything else stays.
std::string decodeSixEscapes(const std::string& text) {
    const std::string_view hex = "e9e8eaebe7ef";
    const std::string_view letters = "\xE9\xE8\xEA\xEB\xE7\xEF";
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escape = i + 6 <= text.size() && text.compare(i, 4, "\\u00") == 0;
        std::size_t k = 0;
        while (escape && k < 6 && !containsNoCase(text.substr(i + 4, 2), hex.substr(2 * k, 2)))
            ++k;
        if (escape && k < 6) {
            out += letters[k];
            i += 5;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string between(const std::string& line, std::string_view start, std::string_view end) {
    const std::size_t from = line.find(start) + start.size();
    return line.substr(from, line.find(end, from) - from);
}

// Every line the importer would pick up, checked against the pupils in document order; returns how many
// identification lines (and as many codes lines) there were.
std::size_t checkRecognisedLines(const GeneratedClass& generated) {
    std::size_t identifications = 0;
    std::size_t codes = 0;
    const std::size_t pupils = generated.Pupils.size();
    for (const std::string& line : splitLines(generated.Document)) {
        const bool isPupil = containsNoCase(line, "<MELEVE_MID>");
        const bool isCodes = containsNoCase(line, "<MCODES>");
        if (isPupil) {
            EXPECT_FALSE(isCodes) << line;
            EXPECT_EQ(identifications, codes) << "two identification lines in a row: " << line;
            const auto& pupil = generated.Pupils[identifications++ % pupils];
            EXPECT_TRUE(line.starts_with("      <MELEVE_MID>") && line.ends_with(")</MELEVE_MID>")) << line;
            EXPECT_EQ(between(line, "<MELEVE_MID>", "--"), pupil.Surname);
            EXPECT_EQ(between(line, "--", " ("), pupil.FirstNameEscaped);
        } else if (isCodes) {
            EXPECT_EQ(identifications, codes + 1) << "codes line without identification: " << line;
            const auto& pupil = generated.Pupils[codes % pupils];
            const std::string& expected = codes++ < pupils ? pupil.FrenchCodes : pupil.MathsCodes;
            EXPECT_EQ(line, "      <REPONSES><MCODES>" + expected + "</MCODES></REPONSES>");
        }
    }
    EXPECT_EQ(codes, identifications);
    return identifications;
}

TEST(ExportGenerator, IsDeterministicAndTheCommittedSampleIsTheDefaultClass) {
    const GeneratorOptions options{28, 77, 3, true, 900};
    EXPECT_EQ(GenerateClass(options).Document, GenerateClass(options).Document);
    EXPECT_NE(GenerateClass(options).Document, GenerateClass({28, 78, 3, true, 900}).Document);

    const std::string sample = readFile(fs::path(ZEB_EXAMPLES_DIR) / "classe-ce2-exemple.xml");
    EXPECT_TRUE(sample == GenerateClass().Document)
        << "examples/classe-ce2-exemple.xml is missing or stale: regenerate it with zeb-genclass";
}

TEST(ExportGenerator, FrameIsWindows1252WithCrLfOnly) {
    const std::string document = GenerateClass().Document;
    EXPECT_TRUE(document.starts_with("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"));
    EXPECT_TRUE(document.ends_with("</EVALUATION_NATIONALE>\r\n"));
    std::size_t crlf = 0;
    for (std::size_t at = 0; (at = document.find("\r\n", at)) != std::string::npos; at += 2)
        ++crlf;
    EXPECT_EQ(crlf, static_cast<std::size_t>(std::count(document.begin(), document.end(), '\r')));
    EXPECT_EQ(crlf, static_cast<std::size_t>(std::count(document.begin(), document.end(), '\n')));
}

TEST(ExportGenerator, RecognisedLinesHaveTheImportedShape) {
    for (const GeneratorOptions& options :
         {GeneratorOptions{}, GeneratorOptions{1, 5, 1, false, 0}, GeneratorOptions{31, 8, 0, true, 0},
          GeneratorOptions{99, 9, 0, false, 0}, GeneratorOptions{12, 2006, 7, true, 5000}}) {
        SCOPED_TRACE("pupils " + std::to_string(options.pupils));
        const GeneratedClass generated = GenerateClass(options);
        ASSERT_EQ(generated.Pupils.size(), static_cast<std::size_t>(options.pupils));
        EXPECT_EQ(checkRecognisedLines(generated), 2 * generated.Pupils.size());
    }
}

TEST(ExportGenerator, NamesDecodeStayDistinctAndFitTheImportedWidths) {
    std::set<std::pair<std::string, std::string>> pairs;
    for (const auto& pupil : GenerateClass({99, 2006, 0, false, 0}).Pupils) {
        EXPECT_EQ(decodeSixEscapes(pupil.FirstNameEscaped), pupil.FirstName);
        EXPECT_EQ(pupil.FirstNameEscaped.find(" ("), std::string::npos);
        EXPECT_EQ((pupil.Surname + pupil.FirstNameEscaped).find("--"), std::string::npos);
        EXPECT_EQ(pupil.Surname.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_"), std::string::npos);
        EXPECT_TRUE(pairs.emplace(pupil.Surname, pupil.FirstName).second) << "twice: " << pupil.Surname;
    }

    const GeneratedClass sample = GenerateClass();
    std::set<std::string> surnames;
    bool upperCaseEscape = false;
    for (const auto& pupil : sample.Pupils) {
        EXPECT_LE(pupil.Surname.size(), 25u) << pupil.Surname;
        EXPECT_LE(pupil.FirstName.size(), 15u) << pupil.FirstNameEscaped;
        surnames.insert(pupil.Surname);
        upperCaseEscape = upperCaseEscape || pupil.FirstNameEscaped.find("\\u00E") != std::string::npos;
    }
    EXPECT_TRUE(upperCaseEscape);
    EXPECT_EQ(surnames.size(), sample.Pupils.size());

    const GeneratedClass longNames = GenerateClass({25, 2006, 7, true, 0});
    EXPECT_EQ(longNames.Pupils[0].Surname.size(), 27u);
    EXPECT_EQ(longNames.Pupils[0].FirstName.size(), 17u);
    EXPECT_EQ(decodeSixEscapes(longNames.Pupils[0].FirstNameEscaped), longNames.Pupils[0].FirstName);
    EXPECT_EQ(longNames.Pupils[1].Surname, sample.Pupils[1].Surname);
}

TEST(ExportGenerator, CodesHaveTheItemCountsAndTheAbsentPupil) {
    const GeneratedClass generated = GenerateClass({30, 2006, 30, false, 0});
    for (std::size_t i = 0; i < generated.Pupils.size(); ++i) {
        const auto& pupil = generated.Pupils[i];
        ASSERT_EQ(pupil.FrenchCodes.size(), 93u);
        ASSERT_EQ(pupil.MathsCodes.size(), 88u);
        const std::string all = pupil.FrenchCodes + pupil.MathsCodes;
        EXPECT_EQ(all.find_first_not_of("0123456789A"), std::string::npos) << all;
        EXPECT_EQ(all.find_first_not_of('A') == std::string::npos, i == 29) << "pupil " << i + 1;
    }
    EXPECT_EQ(GenerateClass().Pupils[6].FrenchCodes, std::string(93, 'A'));
    // A number beyond the class means nobody.
    EXPECT_EQ(GenerateClass({30, 2006, 31, false, 0}).Document,
              GenerateClass({30, 2006, 0, false, 0}).Document);

    EXPECT_THROW(GenerateClass({0, 1, 0, false, 0}), std::invalid_argument);
    EXPECT_THROW(GenerateClass({100, 1, 0, false, 0}), std::invalid_argument);
    EXPECT_THROW(GenerateClass({10, 1, -1, false, 0}), std::invalid_argument);
}

// The scores must be exercised on plausible results: mostly successes, a few weak pupils, "9" the usual
// failure, "2" rarer than "1", non-responses piling up at the end of the lists.
TEST(ExportGenerator, CodesLookLikeARealClass) {
    std::vector<double> successRates;
    std::map<char, std::size_t> counts;
    std::size_t earlySilences = 0, lateSilences = 0;
    for (const auto& pupil : GenerateClass({99, 2006, 0, false, 0}).Pupils) {
        std::size_t successes = 0;
        for (const std::string& codes : {pupil.FrenchCodes, pupil.MathsCodes}) {
            for (std::size_t i = 0; i < codes.size(); ++i) {
                ++counts[codes[i]];
                successes += codes[i] == '1' || codes[i] == '2';
                earlySilences += codes[i] == '0' && i < codes.size() / 3;
                lateSilences += codes[i] == '0' && i >= 2 * codes.size() / 3;
            }
        }
        successRates.push_back(static_cast<double>(successes) / 181.0);
    }
    std::sort(successRates.begin(), successRates.end());
    EXPECT_GE(successRates[49], 0.6);
    EXPECT_LE(successRates[49], 0.9);
    EXPECT_LT(successRates.front(), 0.5);
    EXPECT_LT(counts['2'] * 5, counts['1']);
    for (char failure = '3'; failure <= '8'; ++failure)
        EXPECT_GT(counts['9'], 3 * counts[failure]) << failure;
    EXPECT_GT(lateSilences, 2 * earlySilences);
    EXPECT_GT(counts['A'], 0u);
}

TEST(ExportGenerator, FillerReachesTheTargetEvenlyWithoutChangingThePupils) {
    const GeneratedClass natural = GenerateClass({20, 2006, 7, false, 0});
    const std::size_t naturalLines = splitLines(natural.Document).size();
    for (const std::size_t target :
         {std::size_t{1}, naturalLines + 1, naturalLines + 43, std::size_t{20000}}) {
        SCOPED_TRACE("target " + std::to_string(target));
        const GeneratedClass padded = GenerateClass({20, 2006, 7, false, target});
        const auto lines = splitLines(padded.Document);
        EXPECT_EQ(lines.size(), std::max(target, naturalLines));
        EXPECT_EQ(checkRecognisedLines(padded), 40u);
        for (std::size_t i = 0; i < padded.Pupils.size(); ++i)
            EXPECT_EQ(padded.Pupils[i].FrenchCodes + padded.Pupils[i].MathsCodes,
                      natural.Pupils[i].FrenchCodes + natural.Pupils[i].MathsCodes);

        // The gaps between successive identification lines differ by at most one line, apart from the
        // change of list, which has lines of its own.
        std::vector<std::size_t> positions;
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find("<MELEVE_MID>") != std::string::npos)
                positions.push_back(i);
        std::vector<std::size_t> gaps;
        for (std::size_t i = 1; i < positions.size(); ++i)
            if (i != 20)
                gaps.push_back(positions[i] - positions[i - 1]);
        const auto [low, high] = std::minmax_element(gaps.begin(), gaps.end());
        EXPECT_LE(*high - *low, 1u);
    }
}

} // namespace
