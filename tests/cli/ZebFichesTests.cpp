#include "ClassReport.h"
#include "CliRun.h"
#include "Pdf.h"
#include "PupilFileName.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "core/Cp1252.h"
#include "core/ObjectiveTables.h"
#include "generator/ExportGenerator.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <numeric>
#include <sstream>
#include <tuple>

using namespace zeb;
using zeb::test::readFile;
using zeb::test::TempFolder;
using zeb::test::writeFile;
using namespace zeb::test;

namespace {

std::string withoutSpaces(std::string text) {
    std::erase_if(text, [](char c) { return c == ' ' || c == '\n' || c == '\f'; });
    return text;
}

// Words of a text, whatever the spacing pdftotext chose.
std::string collapsed(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\t' || c == '\f') {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string trimRight(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

struct CodeCounts {
    int success = 0, failure = 0, none = 0, counted = 0;
};

CodeCounts countCodes(std::string_view items, std::string_view codes) {
    int success = 0, failure = 0, none = 0, counted = 0;
    std::stringstream list{std::string(items)};
    for (std::string piece; std::getline(list, piece, ',');) {
        const auto k = static_cast<std::size_t>(std::stoi(piece));
        if (k > codes.size() || codes[k - 1] < '0' || codes[k - 1] > '9')
            continue;
        ++counted;
        const char code = codes[k - 1];
        (code == '0' ? none : code <= '2' ? success : failure)++;
    }
    return {success, failure, none, counted};
}

// The expected score row computed from the codes with exact integer arithmetic, apart
// from the program's scoring code.
std::string expectedScores(std::string_view items, std::string_view codes, bool french) {
    const auto [success, failure, none, counted] = countCodes(items, codes);
    if (counted == 0)
        return "Abs;Abs;Abs;Abs";
    const int sr = (200 * success + counted) / (2 * counted);
    const int se = (1000 * failure + 4 * counted) / (10 * counted);
    const int snr =
        french ? (200 * none + counted) / (2 * counted) : (1000 * none + 4 * counted) / (10 * counted);
    const char* coding = sr >= 75 ? "A" : sr >= 50 ? "ECA" : "NA";
    return std::to_string(sr) + ";" + std::to_string(se) + ";" + std::to_string(snr) + ";" + coding;
}

std::string expectedCsv(const examples::GeneratedClass& generated, bool names = true) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state); // the item lists are reference data, tested on their own
    std::string csv = "\xEF\xBB\xBFnumero;nom;prenom;matiere;objectif;SR;SE;SNR;codage\r\n";
    int slot = 0;
    for (const examples::GeneratedPupil& pupil : generated.Pupils) {
        ++slot;
        const std::string start =
            std::to_string(slot) + ";" +
            (names ? cp1252::toUtf8(trimRight(pupil.Surname.substr(0, 25))) : "") + ";" +
            (names ? cp1252::toUtf8(trimRight(pupil.FirstName.substr(0, 15))) : "") + ";";
        for (int j = 1; j <= FrenchObjectiveCount; ++j)
            csv += start + "francais;" + std::to_string(j) + ";" +
                   expectedScores(state->FrenchTable.ItemLists[j], pupil.FrenchCodes, true) + "\r\n";
        for (int j = 1; j <= MathsObjectiveCount; ++j)
            csv += start + "mathematiques;" + std::to_string(j) + ";" +
                   expectedScores(state->MathsTable.ItemLists[j], pupil.MathsCodes, false) + "\r\n";
    }
    return csv;
}

// The synthesis and groups files expected of a generated class, from each pupil's SR as
// computed above, by the definitions of the columns (floating division rounded half away
// from zero: exact for these small whole numbers).
std::pair<std::string, std::string> expectedSynthesisAndGroups(const examples::GeneratedClass& generated) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    std::string synthesis = "\xEF\xBB\xBFmatiere;objectif;evalues;absents;SR_moyen;A;ECA;NA;pct_A;pct_ECA;"
                            "pct_NA;classe_entiere\r\n";
    std::string groups = "\xEF\xBB\xBFmatiere;objectif;groupe;numero;nom;prenom\r\n";
    for (const bool french : {true, false}) {
        for (int j = 1; j <= (french ? FrenchObjectiveCount : MathsObjectiveCount); ++j) {
            const std::string start = (french ? "francais;" : "mathematiques;") + std::to_string(j) + ";";
            std::vector<int> sr; // -1: not evaluated
            for (const examples::GeneratedPupil& pupil : generated.Pupils) {
                const CodeCounts c = french ? countCodes(state->FrenchTable.ItemLists[j], pupil.FrenchCodes)
                                            : countCodes(state->MathsTable.ItemLists[j], pupil.MathsCodes);
                sr.push_back(c.counted == 0 ? -1 : (200 * c.success + c.counted) / (2 * c.counted));
            }
            const auto count = [&sr](int low, int high) {
                return static_cast<int>(
                    std::count_if(sr.begin(), sr.end(), [=](int v) { return v >= low && v <= high; }));
            };
            const auto n = count(0, 100), a = count(75, 100), eca = count(50, 74), na = count(0, 49);
            const int sum =
                std::accumulate(sr.begin(), sr.end(), 0, [](int s, int v) { return s + std::max(v, 0); });
            const auto share = [n](double value) { return std::to_string(std::lround(value / n)) + ";"; };
            synthesis += start + std::to_string(n) + ";" + std::to_string(static_cast<int>(sr.size()) - n) +
                         ";" + (n == 0 ? "Abs;" : share(sum)) + std::to_string(a) + ";" +
                         std::to_string(eca) + ";" + std::to_string(na) + ";" +
                         (n == 0 ? "Abs;Abs;Abs;Abs"
                                 : share(100.0 * a) + share(100.0 * eca) + share(100.0 * na) +
                                       (a * 2 < n ? "oui" : "non")) +
                         "\r\n";
            for (const auto& [group, low, high] : {std::tuple{"NA;", 0, 49}, std::tuple{"ECA;", 50, 74}})
                for (std::size_t p = 0; p < sr.size(); ++p)
                    if (sr[p] >= low && sr[p] <= high)
                        groups += start + group + std::to_string(p + 1) + ";" +
                                  cp1252::toUtf8(trimRight(generated.Pupils[p].Surname.substr(0, 25))) + ";" +
                                  cp1252::toUtf8(trimRight(generated.Pupils[p].FirstName.substr(0, 15))) +
                                  "\r\n";
        }
    }
    return {synthesis, groups};
}

// The row of item k expected of a generated class, from its pupils' codes by the definitions
// of the columns.
std::string expectedItemRow(const examples::GeneratedClass& generated, bool french, int k) {
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    std::string objective;
    for (int j = 1; j <= (french ? FrenchObjectiveCount : MathsObjectiveCount); ++j) {
        std::stringstream list{french ? state->FrenchTable.ItemLists[j].str()
                                      : state->MathsTable.ItemLists[j].str()};
        for (std::string piece; std::getline(list, piece, ',');)
            if (std::stoi(piece) == k)
                objective = std::to_string(j);
    }
    int codes[10] = {}, n = 0;
    for (const examples::GeneratedPupil& pupil : generated.Pupils) {
        const std::string& text = french ? pupil.FrenchCodes : pupil.MathsCodes;
        const auto at = static_cast<std::size_t>(k - 1);
        if (at < text.size() && text[at] >= '0' && text[at] <= '9')
            ++codes[text[at] - '0'], ++n;
    }
    const int success = codes[1] + codes[2], none = codes[0], failure = n - success - none;
    const auto pct = [n](int count) {
        return n == 0 ? std::string("Abs") : std::to_string((200 * count + n) / (2 * n));
    };
    std::string row =
        std::string(french ? "francais;" : "mathematiques;") + std::to_string(k) + ";" + objective;
    for (const int value : {n, static_cast<int>(generated.Pupils.size()) - n, success, failure, none})
        row += ";" + std::to_string(value);
    row += ";" + pct(success) + ";" + pct(failure) + ";" + pct(none);
    for (const int count : codes)
        row += ";" + std::to_string(count);
    return row;
}

} // namespace

TEST(ClassReport, SynthesisRowsAtTheEdges) {
    const std::pair<std::vector<std::string_view>, std::string_view> cases[] = {
        {{" Abs ", "999 %"}, "0;2;Abs;0;0;0;Abs;Abs;Abs;Abs"},               // nobody evaluated
        {{" 49 %", " 50 %", " 74 %", " 75 %"}, "4;0;62;1;2;1;25;50;25;oui"}, // thresholds
        {{"100 %"}, "1;0;100;1;0;0;100;0;0;non"},                            // one pupil
        {{" 50 %", " 75 %"}, "2;0;63;1;1;0;50;50;0;non"},                    // 62.5; exactly half A
        {{"100 %", "100 %", "100 %", "100 %", " 60 %", " 10 %"}, "6;0;78;4;1;1;67;17;17;non"},
        {{" 74 %", " Abs ", " 75 %", " 10 %", " 11 %"}, "4;1;43;1;1;2;25;25;50;oui"}, // 42.5
    };
    for (const auto& [texts, row] : cases) {
        ObjectiveTally tally;
        for (std::string_view text : texts)
            tally.Add(text);
        EXPECT_EQ(cli::SynthesisCsvRow(Subject::Mathematics, 19, tally),
                  "mathematiques;19;" + std::string(row) + "\r\n");
    }
}

TEST(ClassReport, AnItemNobodyHasACodeForIsAbsent) {
    ItemCounts nobody; // item 17 of Mathematics belongs to no objective
    nobody.Item = 17;
    nobody.Absent = 3;
    EXPECT_EQ(cli::ItemsCsvRow(Subject::Mathematics, nobody),
              "mathematiques;17;;0;3;0;0;0;Abs;Abs;Abs;0;0;0;0;0;0;0;0;0;0\r\n");
}

TEST(ZebFiches, SynthesisAndGroupsOfGeneratedClassesMatchTheDefinitions) {
    TempFolder folder, tmp;
    for (const examples::GeneratorOptions& options :
         {examples::GeneratorOptions{}, examples::GeneratorOptions{30, 77, 30, true, 0},
          examples::GeneratorOptions{.pupils = 1, .absentPupil = 1}}) { // nobody evaluated anywhere
        const examples::GeneratedClass generated = examples::GenerateClass(options);
        writeFile(folder / "classe.xml", generated.Document);
        const ProcessRun run =
            runZebFiches({"--synthese-csv", (folder / "synthese.csv").string(), "--groupes-csv",
                          (folder / "groupes.csv").string(), (folder / "classe.xml").string()},
                         tmp);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const auto [synthesis, groups] = expectedSynthesisAndGroups(generated);
        EXPECT_EQ(readFile(folder / "synthese.csv"), synthesis) << "seed " << options.seed;
        EXPECT_EQ(readFile(folder / "groupes.csv"), groups) << "seed " << options.seed;
    }
}

TEST(ZebFiches, ClassFilesWrittenTogetherOrNotAtAll) {
    TempFolder folder, tmp;
    const std::string sample = std::string(ZEB_EXAMPLES_DIR) + "/classe-ce2-exemple.jad";
    const std::string scores = (folder / "s.csv").string(), synthesis = (folder / "y.csv").string(),
                      groups = (folder / "g.csv").string();
    ProcessRun run =
        runZebFiches({"--csv", scores, "--synthese-csv", synthesis, "--groupes-csv", groups, sample}, tmp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const std::string& file : {scores, synthesis, groups})
        EXPECT_EQ(std::filesystem::status(file).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
    EXPECT_EQ(lines(readFile(scores)), 1 + 25 * (FrenchObjectiveCount + MathsObjectiveCount));
    EXPECT_TRUE(readFile(synthesis).starts_with("\xEF\xBB\xBFmatiere;objectif;evalues;absents;SR_moyen;A;"));
    EXPECT_EQ(lines(readFile(synthesis)), 1 + FrenchObjectiveCount + MathsObjectiveCount);
    EXPECT_TRUE(readFile(groups).starts_with("\xEF\xBB\xBFmatiere;objectif;groupe;numero;nom;prenom\r\n"));

    // The last file cannot be made: the new one written before it goes, the replaced one stays.
    const std::string again = (folder / "s2.csv").string();
    run = runZebFiches({"--csv", again, "--synthese-csv", synthesis, "--groupes-csv",
                        (folder / "absent" / "g.csv").string(), sample},
                       tmp);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("absent/g.csv"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(again));
    EXPECT_TRUE(std::filesystem::exists(synthesis));
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

TEST(ZebFiches, CsvOfAGeneratedClassMatchesIndependentArithmetic) {
    TempFolder folder, tmp;
    for (const examples::GeneratorOptions& options :
         {examples::GeneratorOptions{}, examples::GeneratorOptions{30, 77, 30, true, 0}}) {
        const examples::GeneratedClass generated = examples::GenerateClass(options);
        writeFile(folder / "classe.xml", generated.Document);
        const ProcessRun run =
            runZebFiches({"--csv", (folder / "scores.csv").string(), (folder / "classe.xml").string()}, tmp);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(readFile(folder / "scores.csv"), expectedCsv(generated)) << "seed " << options.seed;
        EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << "work folder left behind";
    }
}

// One row per subject and item, French first; items of no objective have an empty objectif.
TEST(ZebFiches, ItemsCsvOfAGeneratedClassMatchesTheDefinitions) {
    TempFolder folder, tmp;
    const examples::GeneratedClass generated =
        examples::GenerateClass({.pupils = 30, .seed = 5, .absentPupil = 4});
    writeFile(folder / "classe.xml", generated.Document);
    const ProcessRun run = runZebFiches(
        {"--items-csv", (folder / "items.csv").string(), "--anonyme", (folder / "classe.xml").string()}, tmp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> lines;
    std::stringstream file{readFile(folder / "items.csv")};
    for (std::string line; std::getline(file, line, '\n');)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 1u + 93u + 88u);
    EXPECT_EQ(lines[0],
              "\xEF\xBB\xBFmatiere;item;objectif;evalues;absents;reussite;echec;non_reponse;pct_reussite;"
              "pct_echec;pct_non_reponse;c0;c1;c2;c3;c4;c5;c6;c7;c8;c9\r");
    for (const auto& [french, item] : {std::pair{true, 1}, {true, 93}, {false, 17}, {false, 45}, {false, 88}})
        EXPECT_EQ(lines[static_cast<std::size_t>((french ? 0 : 93) + item)],
                  expectedItemRow(generated, french, item) + "\r");
}

TEST(ZebFiches, SummaryNamesEveryPupil) {
    TempFolder folder, tmp;
    const examples::GeneratedClass generated = examples::GenerateClass();
    writeFile(folder / "classe.xml", generated.Document);
    const ProcessRun run = runZebFiches({(folder / "classe.xml").string()}, tmp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Classe chargée : " + std::to_string(generated.Pupils.size()) + " élèves."),
              std::string::npos)
        << run.out;
    for (const examples::GeneratedPupil& pupil : generated.Pupils)
        EXPECT_NE(run.out.find(pupil.Surname + " " + cp1252::toUtf8(pupil.FirstName)), std::string::npos)
            << pupil.Surname;
    // The absent pupil has no objective scored in either subject.
    EXPECT_NE(run.out.find("(français 0, mathématiques 0)"), std::string::npos);
}

TEST(ZebFiches, BadInputIsExplainedAndNothingIsWritten) {
    TempFolder folder, tmp;
    const std::string csv = (folder / "scores.csv").string();
    writeFile(folder / "impair.xml", "<MELEVE_MID>A--B (x)\r\n<MCODES>1</MCODES></REPONSES>\r\n");
    writeFile(folder / "vide.xml", "<?xml version=\"1.0\"?>\r\n");
    writeFile(folder / "classe.jad", "PK");
    writeFile(folder / "classe.xml", examples::GenerateClass({.pupils = 2}).Document);

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--csv", csv, (folder / "absent.xml").string()}, 1, "introuvable"},
        {{"--csv", csv, (folder / "impair.xml").string()}, 1, "impair"},
        {{"--csv", csv, (folder / "vide.xml").string()}, 1, "aucun élève"},
        {{"--csv", csv, (folder / "classe.jad").string()}, 1, ".jad"},
        {{"--csv", (folder / "vide.xml").string(), (folder / "vide.xml").string()},
         1,
         "document d'export lui-même"},
        {{"--pdf", (folder / "absent" / "f.pdf").string(), (folder / "classe.xml").string()},
         1,
         "Impossible d'écrire le fichier PDF"},
        {{"--pages", csv, (folder / "vide.xml").string()}, 2, "option inconnue : --pages"},
        {{"--csv"}, 2, "--csv attend une valeur"},
        {{"--csv=", (folder / "vide.xml").string()}, 2, "--csv attend un nom de fichier"},
        {{"--pdf", csv, "--subject", "latin", "x.xml"}, 2, "matière inconnue : latin"},
        {{"--pdf", csv, "--treatment=x", "x.xml"}, 2, "traitement inconnu : x"},
        {{"--treatment", "coding", "x.xml"}, 2, "il va avec --pdf"},
        {{"--subject", "maths", "x.xml"}, 2, "il va avec --pdf, --synthese, --items ou --par-eleve"},
        {{"--synthese", csv, "--pdf", csv, "x.xml"}, 2, "--pdf et --synthese désignent le même fichier"},
        {{"--csv", csv, "--pdf", csv, "x.xml"}, 2, "le même fichier"},
        {{"--synthese-csv", csv, "--groupes-csv=" + csv, "x.xml"},
         2,
         "--synthese-csv et --groupes-csv désignent"},
        {{"--groupes-csv", (folder / "vide.xml").string(), (folder / "vide.xml").string()}, 1, "lui-même"},
        {{"--groupes-csv", csv, "--items-csv", csv, "x.xml"}, 2, "--groupes-csv et --items-csv désignent"},
        {{}, 2, "indiquez le document d'export"},
        {{"a.xml", "b.xml"}, 2, "un seul document"},
        {{"--dossier", (folder / "ecole").string(), "--csv", csv, "a.xml"}, 2, "--csv n'a pas lieu d'être"},
        {{"--dossier", (folder / "ecole").string()}, 2, "indiquez les exports des classes"},
        {{"--html", "x.xml"}, 2, "--html écrit les fiches des familles en HTML : il va avec --par-eleve"},
        {{"--dossier", "a", "--html", "x.xml"}, 2, "--html vont avec un seul export, pas avec --dossier"},
        // A second value never silently wins over the first.
        {{"--csv", csv, "--csv=" + csv + "2", "x.xml"}, 2, "l'option --csv est donnée deux fois"},
        {{"--pdf", "a.pdf", "--synthese", "s.pdf", "--pdf", "b.pdf", "x.xml"}, 2, "--pdf est donnée deux"},
        {{"--dossier", "a", "--par-eleve=b", "--par-eleve", "c", "x.xml"}, 2, "--par-eleve est donnée"},
        {{"--csv", csv, "--anonyme", "--subject=maths", "--anonyme", "x.xml"}, 2, "--anonyme est donnée"},
        // A name is shown on one line, whatever it holds.
        {{"--x\nzeb-fiches : autre", "x.xml"}, 2, "option inconnue : --x?zeb-fiches : autre."},
    };
    for (const Case& c : cases) {
        const ProcessRun run = runZebFiches(c.args, tmp);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
        EXPECT_NE(run.err.find("zeb-fiches : "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(csv)) << c.message;
        EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << c.message;
    }
    EXPECT_EQ(readFile(folder / "vide.xml"), "<?xml version=\"1.0\"?>\r\n");
}

TEST(ZebFiches, HelpIsFrench) {
    TempFolder tmp;
    const ProcessRun run = runZebFiches({"--help"}, tmp);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(
        run.out.find("Usage : zeb-fiches [--csv FICHIER] [--synthese-csv FICHIER] [--groupes-csv FICHIER]"),
        std::string::npos);
    EXPECT_NE(run.out.find("mathématiques"), std::string::npos);
}

TEST(ZebFiches, PdfHoldsEverySheetWithItsScores) {
    TempFolder folder, tmp;
    const examples::GeneratedClass generated = examples::GenerateClass({.pupils = 4, .absentPupil = 2});
    writeFile(folder / "classe.xml", generated.Document);
    const std::filesystem::path pdf = folder / "fiches.pdf";
    const ProcessRun run = runZebFiches(
        {"--pdf", pdf.string(), "--treatment", "percent", (folder / "classe.xml").string()}, tmp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(PdfPageCount(pdf), 8); // French sheets of the four pupils, then Mathematics
    const std::string fonts = PdfFonts(pdf);
    EXPECT_NE(fonts.find("LiberationSerif"), std::string::npos) << fonts;
    EXPECT_NE(fonts.find(" yes "), std::string::npos) << "the face must be embedded: " << fonts;

    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    for (int page = 1; page <= 8; ++page) {
        const bool french = page <= 4;
        const examples::GeneratedPupil& pupil = generated.Pupils[static_cast<std::size_t>((page - 1) % 4)];
        const std::string text = collapsed(PdfText(pdf, page));
        EXPECT_NE(text.find(french ? "RESULTATS DE FRANCAIS" : "RESULTATS DE MATHEMATIQUES"),
                  std::string::npos);
        EXPECT_NE(text.find(pupil.Surname + " " + cp1252::toUtf8(pupil.FirstName)), std::string::npos)
            << text;
        // Every objective row: its statement followed by its three scores.
        const int objectives = french ? FrenchObjectiveCount : MathsObjectiveCount;
        for (int j = 1; j <= objectives; ++j) {
            const std::string_view statement = french ? std::string_view(state->FrenchTable.ObjectiveTexts[j])
                                                      : std::string_view(state->MathsTable.ObjectiveTexts[j]);
            const std::string_view items = french ? std::string_view(state->FrenchTable.ItemLists[j])
                                                  : std::string_view(state->MathsTable.ItemLists[j]);
            std::stringstream scores(
                expectedScores(items, french ? pupil.FrenchCodes : pupil.MathsCodes, french));
            std::string row = collapsed(cp1252::toUtf8(statement));
            std::string score;
            for (int column = 0; column < 3 && std::getline(scores, score, ';'); ++column)
                row += (row.back() == ' ' ? "" : " ") + score + (score == "Abs" ? "" : " %");
            // pdftotext spaces glyphs as it sees fit ("0%" for "  0 %"): compare without spaces.
            EXPECT_NE(withoutSpaces(text).find(withoutSpaces(row)), std::string::npos)
                << "page " << page << ": " << row;
        }
    }
}

TEST(ZebFiches, PdfInCodingShowsTheAbsentPupil) {
    TempFolder folder, tmp;
    writeFile(folder / "classe.xml", examples::GenerateClass({.pupils = 3, .absentPupil = 3}).Document);
    const std::filesystem::path pdf = folder / "fiches.pdf";
    const ProcessRun run = runZebFiches({"--pdf", pdf.string(), "--subject", "maths", "--csv",
                                         (folder / "s.csv").string(), (folder / "classe.xml").string()},
                                        tmp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(PdfPageCount(pdf), 3);
    EXPECT_TRUE(std::filesystem::exists(folder / "s.csv"));
    const std::string absent = collapsed(PdfText(pdf, 3));
    std::size_t count = 0;
    for (std::size_t at = absent.find("Absent(e)"); at != std::string::npos;
         at = absent.find("Absent(e)", at + 1))
        ++count;
    EXPECT_EQ(count, static_cast<std::size_t>(MathsObjectiveCount));
    EXPECT_NE(absent.find("ECA : En Cours Acquisition"), std::string::npos);
    EXPECT_EQ(collapsed(PdfText(pdf, 1)).find("Absent(e)"), std::string::npos);
}

TEST(PupilFileName, OneSafePlainFileNamePerPupil) {
    const std::string eAcute = "\xC3\xA9"; // 2 bytes
    const std::tuple<int, std::string, std::string, std::string> cases[] = {
        {3, "DUPONT", "Zo\xC3\xA9", "03-DUPONT-Zo\xC3\xA9.pdf"},
        {12, "  DE LA FONTAINE  ", " Zo\xC3\xA9\t", "12-DE LA FONTAINE-Zo\xC3\xA9.pdf"},
        {1, "..", "..", "01-__-__.pdf"},
        {2, "../../etc", ".bashrc", "02-______etc-_bashrc.pdf"},
        {4, "D'ARTAGNAN", "Jean-No\xC3\xABl", "04-D'ARTAGNAN-Jean-No\xC3\xABl.pdf"},
        {5, "A/B\\C", "x\x01y\x7F\xC2\x85z", "05-A_B_C-x_y__z.pdf"},
        {6, "Q:*?\"<>|", "\xFF\xC3", "06-Q_______-__.pdf"},
        {7, "MARTIN", "   ", "07-MARTIN.pdf"},
        {30, std::string(59, 'A') + eAcute, "B", "30-" + std::string(59, 'A') + "-B.pdf"},
        {8, std::string(80, 'Z'), "", "08-" + std::string(cli::PupilFileNamePartBytes, 'Z') + ".pdf"},
    };
    for (const auto& [number, surname, firstName, expected] : cases)
        EXPECT_EQ(cli::PupilFileName(number, surname, firstName), expected) << surname;
    // Accented names cut on a character boundary, within the limit.
    std::string accents;
    for (int i = 0; i < 40; ++i)
        accents += eAcute;
    EXPECT_EQ(cli::PupilFileName(9, accents, ""),
              "09-" + accents.substr(0, cli::PupilFileNamePartBytes) + ".pdf");
}

// A name written on one system opens on the other: no Windows device name, no final dot or space.
TEST(PupilFileName, PortableOnEverySystem) {
    const std::pair<std::string, std::string> cases[] = {
        {"CON", "_CON"},
        {"con.pdf", "_con.pdf"},
        {"Aux", "_Aux"},
        {"nul.tar.gz", "_nul.tar.gz"},
        {"PRN .txt", "_PRN .txt"},
        {"COM1", "_COM1"},
        {"lpt9.pdf", "_lpt9.pdf"},
        {"COM0", "COM0"},
        {"LPT10", "LPT10"},
        {"CONSOLE", "CONSOLE"},
        {"ce2 a.", "ce2 a_"},
        {"ce2 a. . ", "ce2 a____"},
        {"CON.", "CON_"},
        {"Zo\xC3\xA9", "Zo\xC3\xA9"},
        {"", ""},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(cli::PortableFileName(name), expected) << name;
}

namespace {

// The files of a folder, hidden ones included.
std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

constexpr auto OwnerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;

} // namespace

// A link in an output's place is replaced by a private file; what it led to is left alone.
TEST(ZebFiches, OutputsReplaceALinkInTheirPlace) {
    TempFolder folder, tmp;
    writeFile(folder / "classe.xml", examples::GenerateClass({.pupils = 2}).Document);
    writeFile(folder / "ailleurs.txt", "à garder");
    for (const char* option : {"--pdf", "--synthese", "--csv"}) {
        const std::filesystem::path output = folder / (std::string(option + 2) + ".out");
        std::filesystem::create_symlink(folder / "ailleurs.txt", output);
        ASSERT_EQ(runZebFiches({option, output.string(), (folder / "classe.xml").string()}, tmp).exitCode, 0);
        EXPECT_EQ(std::filesystem::symlink_status(output).permissions(), OwnerOnly) << option;
    }
    EXPECT_EQ(readFile(folder / "ailleurs.txt"), "à garder");
    EXPECT_EQ(filesIn(folder.path()).size(), 5U) << "a temporary file left beside the outputs";
}

// Out of file descriptors, the load says so rather than call the archive empty.
TEST(ZebFiches, TooManyOpenFilesIsToldAsSuch) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP()
        << "out of descriptors, the sanitizers' own checks fail and take sound objects for broken ones";
#endif
    TempFolder folder, tmp;
    int refused = 0;
    for (int limit = 5, exitCode = 1; limit <= 32 && exitCode != 0; ++limit) {
        // The program's limit, not the shell's, which needs descriptors to redirect.
        const ProcessRun run =
            runZebFiches({"--csv", (folder / "s.csv").string(), ZEB_EXAMPLES_DIR "/classe-ce2-exemple.jad"},
                         tmp, "prlimit --nofile=" + std::to_string(limit) + " env");
        exitCode = run.exitCode;
        if (exitCode != 1) // 127: the system's loader could not even start the program
            continue;
        ++refused;
        EXPECT_NE(run.err.find("trop de fichiers ouverts"), std::string::npos) << limit << ": " << run.err;
        EXPECT_EQ(run.err.find("ne contient aucun"), std::string::npos) << limit << ": " << run.err;
    }
    EXPECT_GT(refused, 0);
    EXPECT_TRUE(std::filesystem::exists(folder / "s.csv"));
}

TEST(ZebFiches, FamilyFilesHoldOnePupilEach) {
    TempFolder folder, tmp;
    examples::GeneratedClass generated = examples::GenerateClass({.pupils = 3, .absentPupil = 0});
    // Pupil 2 takes pupil 1's names; pupil 3's names would climb out of the folder.
    for (const auto& [pupil, surname, first] :
         {std::tuple{1, generated.Pupils[0].Surname, generated.Pupils[0].FirstName},
          {2, std::string("../D'ALMEIDA"), std::string(".Zo\xE9")}}) {
        examples::GeneratedPupil& record = generated.Pupils[static_cast<std::size_t>(pupil)];
        const std::string from = ">" + record.Surname + "--" + record.FirstNameEscaped + " ";
        for (std::size_t at; (at = generated.Document.find(from)) != std::string::npos;)
            generated.Document.replace(at, from.size(), ">" + surname + "--" + first + " ");
        record = {surname, first, first, record.FrenchCodes, record.MathsCodes};
    }
    writeFile(folder / "classe.xml", generated.Document);
    const std::filesystem::path out = folder / "familles";
    ProcessRun run = runZebFiches({"--par-eleve", out.string(), (folder / "classe.xml").string()}, tmp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(std::filesystem::status(out).permissions(), std::filesystem::perms::owner_all);
    const std::vector<std::string> files = filesIn(out);
    ASSERT_EQ(files.size(), 3U);
    EXPECT_EQ(files[2], "03-___D'ALMEIDA-_Zo\xC3\xA9.pdf");
    for (std::size_t pupil = 0; pupil < 3; ++pupil) {
        const examples::GeneratedPupil& record = generated.Pupils[pupil];
        const std::filesystem::path pdf = out / files[pupil];
        EXPECT_EQ(files[pupil], cli::PupilFileName(static_cast<int>(pupil + 1), record.Surname,
                                                   cp1252::toUtf8(record.FirstName)));
        EXPECT_EQ(std::filesystem::status(pdf).permissions(), OwnerOnly);
        ASSERT_EQ(PdfPageCount(pdf), 2);
        const std::string french = collapsed(PdfText(pdf, 1));
        EXPECT_NE(french.find("RESULTATS DE FRANCAIS"), std::string::npos);
        EXPECT_NE(french.find(record.Surname + " " + cp1252::toUtf8(record.FirstName)), std::string::npos);
        EXPECT_EQ(french.find(generated.Pupils[pupil == 2 ? 0 : 2].Surname), std::string::npos) << pdf;
        EXPECT_NE(PdfText(pdf, 2).find("RESULTATS DE MATHEMATIQUES"), std::string::npos);
    }
    // One subject printed on both sides: a blank back keeps the next child off the sheet.
    run = runZebFiches({"--par-eleve", out.string(), "--subject", "maths", "--recto-verso",
                        (folder / "classe.xml").string()},
                       tmp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(PdfPageCount(out / files[0]), 2);
    EXPECT_EQ(withoutSpaces(PdfText(out / files[0], 2)), "");
}

TEST(ZebFiches, FamilyFilesReplaceOlderOnesOnlyWhenAllAreWritten) {
    TempFolder folder, tmp;
    const examples::GeneratedClass generated = examples::GenerateClass({.pupils = 4});
    writeFile(folder / "classe.xml", generated.Document);
    const std::filesystem::path out = folder / "familles";
    ProcessRun run = runZebFiches({"--par-eleve", out.string(), (folder / "classe.xml").string()}, tmp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> files = filesIn(out);
    ASSERT_EQ(files.size(), 4U);
    writeFile(out / files[0], "ancienne fiche");

    // The third pupil's file cannot be completed (a full disk): nothing changes in the folder,
    // the new CSV goes again, the message names the pupil.
    const std::string failing = std::string("ZEB_TEST_FAIL_LINK_OF=/03- LD_PRELOAD='") + ZEB_FAULT_SHIM +
                                "' ASAN_OPTIONS=verify_asan_link_order=0";
    const std::string csv = (folder / "scores.csv").string();
    for (const std::filesystem::path& destination : {out, folder / "nouveau"}) {
        run = runZebFiches(
            {"--csv", csv, "--par-eleve", destination.string(), (folder / "classe.xml").string()}, tmp,
            failing);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("élève 3 (" + generated.Pupils[2].Surname), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("le disque est plein"), std::string::npos) << run.err; // not Qt's English
        EXPECT_EQ(run.err.find(".zeb-fiches-"), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(csv));
        EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
    }
    // The web pages beside the PDFs keep the same rule.
    run = runZebFiches({"--par-eleve", out.string(), "--html", (folder / "classe.xml").string()}, tmp,
                       std::string("ZEB_TEST_FAIL_LINK_OF=.html LD_PRELOAD='") + ZEB_FAULT_SHIM +
                           "' ASAN_OPTIONS=verify_asan_link_order=0");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("élève 1 (" + generated.Pupils[0].Surname), std::string::npos) << run.err;
    EXPECT_EQ(filesIn(out), files);
    EXPECT_EQ(readFile(out / files[0]), "ancienne fiche");
    EXPECT_FALSE(std::filesystem::exists(folder / "nouveau")) << "a folder made for a failed run stays";

    // A file in the folder's place, or a folder that cannot be made, is explained.
    for (const std::filesystem::path& destination : {folder / "classe.xml", folder / "absent" / "familles"}) {
        run = runZebFiches({"--par-eleve", destination.string(), (folder / "classe.xml").string()}, tmp);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("Impossible de créer le dossier"), std::string::npos) << run.err;
    }
}

TEST(ZebFiches, DoubleSidedClassFileGoesPupilByPupil) {
    TempFolder folder, tmp;
    const examples::GeneratedClass generated = examples::GenerateClass({.pupils = 3});
    writeFile(folder / "classe.xml", generated.Document);
    const std::filesystem::path pdf = folder / "fiches.pdf";
    // Both subjects: a child's French front and Mathematics back; one subject: blank backs.
    for (const std::string subject : {"both", "french"}) {
        const ProcessRun run = runZebFiches(
            {"--pdf", pdf.string(), "--recto-verso", "--subject", subject, (folder / "classe.xml").string()},
            tmp);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ASSERT_EQ(PdfPageCount(pdf), 6);
        for (int page = 1; page <= 6; ++page) {
            const std::string text = collapsed(PdfText(pdf, page));
            const bool blank = page % 2 == 0 && subject == "french";
            EXPECT_EQ(text.find(generated.Pupils[static_cast<std::size_t>((page - 1) / 2)].Surname) ==
                          std::string::npos,
                      blank)
                << subject << page;
            EXPECT_EQ(text.find(page % 2 ? "RESULTATS DE FRANCAIS" : "RESULTATS DE MATHEMATIQUES") ==
                          std::string::npos,
                      blank)
                << subject << page;
        }
    }
    const ProcessRun alone = runZebFiches(
        {"--recto-verso", "--csv", (folder / "s.csv").string(), (folder / "classe.xml").string()}, tmp);
    EXPECT_EQ(alone.exitCode, 2);
}

TEST(ZebFiches, AnonymousCsvFilesNameNobody) {
    TempFolder folder, tmp;
    const examples::GeneratedClass generated = examples::GenerateClass({.pupils = 30, .seed = 12});
    writeFile(folder / "classe.xml", generated.Document);
    const std::string scores = (folder / "s.csv").string(), groups = (folder / "g.csv").string();
    ProcessRun run = runZebFiches(
        {"--anonyme", "--csv", scores, "--groupes-csv", groups, (folder / "classe.xml").string()}, tmp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // A whole school's files too.
    run = runZebFiches(
        {"--anonyme", "--dossier", (folder / "ecole").string(), (folder / "classe.xml").string()}, tmp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const std::filesystem::path& file :
         {std::filesystem::path(scores), std::filesystem::path(groups),
          folder / "ecole" / "classe" / "scores.csv", folder / "ecole" / "classe" / "groupes.csv",
          folder / "ecole" / "ecole.csv"}) {
        const std::string text = readFile(file);
        for (const examples::GeneratedPupil& pupil : generated.Pupils) {
            EXPECT_EQ(text.find(pupil.Surname), std::string::npos) << file;
            EXPECT_EQ(text.find(cp1252::toUtf8(pupil.FirstName)), std::string::npos) << file;
        }
    }
    // Every row keeps its columns and its pupil number.
    EXPECT_EQ(readFile(scores), expectedCsv(generated, false));
    run = runZebFiches({"--anonyme", (folder / "classe.xml").string()}, tmp);
    EXPECT_EQ(run.exitCode, 2);
}

TEST(ZebFiches, SynthesisAndItemPagesInTheirOrderFrenchFirst) {
    TempFolder folder, tmp;
    writeFile(folder / "classe.xml", examples::GenerateClass({.pupils = 1}).Document);
    const std::vector<std::string> synthesis{"TABLEAU DE LA CLASSE", "SYNTHESE DE LA CLASSE",
                                             "GROUPES DE BESOIN", "ANALYSE DES ITEMS",
                                             "ITEMS LES MOINS RÉUSSIS"};
    const std::vector<std::string> items(synthesis.end() - 2, synthesis.end());
    const struct {
        std::vector<std::string> options;
        std::vector<std::string> titles; // of each subject's pages
        std::vector<std::string> subjects;
    } cases[] = {
        {{"--synthese"}, synthesis, {"Français", "Mathématiques"}},
        {{"--subject", "maths", "--items"}, items, {"Mathématiques"}},
    };
    for (const auto& c : cases) {
        const std::filesystem::path pdf = folder / "pages.pdf";
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {pdf.string(), (folder / "classe.xml").string()});
        const ProcessRun run = runZebFiches(args, tmp);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "");
        const auto pages = static_cast<int>(c.titles.size() * c.subjects.size());
        ASSERT_EQ(PdfPageCount(pdf), pages);
        for (int page = 1; page <= pages; ++page) {
            const std::string text = collapsed(PdfText(pdf, page));
            const auto index = static_cast<std::size_t>(page - 1);
            EXPECT_NE(text.find(c.titles[index % c.titles.size()]), std::string::npos)
                << page << ": " << text;
            EXPECT_NE(text.find(c.subjects[index / c.titles.size()]), std::string::npos) << page;
        }
        EXPECT_EQ(std::filesystem::status(pdf).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
}

TEST(ZebFiches, ArchivesGiveTheSameScoresAsTheirDocument) {
    TempFolder folder, tmp;
    const std::string examples = ZEB_EXAMPLES_DIR;
    const std::string environment = "TMPDIR=" + ShellQuoted(tmp.path().string()) +
                                    " XDG_RUNTIME_DIR=" + ShellQuoted(tmp.path().string()) + " ";
    // Relative output paths stay relative to the user's folder although the extraction
    // changes the current one.
    const ProcessRun run = RunShell("cd " + ShellQuoted(folder.path().string()) + " && " + environment +
                                    ShellQuoted(ZEB_FICHES) + " --csv xml.csv " +
                                    ShellQuoted(examples + "/classe-ce2-exemple.xml") + " && " + environment +
                                    ShellQuoted(ZEB_FICHES) + " --csv jad.csv --pdf jad.pdf " +
                                    ShellQuoted(examples + "/classe-ce2-exemple.jad"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(folder / "jad.csv"), readFile(folder / "xml.csv"));
    EXPECT_EQ(PdfPageCount(folder / "jad.pdf"), 50);
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << "extracted pupil data left behind";
}

TEST(ZebFiches, HostileOrMissingArchivesAreExplained) {
    TempFolder folder, tmp;
    const std::string corpus = ZEB_CORPUS_DIR;
    // The traversal member is refused and named; the export beside it is still read.
    ProcessRun run =
        runZebFiches({"--csv", (folder / "t.csv").string(), corpus + "/traversal-dotdot.jad"}, tmp);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("attention : Le membre"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("sort du dossier d'extraction"), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::exists(folder / "t.csv"));
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / ".." / "x.xml"));

    const std::string csv = (folder / "s.csv").string();
    run = runZebFiches({"--csv", csv, corpus + "/duplicate-names.jad"}, tmp);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Aucun document d'export n'a pu être extrait"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("plusieurs membres nomm"), std::string::npos) << run.err;

    run = runZebFiches({"--csv", csv, corpus + "/comment-too-long.jad"}, tmp);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("n'est pas une archive Zip valide."), std::string::npos) << run.err;

    // The damaged member is dropped, and the tool says so instead of leaving its question open.
    run = runZebFiches({"--csv", csv, corpus + "/crc-stored.jad"}, tmp);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("quand même ? ...\nzeb-fiches : réponse : non ("), std::string::npos) << run.err;

    run = runZebFiches({"--csv", csv, (folder / "absente.jad").string()}, tmp);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("introuvable"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "absente.jad")); // never created by the attempt

    EXPECT_FALSE(std::filesystem::exists(csv));
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

TEST(ZebFiches, NamesFromTheExportCannotDriveTheTerminal) {
    TempFolder folder, tmp;
    const examples::GeneratedClass generated = examples::GenerateClass({.pupils = 2});
    const std::string& document = generated.Document;
    const std::string surname = "<MELEVE_MID>" + generated.Pupils[0].Surname;
    // Retitles the terminal, clears the screen, then a C1 control once converted; in both
    // lists (the summary shows it) or in the French one only (the refusal names it).
    std::string everywhere = document, frenchOnly = document;
    for (std::size_t at; (at = everywhere.find(surname)) != std::string::npos;)
        everywhere.replace(at, surname.size(), "<MELEVE_MID>EVIL\x1B]0;x\x07\x1B[2J\x9D");
    frenchOnly.replace(frenchOnly.find(surname), surname.size(), "<MELEVE_MID>EVIL\x1B]0;x\x07\x1B[2J\x9D");
    for (const auto& [text, exitCode] : {std::pair{everywhere, 0}, std::pair{frenchOnly, 1}}) {
        writeFile(folder / "classe.xml", text);
        const ProcessRun run = runZebFiches({(folder / "classe.xml").string()}, tmp);
        EXPECT_EQ(run.exitCode, exitCode) << run.err;
        EXPECT_NE((run.out + run.err).find("EVIL?]0;x??[2J?"), std::string::npos) << run.out << run.err;
    }
}

TEST(ZebFiches, MembersNamedLikeTheWorkFilesDoNotGetInTheWay) {
    TempFolder folder, tmp;
    const std::string document = examples::GenerateClass({.pupils = 2}).Document;
    writeFile(folder / "classe.xml", document);
    runZebFiches({"--csv", (folder / "xml.csv").string(), (folder / "classe.xml").string()}, tmp);
    for (const char* name : {"TMP", "TMP/temp.txt/", "TMP/Fichier1.c01"}) {
        test::StoredMember member, export_;
        member.name = name;
        export_.name = "classe.xml";
        export_.data = document;
        writeFile(folder / "classe.jad", test::StoredZip({member, export_}));
        const ProcessRun run =
            runZebFiches({"--csv", (folder / "jad.csv").string(), (folder / "classe.jad").string()}, tmp);
        EXPECT_EQ(run.exitCode, 0) << name << ": " << run.err;
        EXPECT_EQ(readFile(folder / "jad.csv"), readFile(folder / "xml.csv")) << name;
    }
}

TEST(ZebFiches, WorkFolderGoesToTheFirstWritableFolder) {
    TempFolder folder, tmp, readOnly;
    writeFile(folder / "classe.xml", examples::GenerateClass({.pupils = 2}).Document);
    std::filesystem::permissions(readOnly.path(), std::filesystem::perms::owner_read);
    const std::string usable = ShellQuoted(tmp.path().string());
    for (const std::string& environment :
         {"XDG_RUNTIME_DIR=" + ShellQuoted(readOnly.path().string()) + " TMPDIR=" + usable, // read-only
          "XDG_RUNTIME_DIR= TMPDIR=" + usable + "/absent"}) {                               // then /tmp
        const ProcessRun run = RunShell(environment + " " + ShellQuoted(ZEB_FICHES) + " " +
                                        ShellQuoted((folder / "classe.xml").string()));
        EXPECT_EQ(run.exitCode, 0) << environment << ": " << run.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

TEST(ClassReport, NamesAreSafeInASpreadsheet) {
    EXPECT_EQ(cli::CsvName("\t=1+1"), "'\t=1+1");
    EXPECT_EQ(cli::CsvName("\r@SOMME(A1)"), "\"'\r@SOMME(A1)\"");
    EXPECT_EQ(cli::CsvName("\t\r\n-2"), "\"'\t\r\n-2\"");
    EXPECT_EQ(cli::CsvName("\tMARTIN"), "\tMARTIN");
    EXPECT_EQ(cli::CsvName("Léa"), "Léa");
    EXPECT_EQ(cli::CsvName("A;B"), "\"A;B\"");
    EXPECT_EQ(cli::CsvName("O\"NEIL"), "\"O\"\"NEIL\"");
    EXPECT_EQ(cli::CsvName("=1+1"), "'=1+1");
    EXPECT_EQ(cli::CsvName("@SOMME(A1)"), "'@SOMME(A1)");
    EXPECT_EQ(cli::CsvName("Jean-Paul"), "Jean-Paul");
    EXPECT_EQ(cli::ScoreNumber("100 %"), "100");
    EXPECT_EQ(cli::ScoreNumber("  0 %"), "0");
    EXPECT_EQ(cli::ScoreNumber(" Abs "), "Abs");
}
