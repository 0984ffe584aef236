#include "TempFolder.h"
#include "core/Errors.h"
#include "core/ObjectiveTables.h"
#include "core/WorkFiles.h"
#include "load/ClassImport.h"
#include "load/ExportLoad.h"
#include "platform/Platform.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zeb;
using zeb::test::readFile;
using zeb::test::TempFolder;
using zeb::test::writeFile;

namespace {

struct Pupil {
    std::string surname, firstName, french, maths;
};

// An export document listing the class once in French, then once in Mathematics.
std::string exportDocument(const std::vector<Pupil>& french, const std::vector<Pupil>& maths) {
    std::string doc = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<EXPORT>\r\n";
    auto list = [&doc](const std::vector<Pupil>& pupils, bool isFrench) {
        doc += isFrench ? "<DISCIPLINE code=\"FRA\">\r\n" : "<DISCIPLINE code=\"MAT\">\r\n";
        for (const Pupil& p : pupils) {
            doc += "  <MELEVE_MID>" + p.surname + "--" + p.firstName + " (F)</MELEVE_MID>\r\n";
            doc += "  <REPONSES><MCODES>" + (isFrench ? p.french : p.maths) + "</MCODES></REPONSES>\r\n";
        }
        doc += "</DISCIPLINE>\r\n";
    };
    list(french, true);
    list(maths, false);
    return doc + "</EXPORT>\r\n";
}

std::vector<Pupil> smallClass() {
    return {{"MARTIN", "L\\u00e9a", std::string(93, '1'), std::string(88, '9')},
            {"DUPONT", "Hugo", std::string(93, '0'), std::string(88, '2')},
            {"ABSENT", "Paul", std::string(93, 'A'), std::string(88, 'A')}};
}

class ClassImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        state = std::make_unique<ProgramState>();
        BuildObjectiveTables(*state);
    }
    std::filesystem::path document(std::string_view name, const std::string& contents) {
        writeFile(folder / name, contents);
        return folder / name;
    }
    void importOk(const std::string& contents) {
        ImportExportDocument(document("classe.xml", contents), program.path(), *state);
    }
    TempFolder folder;
    TempFolder program;
    std::unique_ptr<ProgramState> state;
};

} // namespace

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
    EXPECT_EQ(std::filesystem::status(work).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

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

TEST_F(ClassImportTest, NeverWritesThroughLinksOrIntoSpecialFilesOfTheWorkFolder) {
    namespace fs = std::filesystem;
    const fs::path work = WorkFolder(program.path());
    const fs::path victim = folder / "victim";
    struct Case {
        const char* what;
        std::function<void()> prepare;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"TMP links to another folder", [&] { fs::create_directory_symlink(victim, work); },
         "lien symbolique"},
        {"TMP is a dangling link", [&] { fs::create_directory_symlink(folder / "nowhere", work); },
         "lien symbolique"},
        {"temp.txt links to another file",
         [&] {
             fs::create_directory(work);
             fs::create_symlink(victim / "temp.txt", work / "temp.txt");
         },
         "lien symbolique"},
        {"TMP is a file", [&] { writeFile(work, "not a folder"); }, "n'est pas un dossier"},
        {"Fichier1.c01 is a pipe",
         [&] {
             fs::create_directory(work);
             ASSERT_EQ(::mkfifo((work / "Fichier1.c01").c_str(), 0600), 0);
         },
         "pas un fichier ordinaire"},
    };
    for (const Case& c : cases) {
        fs::create_directory(victim);
        writeFile(victim / "temp.txt", "someone else's file");
        c.prepare();
        try {
            importOk(exportDocument(smallClass(), smallClass()));
            ADD_FAILURE() << c.what << ": the import should have failed";
        } catch (const ZebError& error) {
            EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos)
                << c.what << ": " << error.what();
        }
        EXPECT_EQ(readFile(victim / "temp.txt"), "someone else's file") << c.what;
        EXPECT_FALSE(fs::exists(folder / "nowhere")) << c.what;
        EXPECT_EQ(state->Class.PupilCount, 0) << c.what;
        fs::remove_all(work);
        fs::remove_all(victim);
    }
}

namespace {

// Runs the import over a small file system of its own, in a private mount namespace, where
// the disk fills up for real. Gives the message, preceded by "1" when temp.txt was left,
// or nothing where namespaces are not allowed.
std::string importOnAFullDisk(const std::filesystem::path& document, const char* mountOptions) {
    TempFolder mountPoint, results;
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string uid = std::to_string(::getuid()), gid = std::to_string(::getgid());
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            ::_exit(2);
        std::string report = "0(no error)";
        try {
            writeFile("/proc/self/setgroups", "deny");
            writeFile("/proc/self/uid_map", uid + " " + uid + " 1");
            writeFile("/proc/self/gid_map", gid + " " + gid + " 1");
            if (::mount("none", mountPoint.path().c_str(), "tmpfs", 0, mountOptions) != 0)
                ::_exit(2);
            auto state = std::make_unique<ProgramState>();
            BuildObjectiveTables(*state);
            ImportExportDocument(document, mountPoint.path(), *state);
        } catch (const std::exception& error) {
            const bool left = std::filesystem::exists(WorkFolder(mountPoint.path()) / "temp.txt");
            report = std::string(left ? "1" : "0").append(error.what());
        }
        writeFile(results / "report", report);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return readFile(results / "report");
}

} // namespace

TEST_F(ClassImportTest, AFullDiskIsCalledAFullDisk) {
    std::vector<Pupil> pupils;
    for (int i = 0; i < 30; ++i)
        pupils.push_back({std::string("ELEVE").append(std::to_string(i)), "X", std::string(93, '1'),
                          std::string(88, '1')});
    const std::filesystem::path doc = document("classe.xml", exportDocument(pupils, pupils));
    // No inode left for the work folder; then room for the folder but not for temp.txt.
    for (const char* options : {"nr_inodes=1", "size=4k"}) {
        const std::string report = importOnAFullDisk(doc, options);
        if (report.empty())
            GTEST_SKIP() << "no private mount namespace here";
        EXPECT_EQ(report.substr(0, 1), "0") << options << ": temp.txt left";
        EXPECT_NE(report.find("le disque est plein"), std::string::npos) << options << ": " << report;
    }
}

TEST(WorkFiles, AtomicWriteReplacesWholeOrLeavesNothing) {
    TempFolder folder;
    const std::filesystem::path file = folder / "scores.csv";
    WriteFileAtomically(file, "first");
    WriteFileAtomically(file, "second, longer");
    EXPECT_EQ(readFile(file), "second, longer");
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    EXPECT_THROW(WriteFileAtomically(folder / "absent" / "x.csv", "data"), ZebError);
    // A target that is a folder: the rename fails and the temporary file goes away.
    std::filesystem::create_directory(folder / "dir");
    EXPECT_THROW(WriteFileAtomically(folder / "dir", "data"), ZebError);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path()))
        ++entries;
    EXPECT_EQ(entries, 2u); // scores.csv and dir
}

// Messages are French through and through: the C library's English never reaches them.
TEST(WorkFiles, EverySystemReasonIsFrench) {
    for (const int error :
         {EINVAL, EMFILE,  ENFILE, EXDEV,  EROFS,   ENOSPC, EDQUOT, ELOOP,  ENAMETOOLONG, EBUSY, ENOTEMPTY,
          EEXIST, ETXTBSY, EAGAIN, ENOMEM, ENOTSUP, ENOSYS, ENOLCK, ESTALE, ENODEV,       ENXIO})
        EXPECT_FALSE(FrenchReason(error).starts_with("erreur système")) << error;
    EXPECT_NE(FrenchReason(EMFILE), FrenchReason(ENFILE));
    EXPECT_EQ(FrenchReason(EHWPOISON), "erreur système " + std::to_string(EHWPOISON)); // no strerror
}

TEST(WorkFiles, WorkFilesAreRewrittenInPlaceAndNeverThroughALink) {
    TempFolder folder;
    const std::filesystem::path file = folder / "temp.txt";
    WriteWorkFile(file, "a longer first class\r\n");
    WriteWorkFile(file, "short\r\n");
    EXPECT_EQ(readFile(file), "short\r\n");
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    writeFile(folder / "victim", "keep me");
    std::filesystem::create_symlink(folder / "victim", folder / "Fichier1.c01");
    EXPECT_THROW(WriteWorkFile(folder / "Fichier1.c01", "pupils"), ZebError);
    EXPECT_EQ(readFile(folder / "victim"), "keep me");
}

TEST(WorkFiles, ReadErrorsAreFrench) {
    TempFolder folder;
    // Refused before opening: a pipe would wait for a writer for ever.
    ASSERT_EQ(::mkfifo((folder / "pipe.xml").c_str(), 0600), 0);
    std::filesystem::create_directory(folder / "dossier.xml");
    const std::vector<std::pair<std::filesystem::path, std::string>> refused = {
        {folder / "pipe.xml", "ce n'est pas un fichier ordinaire"},
        {"/dev/null", "ce n'est pas un fichier ordinaire"},
        {folder / "dossier.xml", "c'est un dossier, pas un fichier"},
    };
    for (const auto& [file, reason] : refused) {
        try {
            ReadWholeFile(file);
            ADD_FAILURE() << file;
        } catch (const ZebError& error) {
            EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
        }
    }
    writeFile(folder / "vraie.xml", "<EXPORT/>");
    std::filesystem::create_symlink(folder / "vraie.xml", folder / "lien.xml");
    EXPECT_EQ(ReadWholeFile(folder / "lien.xml"), "<EXPORT/>"); // a document chosen by the user may be a link

    try {
        ReadWholeFile(folder / "absent.xml");
        FAIL();
    } catch (const ZebError& error) {
        EXPECT_STREQ(error.what(), ("Impossible d'ouvrir le fichier « " + (folder / "absent.xml").string() +
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
    std::filesystem::create_symlink(program / "kept.txt", WorkFolder(program.path()) / "Fichier1.c01");
    writeFile(program / "kept.txt", "x");
    DeleteWorkFiles(program.path());
    EXPECT_TRUE(std::filesystem::is_directory(WorkFolder(program.path())));
    EXPECT_TRUE(std::filesystem::is_empty(WorkFolder(program.path())));
    EXPECT_TRUE(std::filesystem::exists(program / "kept.txt"));
}

TEST(WorkFiles, DeleteWorkFilesDoesNotEmptyTheTargetOfALink) {
    TempFolder program;
    TempFolder elsewhere;
    writeFile(elsewhere / "temp.txt", "not ours");
    std::filesystem::create_directory_symlink(elsewhere.path(), WorkFolder(program.path()));
    DeleteWorkFiles(program.path());
    EXPECT_EQ(readFile(elsewhere / "temp.txt"), "not ours");
}

TEST(ListerFichiersXml, KeepsOrdinaryFilesNamedXmlInAnyCase) {
    TempFolder folder;
    for (const char* name : {"classe.XML", "notes.txt", "export_xml_2006", ".cache.xml", "b.xml"})
        zeb::test::writeFile(folder / name, "x");
    std::filesystem::create_directory(folder / "xmldir");
    ASSERT_EQ(::symlink("/etc/passwd", (folder / "lien.xml").c_str()), 0);
    ASSERT_EQ(::mkfifo((folder / "tube.xml").c_str(), 0600), 0);

    const std::vector<std::filesystem::path> found = ListerFichiersXml(folder.path());
    const std::vector<std::filesystem::path> expected{folder / "b.xml", folder / "classe.XML",
                                                      folder / "export_xml_2006"};
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(ListerFichiersXml(folder / "absent").empty());
    EXPECT_THROW(ListerFichiersXml(folder / "b.xml"), zeb::ZebError); // cannot be listed: not "no document"
}
