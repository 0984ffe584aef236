#include "TempFolder.h"
#include "core/Errors.h"
#include "core/ExportScan.h"

#include <gtest/gtest.h>

using namespace zeb;
using zeb::test::TempFolder;

namespace {

std::string pupilLine(std::string_view surname, std::string_view firstName) {
    return "      <MELEVE_MID>" + std::string(surname) + "--" + std::string(firstName) +
           " (G, 1998)</MELEVE_MID>";
}

std::string codesLine(std::string_view codes) {
    return "      <REPONSES><MCODES>" + std::string(codes) + "</MCODES></REPONSES>";
}

ScanResult scan(const std::vector<std::string>& lines) {
    std::vector<std::string_view> views(lines.begin(), lines.end());
    return ScanExport(views, DefaultSearchWords());
}

std::string padded(std::string_view text, std::size_t width) {
    std::string out(text);
    out.resize(width, ' ');
    return out;
}

} // namespace

TEST(Contient, IgnoresTheCaseOfAsciiLettersOnly) {
    EXPECT_TRUE(Contient("<reponses><mcodes>11</mcodes>", "<MCODES>"));
    EXPECT_TRUE(Contient("classe.XML", "xml"));
    EXPECT_FALSE(Contient("<MCODE>", "<MCODES>"));
    EXPECT_FALSE(Contient("\xC9l\xE8ve", "\xE9l\xC8VE")); // accented letters keep their case
    EXPECT_FALSE(Contient("", "<MCODES>"));
}

TEST(ExtraireEntre, CutsBetweenMarkers) {
    EXPECT_EQ(ExtraireEntre("<MELEVE_MID>MARTIN--L\\u00e9a (F)", "<MELEVE_MID>", "--"), "MARTIN");
    EXPECT_EQ(ExtraireEntre("<MELEVE_MID>MARTIN--L\\u00e9a (F)", "--", " ("), "L\\u00e9a");
    // The long end marker leaves out the nine characters in front of it.
    EXPECT_EQ(ExtraireEntre("<MCODES>0123456789123456789</REPONSES>", "<MCODES>", "</REPONSES>"),
              "0123456789");
    EXPECT_EQ(ExtraireEntre(codesLine("1109"), "<MCODES>", "</REPONSES>"), "1109");
}

TEST(ExtraireEntre, MissingMarkers) {
    EXPECT_EQ(ExtraireEntre("MARTIN--Lea", "--", " ("), ""); // no end marker
    // Without the start marker the rest begins at the position equal to its length.
    EXPECT_EQ(ExtraireEntre("abcdef--xyz", "<MELEVE_MID>", "--"), "");
    EXPECT_EQ(ExtraireEntre("abcdefghijklmnop--x", "<MELEVE_MID>", "--"), "lmnop");
    EXPECT_EQ(ExtraireEntre("ab--c", "ZZ", "--"), "b");
    EXPECT_EQ(ExtraireEntre("MARTIN Lea (F)", "--", " ("), "ARTIN Lea");
    EXPECT_EQ(ExtraireEntre("", "<MCODES>", "</REPONSES>"), "");
}

TEST(FirstNameEscapes, TheSixLettersInEitherCaseOfHexDigits) {
    EXPECT_EQ(DecodeFirstNameEscapes("J\\u00e9r\\u00E9my"), "J\xE9r\xE9my");
    EXPECT_EQ(DecodeFirstNameEscapes("H\\u00e9l\\u00e8ne"), "H\xE9l\xE8ne");
    EXPECT_EQ(DecodeFirstNameEscapes("Ana\\u00EFs"), "Ana\xEFs");
    EXPECT_EQ(DecodeFirstNameEscapes("\\u00ea\\u00EB\\u00e7\\u00Ef"), "\xEA\xEB\xE7\xEF");
}

TEST(FirstNameEscapes, OtherSequencesStayAsTheyAre) {
    EXPECT_EQ(DecodeFirstNameEscapes("\\u00e0\\U00e9\\u00e\\n"), "\\u00e0\\U00e9\\u00e\\n");
    EXPECT_EQ(DecodeFirstNameEscapes("Zo\\u00e"), "Zo\\u00e");
    EXPECT_EQ(DecodeFirstNameEscapes("\\\\u00e9"), "\\\xE9");
}

TEST(SplitLines, AtCrLfOrCrLf) {
    const std::vector<std::string_view> expected{"a", "b", "", "c", "d"};
    EXPECT_EQ(SplitLines("a\r\nb\n\nc\rd"), expected);
    EXPECT_EQ(SplitLines("a\r\nb\n\nc\rd\r\n"), expected);
    EXPECT_EQ(SplitLines("x\r\r\n"), (std::vector<std::string_view>{"x", ""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(ScanExport, WritesFixedWidthPupilPartsAndCodes) {
    const ScanResult result = scan({"<?xml version=\"1.0\"?>", pupilLine("MARTIN", "L\\u00e9a"),
                                    "<SEXE>F</SEXE>", codesLine("1109A"), "</EXPORT>"});
    EXPECT_EQ(result.PupilCounter, 1);
    EXPECT_EQ(result.WorkFile, "01" + padded("MARTIN", 25) +
                                   padded("L\xE9"
                                          "a",
                                          15) +
                                   "1109A\r\n");
}

TEST(ScanExport, NumbersPupilsWithTwoDigits) {
    std::vector<std::string> lines;
    for (int i = 1; i <= 10; ++i) {
        lines.push_back(pupilLine(std::string("P").append(std::to_string(i)), "X"));
        lines.push_back(codesLine("1"));
    }
    const ScanResult result = scan(lines);
    const std::vector<std::string_view> workLines = SplitLines(result.WorkFile);
    ASSERT_EQ(workLines.size(), 10u);
    EXPECT_EQ(workLines[8].substr(0, 4), "09P9");
    EXPECT_EQ(workLines[9].substr(0, 5), "10P10");
    EXPECT_EQ(workLines[9].size(), 43u);
}

TEST(ScanExport, NamesArePaddedOrCutToTheirWidth) {
    const std::string surname25(25, 'S');
    const ScanResult result =
        scan({pupilLine("LI", "Al"), codesLine("1"), pupilLine(surname25, "Bo"), codesLine("2"),
              pupilLine("VAN_DER_BERGHE_DE_LA_TOUR_DU_PIN", "Jean-Christophe-Marie"), codesLine("3"),
              pupilLine("RENAUD_DE_SAINT_EXUPERY_X", "Ab"), codesLine("4")});
    const std::vector<std::string_view> lines = SplitLines(result.WorkFile);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "01LI" + std::string(23, ' ') + padded("Al", 15) + "1");
    EXPECT_EQ(lines[1], "02" + surname25 + padded("Bo", 15) + "2");
    // Long names are cut, so the codes stay at position 43 whatever the names.
    for (std::string_view line : lines)
        EXPECT_EQ(line.size(), 43u);
    EXPECT_EQ(lines[2].substr(2, 40), "VAN_DER_BERGHE_DE_LA_TOURJean-Christophe");
    EXPECT_EQ(lines[2].back(), '3');
}

TEST(ScanExport, SurnameKeepsItsEscapesAndFirstNameIsCutAfterDecoding) {
    const ScanResult result =
        scan({pupilLine("B\\u00e9NARD", "Fran\\u00e7ois-Ren\\u00e9e-Marie"), codesLine("1")});
    EXPECT_EQ(result.WorkFile.substr(2, 25), padded("B\\u00e9NARD", 25));
    EXPECT_EQ(result.WorkFile.substr(27, 15), "Fran\xE7ois-Ren\xE9"
                                              "e-");
}

TEST(ScanExport, UnusualLineShapes) {
    // A lower-case codes word passes the search but its start marker is not found.
    EXPECT_EQ(scan({"<reponses><mcodes>11111111111</mcodes></reponses>"}).WorkFile, "\r\n");
    // Both words on one line: first the pupil part, then the codes.
    const std::string both = "<MELEVE_MID>DURAND--Zo\\u00e9 (F)<MCODES>10999</MCODES></REPONSES>";
    const ScanResult bothResult = scan({both});
    EXPECT_EQ(bothResult.PupilCounter, 1);
    EXPECT_EQ(bothResult.WorkFile, "01" + padded("DURAND", 25) + padded("Zo\xE9", 15) + "10999\r\n");
    // Two identification lines in a row share one work-file line.
    const ScanResult twice = scan({pupilLine("A", "B"), pupilLine("C", "D"), codesLine("1")});
    EXPECT_EQ(twice.PupilCounter, 2);
    EXPECT_EQ(SplitLines(twice.WorkFile).size(), 1u);
    EXPECT_EQ(twice.WorkFile.size(), 42u + 42u + 1u + 2u);
    // Neither word: nothing.
    const ScanResult none = scan({"<?xml?>", "<CLASSE nom=\"CE2\">", "</CLASSE>"});
    EXPECT_EQ(none.PupilCounter, 0);
    EXPECT_TRUE(none.WorkFile.empty());
}

TEST(ReadClassInfo, TheClassSchoolAndTeacherBeforeTheFirstPupil) {
    struct Case {
        std::vector<std::string> lines;
        std::string className, school, teacher;
    } cases[] = {
        {{"<CLASSE>",
          "  <ECOLE uai=\"0299912X\">\xC9"
          "cole des Ch\xEAnes</ECOLE>",
          "<ENSEIGNANT>M. Kerbrat</ENSEIGNANT>", "  <NOM_CLASSE> CE2 A </NOM_CLASSE>"},
         "CE2 A",
         "\xC9"
         "cole des Ch\xEAnes",
         "M. Kerbrat"},
        // References and escapes decoded, control characters made spaces, the first one taken.
        {{"<NOM_CLASSE>CE2 &amp; CM1 &#233;&#x2019;&#x4E2D;\tb\\u00e9&#10;&#x1B;x</NOM_CLASSE>",
          "<NOM_CLASSE>X</NOM_CLASSE>"},
         "CE2 & CM1 \xE9\x92? b\xE9  x",
         "",
         ""},
        // A look-alike element, one not closed on its line, and what follows the first pupil.
        {{"<ECOLE_ID>123</ECOLE_ID>", "<ENSEIGNANT>Mme", "Durand</ENSEIGNANT>",
          "<MELEVE_MID>A--B (</MELEVE_MID>", "<NOM_CLASSE>late</NOM_CLASSE>"},
         "",
         "",
         ""},
        // Longer than its field: cut.
        {{"<NOM_CLASSE>" + std::string(70, 'x') + "</NOM_CLASSE>"}, std::string(60, 'x'), "", ""},
    };
    for (const Case& c : cases) {
        const ClassInfo info = ReadClassInfo({c.lines.begin(), c.lines.end()});
        EXPECT_EQ(info.ClassName, c.className) << c.lines.front();
        EXPECT_EQ(info.School, c.school) << c.lines.front();
        EXPECT_EQ(info.Teacher, c.teacher) << c.lines.front();
    }
}
