// The import of an export document into the class and its work files, and the work files
// themselves, as every system has them. What only a POSIX system has (links, named pipes, a
// file system of the test's own) is in posix/.

#include "ClassImportFixture.h"
#include "FileAccess.h"
#include "TempFolder.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "core/WorkFiles.h"
#include "load/ClassImport.h"
#include "load/ExportLoad.h"
#include "platform/Platform.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace zeb;
using namespace zeb::test;

TEST_F(ClassImportTest, WritesTheThreeWorkFilesAndLoadsTheClass) {
    importOk(exportDocument(smallClass(), smallClass()));
    const std::filesystem::path work = WorkFolder(program.path());
    const std::string temp = readFile(work / "temp.txt");
    const std::string french = readFile(work / "Fichier1.c01");
    const std::string maths = readFile(work / "Fichier2.c01");
    EXPECT_EQ(temp, french + maths);
    EXPECT_EQ(french.substr(0, 44), "01MARTIN                   L\xE9"
                                    "a            11");
    EXPECT_EQ(maths.substr(0, 2), "04");
    EXPECT_EQ(maths.size(), 3 * (42 + 88 + 2u));
    EXPECT_TRUE(ReadableByUserOnly(work));

    const LoadedClass& loaded = state->Class;
    EXPECT_EQ(loaded.PupilCount, 3);
    EXPECT_EQ(loaded.PupilSelection, (GridRect{1, 1, 2, 1}));
    EXPECT_EQ(loaded.ClassResults[1].FirstName, "L\xE9"
                                                "a" +
                                                    std::string(12, ' '));
    EXPECT_EQ(loaded.ClassResults[1].Number, "01");
    EXPECT_EQ(loaded.ObjectiveResults.French.SR[1][1], "100 %");
    EXPECT_EQ(loaded.ObjectiveResults.Maths.SE[19][1], "100 %");
    EXPECT_EQ(loaded.ObjectiveResults.French.SNR[16][2], "100 %");
    EXPECT_EQ(loaded.ObjectiveResults.Maths.SR[1][2], "100 %");
    for (int j = 1; j <= MathsObjectiveCount; ++j)
        EXPECT_EQ(loaded.ObjectiveResults.Maths.SR[j][3], " Abs ");
}

TEST_F(ClassImportTest, LongNamesNoLongerShiftTheCodes) {
    std::vector<Pupil> pupils = smallClass();
    pupils[0].surname = "DE_LA_FONTAINE_DES_ETANGS_X";     // 27 characters
    pupils[0].firstName = "Marie-Th\\u00e9r\\u00e8se-Lou"; // 19 once decoded
    importOk(exportDocument(pupils, pupils));
    const PupilRecord& first = state->Class.ClassResults[1];
    EXPECT_EQ(first.Surname, "DE_LA_FONTAINE_DES_ETANGS");
    EXPECT_EQ(first.FirstName, "Marie-Th\xE9r\xE8se-L");
    EXPECT_EQ(first.FrenchCodes, std::string(93, '1'));
    EXPECT_EQ(state->Class.ObjectiveResults.Maths.SE[1][1], "100 %");
}

TEST_F(ClassImportTest, AFailedLoadLeavesThePreviousClassAndItsFilesAsTheyWere) {
    importOk(exportDocument(smallClass(), smallClass()));
    const LoadedClass before = state->Class;
    const std::filesystem::path work = WorkFolder(program.path());
    const std::string tempBefore = readFile(work / "temp.txt");

    std::vector<Pupil> other = smallClass();
    other[1].firstName = "Hugues";
    std::vector<Pupil> tooMany;
    for (int i = 0; i < 31; ++i)
        tooMany.push_back({std::string("ELEVE").append(std::to_string(i)), "X", "1", "1"});
    std::vector<Pupil> swapped = smallClass();
    for (Pupil& pupil : swapped)
        std::swap(pupil.french, pupil.maths);
    std::vector<Pupil> oddMaths = smallClass();
    oddMaths.pop_back();

    const std::vector<std::pair<std::string, std::string>> badDocuments = {
        {"no pupil", "<?xml version=\"1.0\"?>\r\n<EXPORT/>\r\n"},
        {"odd count", exportDocument(smallClass(), oddMaths)},
        {"31 pupils", exportDocument(tooMany, tooMany)},
        {"names differ", exportDocument(smallClass(), other)},
        {"subjects swapped", exportDocument(swapped, swapped)},
    };
    for (const auto& [what, contents] : badDocuments) {
        EXPECT_THROW(ImportExportDocument(document("bad.xml", contents), program.path(), *state), ZebError)
            << what;
        EXPECT_EQ(state->Class.PupilCount, before.PupilCount) << what;
        EXPECT_EQ(state->Class.ClassResults, before.ClassResults) << what;
        EXPECT_EQ(state->Class.ObjectiveResults.French.SR, before.ObjectiveResults.French.SR) << what;
        EXPECT_EQ(state->Class.ObjectiveResults.Maths.SNR, before.ObjectiveResults.Maths.SNR) << what;
        EXPECT_EQ(readFile(work / "temp.txt"), tempBefore) << what;
    }
    EXPECT_THROW(ImportExportDocument(folder / "missing.xml", program.path(), *state), ZebError);
    EXPECT_EQ(state->Class.ClassResults, before.ClassResults);
}

// The sample class, from a folder and into a program folder whose names have accents, as a
// teacher's often have: every name reaches the system whole.
TEST_F(ClassImportTest, TheSampleLoadsBetweenFoldersWithAccents) {
    const std::filesystem::path classes = folder.path() / PathFromUtf8("Hélène") / PathFromUtf8("CE2 A");
    const std::filesystem::path programFolder = program.path() / PathFromUtf8("Données élèves");
    std::filesystem::create_directories(classes);
    std::filesystem::create_directory(programFolder);
    const std::filesystem::path sample = classes / PathFromUtf8("évaluation été.xml");
    std::filesystem::copy_file(PathFromUtf8(ZEB_SAMPLE_DOCUMENT), sample);
    ImportExportDocument(sample, programFolder, *state);

    EXPECT_EQ(state->Class.PupilCount, 25);
    EXPECT_TRUE(state->Class.ClassResults[1].Surname.str().starts_with("CHAPUIS"));
    EXPECT_TRUE(state->Class.ClassResults[2].FirstName.str().starts_with(cp1252::fromUtf8("Loïc")));
    EXPECT_EQ(state->Class.Info.ClassName, "CE2 A");
    EXPECT_EQ(state->Class.Info.School, cp1252::fromUtf8("École élémentaire des Trois Chênes"));
    const std::string temp = readFile(WorkFolder(programFolder) / "temp.txt");
    EXPECT_EQ(temp, readFile(WorkFolder(programFolder) / "Fichier1.c01") +
                        readFile(WorkFolder(programFolder) / "Fichier2.c01"));
    EXPECT_NE(temp.find("CHAPUIS"), std::string::npos);
}

TEST(WorkFiles, AtomicWriteReplacesWholeOrLeavesNothing) {
    TempFolder folder;
    const std::filesystem::path file = folder / "scores.csv";
    WriteFileAtomically(file, "first");
    WriteFileAtomically(file, "second, longer");
    EXPECT_EQ(readFile(file), "second, longer");
    EXPECT_TRUE(ReadableByUserOnly(file));

    EXPECT_THROW(WriteFileAtomically(folder / "absent" / "x.csv", "data"), ZebError);
    // A target that is a folder: the rename fails and the temporary file goes away.
    std::filesystem::create_directory(folder / "dir");
    EXPECT_THROW(WriteFileAtomically(folder / "dir", "data"), ZebError);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path()))
        ++entries;
    EXPECT_EQ(entries, 2u); // scores.csv and dir
}

TEST(WorkFiles, WorkFilesAreRewrittenInPlace) {
    TempFolder folder;
    const std::filesystem::path file = folder / "temp.txt";
    WriteWorkFile(file, "a longer first class\r\n");
    WriteWorkFile(file, "short\r\n");
    EXPECT_EQ(readFile(file), "short\r\n");
    EXPECT_TRUE(ReadableByUserOnly(file));
}

TEST(WorkFiles, ReadErrorsAreFrench) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "dossier.xml");
    try {
        ReadWholeFile(folder / "dossier.xml");
        ADD_FAILURE();
    } catch (const ZebError& error) {
        EXPECT_NE(std::string(error.what()).find("c'est un dossier, pas un fichier"), std::string::npos)
            << error.what();
    }
    try {
        ReadWholeFile(folder / "absent.xml");
        FAIL();
    } catch (const ZebError& error) {
        EXPECT_STREQ(error.what(),
                     ("Impossible d'ouvrir le fichier « " + Utf8FromPath(folder / "absent.xml") +
                      " » : fichier ou dossier introuvable.")
                         .c_str());
    }
    EXPECT_THROW(ReadWholeFile(folder.path()), ZebError);
    writeFile(folder / "big.xml", std::string(2048, 'x'));
    EXPECT_EQ(ReadWholeFile(folder / "big.xml", 2048).size(), 2048u);
    try {
        ReadWholeFile(folder / "big.xml", 2047);
        FAIL();
    } catch (const ZebError& error) {
        EXPECT_NE(std::string(error.what()).find("trop volumineux"), std::string::npos);
    }
}

TEST(WorkFiles, DeleteWorkFilesKeepsTheFolder) {
    TempFolder program;
    std::filesystem::create_directory(WorkFolder(program.path()));
    writeFile(WorkFolder(program.path()) / "temp.txt", "x");
    writeFile(WorkFolder(program.path()) / "Fichier2.c01", "x");
    writeFile(WorkFolder(program.path()) / "Fichier1.c01", "x");
    writeFile(program / "kept.txt", "x");
    DeleteWorkFiles(program.path());
    EXPECT_TRUE(std::filesystem::is_directory(WorkFolder(program.path())));
    EXPECT_TRUE(std::filesystem::is_empty(WorkFolder(program.path())));
    EXPECT_TRUE(std::filesystem::exists(program / "kept.txt"));
}

TEST(ListerFichiersXml, KeepsOrdinaryFilesNamedXmlInAnyCase) {
    TempFolder folder;
    for (const char* name : {"classe.XML", "notes.txt", "export_xml_2006", ".cache.xml", "b.xml"})
        zeb::test::writeFile(folder / name, "x");
    std::filesystem::create_directory(folder / "xmldir");

    const std::vector<std::filesystem::path> found = ListerFichiersXml(folder.path());
    const std::vector<std::filesystem::path> expected{folder / "b.xml", folder / "classe.XML",
                                                      folder / "export_xml_2006"};
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(ListerFichiersXml(folder / "absent").empty());
    EXPECT_THROW(ListerFichiersXml(folder / "b.xml"), zeb::ZebError); // cannot be listed: not "no document"
}
