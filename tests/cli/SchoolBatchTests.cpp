#include "CliRun.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "generator/ExportGenerator.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

using namespace zeb::test;
namespace fs = std::filesystem;
namespace examples = zeb::examples;

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);)
        parts.push_back(part);
    return parts;
}

// The data lines of a CSV file made by the command (no mark, no header, no CR).
std::vector<std::string> csvRows(const fs::path& file) {
    std::vector<std::string> rows = split(readFile(file), '\n');
    if (!rows.empty())
        rows.erase(rows.begin());
    for (std::string& row : rows)
        if (!row.empty() && row.back() == '\r')
            row.pop_back();
    return rows;
}

std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (!entry.path().filename().string().starts_with('.')) // ZEB's marks and lock
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The school's rows by the definitions of the columns, from every pupil's SR as the classes'
// score files give it (-1 for "Abs"), with whole-number arithmetic rounded half up.
std::vector<std::string> expectedSchoolRows(const std::vector<fs::path>& scoreFiles) {
    std::vector<std::string> order;
    std::map<std::string, std::vector<int>> srs;
    for (const fs::path& file : scoreFiles) {
        for (const std::string& row : csvRows(file)) {
            const std::vector<std::string> f = split(row, ';');
            const std::size_t n = f.size();
            const std::string key = f[n - 6] + ";" + f[n - 5];
            if (!srs.contains(key))
                order.push_back(key);
            srs[key].push_back(f[n - 4] == "Abs" ? -1 : std::stoi(f[n - 4]));
        }
    }
    std::vector<std::string> rows;
    for (const std::string& key : order) {
        int n = 0, absent = 0, sum = 0, a = 0, eca = 0, na = 0;
        for (const int sr : srs[key]) {
            if (sr < 0) {
                ++absent;
                continue;
            }
            ++n;
            sum += sr;
            (sr >= 75 ? a : sr >= 50 ? eca : na)++;
        }
        const auto share = [n](int part) { return std::to_string((2 * part + n) / (2 * n)); };
        std::string row = "ECOLE;" + key + ";" + std::to_string(n) + ";" + std::to_string(absent) + ";" +
                          (n == 0 ? "Abs" : share(sum)) + ";" + std::to_string(a) + ";" +
                          std::to_string(eca) + ";" + std::to_string(na) + ";";
        row += n == 0 ? "Abs;Abs;Abs;Abs"
                      : share(100 * a) + ";" + share(100 * eca) + ";" + share(100 * na) + ";" +
                            (2 * a < n ? "oui" : "non");
        rows.push_back(row);
    }
    return rows;
}

// The school's item rows: each count summed over the classes' item files, the percentages
// recomputed from the sums, rounded half up.
std::vector<std::string> expectedSchoolItemRows(const std::vector<fs::path>& itemFiles) {
    std::vector<std::vector<std::string>> sums;
    for (const fs::path& file : itemFiles) {
        const std::vector<std::string> rows = csvRows(file);
        sums.resize(rows.size());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const std::vector<std::string> f = split(rows[r], ';');
            if (sums[r].empty())
                sums[r] = f;
            else
                for (std::size_t i : {3u, 4u, 5u, 6u, 7u, 11u, 12u, 13u, 14u, 15u, 16u, 17u, 18u, 19u, 20u})
                    sums[r][i] = std::to_string(std::stoi(sums[r][i]) + std::stoi(f[i]));
        }
    }
    std::vector<std::string> rows;
    for (std::vector<std::string>& f : sums) {
        const int n = std::stoi(f[3]);
        for (std::size_t i : {8u, 9u, 10u})
            f[i] = n == 0 ? "Abs" : std::to_string((200 * std::stoi(f[i - 3]) + n) / (2 * n));
        std::string row = "ECOLE";
        for (const std::string& field : f)
            row += ";" + field;
        rows.push_back(row);
    }
    return rows;
}

// An export that gives no class name: its folder is named after the file.
std::string archiveOf(examples::GeneratorOptions options) {
    options.className.clear();
    StoredMember member;
    member.name = "classe.xml";
    member.data = examples::GenerateClass(options).Document;
    return StoredZip({member});
}

} // namespace

TEST(SchoolBatch, SchoolRowsComeFromEveryPupilAndFailingClassesAreSkipped) {
    TempFolder in, tmp;
    std::string mismatched = examples::GenerateClass({.pupils = 4}).Document;
    const std::string surname = "<MELEVE_MID>" + examples::GenerateClass({.pupils = 4}).Pupils[1].Surname;
    mismatched.replace(mismatched.find(surname), surname.size(), "<MELEVE_MID>AUTRE");
    // Folders after the classes' names where the exports give them (a second "CE2 A" numbered),
    // after the file's name where not.
    writeFile(in / "a.xml", examples::GenerateClass({.pupils = 25, .seed = 1}).Document);
    writeFile(in / "casse.jad", "PK");
    writeFile(in / "b.xml",
              examples::GenerateClass({.pupils = 30, .seed = 77, .className = "CE2 A"}).Document);
    writeFile(in / "trente-et-un.xml", examples::GenerateClass({.pupils = 31}).Document);
    writeFile(in / "c.xml",
              examples::GenerateClass({.pupils = 1, .absentPupil = 1, .className = ""}).Document);
    writeFile(in / "melange.xml", mismatched);
    std::vector<std::string> args{"--dossier", (in / "ecole").string()};
    for (const char* name : {"a.xml", "casse.jad", "b.xml", "trente-et-un.xml", "c.xml", "melange.xml"})
        args.push_back((in / name).string());

    const ProcessRun run = runZebFiches(args, tmp);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    for (const char* reason :
         {"casse : ", "trente-et-un : Cette classe compte 31",
          "melange : Les listes de français et de mathématiques ne nomment pas le même élève",
          "3 classes écrites (56 élèves)", "3 classes en échec : casse, trente-et-un, melange."})
        EXPECT_NE(run.err.find(reason), std::string::npos) << reason << "\n" << run.err;
    const std::vector<std::string> classes{"CE2 A", "CE2 A-2", "c"};
    EXPECT_EQ(entries(in / "ecole"),
              (std::vector<std::string>{"CE2 A", "CE2 A-2", "c", "ecole-items.csv", "ecole.csv"}));
    for (const std::string& name : classes) {
        EXPECT_EQ(entries(in / "ecole" / name),
                  (std::vector<std::string>{"fiches.pdf", "groupes.csv", "items.csv", "scores.csv",
                                            "synthese.csv", "synthese.pdf"}));
        EXPECT_TRUE(readFile(in / "ecole" / name / "fiches.pdf").starts_with("%PDF"));
    }

    // Each class's own synthesis rows behind its name, then the school over all 56 pupils.
    std::vector<std::string> expected;
    for (const std::string& name : classes)
        for (const std::string& row : csvRows(in / "ecole" / name / "synthese.csv"))
            expected.push_back(name + ";" + row);
    for (const std::string& row :
         expectedSchoolRows({in / "ecole" / "CE2 A" / "scores.csv", in / "ecole" / "CE2 A-2" / "scores.csv",
                             in / "ecole" / "c" / "scores.csv"}))
        expected.push_back(row);
    EXPECT_EQ(expected.size(), 4u * 35u);
    EXPECT_TRUE(readFile(in / "ecole" / "ecole.csv")
                    .starts_with("\xEF\xBB\xBF"
                                 "classe;matiere;objectif;evalues;absents;SR_moyen;A;ECA;NA;pct_A;pct_ECA;"
                                 "pct_NA;classe_entiere\r\n"));
    EXPECT_EQ(csvRows(in / "ecole" / "ecole.csv"), expected);

    // The same for the items: the classes' rows, then their sums.
    expected.clear();
    std::vector<fs::path> itemFiles;
    for (const std::string& name : classes) {
        itemFiles.push_back(in / "ecole" / name / "items.csv");
        for (const std::string& row : csvRows(itemFiles.back()))
            expected.push_back(name + ";" + row);
    }
    for (const std::string& row : expectedSchoolItemRows(itemFiles))
        expected.push_back(row);
    EXPECT_EQ(expected.size(), 4u * 181u);
    EXPECT_EQ(csvRows(in / "ecole" / "ecole-items.csv"), expected);
    EXPECT_TRUE(fs::is_empty(tmp.path())) << "work folders left behind";
}

TEST(SchoolBatch, SameNamesGetASuffixAndOlderResultsAreReplacedClassByClass) {
    TempFolder in, tmp;
    fs::create_directories(in / "x");
    fs::create_directories(in / "y");
    writeFile(in / "x" / "classe.jad", archiveOf({.pupils = 3}));
    writeFile(in / "y" / "classe.jad", archiveOf({.pupils = 5}));
    writeFile(in / "x" / "notes.txt", "pas un export");
    // The results go inside an input folder: a second run takes the same two classes.
    const fs::path out = in / "x" / "resultats";
    const auto pupilsOf = [&out](const char* name) {
        return static_cast<int>(csvRows(out / name / "scores.csv").size()) / 35;
    };
    for (int pass = 0; pass < 2; ++pass) {
        const ProcessRun run =
            runZebFiches({"--dossier", out.string(), (in / "x").string(), (in / "y").string()}, tmp);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("2 classes écrites (8 élèves)"), std::string::npos) << run.err;
        EXPECT_EQ(entries(out),
                  (std::vector<std::string>{"classe", "classe-2", "ecole-items.csv", "ecole.csv"}));
        EXPECT_EQ(pupilsOf("classe"), 3);
        EXPECT_EQ(pupilsOf("classe-2"), 5);
    }

    // New results for the first class, none for the second: the first is wholly new, the second
    // wholly as it was, with a note that says so; the school's file counts the first only.
    writeFile(in / "x" / "classe.jad", archiveOf({.pupils = 4}));
    writeFile(in / "y" / "classe.jad", "PK");
    const ProcessRun run =
        runZebFiches({"--dossier", out.string(), (in / "x").string(), (in / "y").string()}, tmp);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("classe-2 : "), std::string::npos) << run.err;
    EXPECT_EQ(entries(out), (std::vector<std::string>{"classe", "classe-2", "ecole-items.csv", "ecole.csv"}));
    EXPECT_EQ(pupilsOf("classe"), 4);
    EXPECT_EQ(pupilsOf("classe-2"), 5);
    const std::string notice = readFile(out / "classe-2" / "ANCIENS-RESULTATS.txt");
    for (const char* said :
         {"viennent d'un passage précédent", "n'a pas pu être traité", "pas comptés dans « ecole.csv »"})
        EXPECT_NE(notice.find(said), std::string::npos) << notice;
    EXPECT_EQ(csvRows(out / "ecole.csv").size(), 2u * 35u);
    EXPECT_TRUE(fs::is_empty(tmp.path()));
    // The notice is ZEB's own: the next complete run replaces the folder, notice and all.
    writeFile(in / "y" / "classe.jad", archiveOf({.pupils = 2}));
    ASSERT_EQ(
        runZebFiches({"--dossier", out.string(), (in / "x").string(), (in / "y").string()}, tmp).exitCode, 0);
    EXPECT_EQ(entries(out / "classe-2"),
              (std::vector<std::string>{"fiches.pdf", "groupes.csv", "items.csv", "scores.csv",
                                        "synthese.csv", "synthese.pdf"}));
}

// A class's folder is named after the class its export names, or else after the export, accents
// kept, under a name every system opens.
TEST(SchoolBatch, ClassFoldersKeepAccentsAndAvoidWhatWindowsRefuses) {
    TempFolder in, tmp;
    const std::vector<std::string> names = {"H\xC3\xA9l\xC3\xA8ne CE2", "aux", "ce2 b."};
    std::vector<std::string> args = {"--dossier", (in / "out").string()};
    for (const std::string& name : names) {
        writeFile(in / (name + ".jad"), archiveOf({.pupils = static_cast<int>(args.size())}));
        args.push_back((in / (name + ".jad")).string());
    }
    writeFile(in / "nomme.xml",
              examples::GenerateClass({.pupils = 5, .className = "CE2/CM1 : \xC9l\xE8ves."}).Document);
    args.push_back((in / "nomme.xml").string());
    const ProcessRun run = runZebFiches(args, tmp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(entries(in / "out"),
              (std::vector<std::string>{"CE2_CM1 _ \xC3\x89l\xC3\xA8ves_", "H\xC3\xA9l\xC3\xA8ne CE2", "_aux",
                                        "ce2 b_", "ecole-items.csv", "ecole.csv"}));
}

TEST(SchoolBatch, AnOutputFolderThatCannotBeUsedStopsEverything) {
    TempFolder in, tmp;
    writeFile(in / "a.xml", examples::GenerateClass({.pupils = 2}).Document);
    writeFile(in / "fichier", "");
    for (const auto& [out, message] : {std::pair{in / "fichier", "n'est pas un dossier"},
                                       std::pair{in / "absent" / "sous", "Impossible de créer le dossier"}}) {
        const ProcessRun run = runZebFiches({"--dossier", out.string(), (in / "a.xml").string()}, tmp);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    }
    EXPECT_EQ(entries(in.path()), (std::vector<std::string>{"a.xml", "fichier"}));
}
