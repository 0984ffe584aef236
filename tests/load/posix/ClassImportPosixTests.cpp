// The import and the work files against what only a POSIX system has: links, named pipes, and a
// file system of the test's own in a private mount namespace, where the disk fills up for real.

#include "ClassImportFixture.h"
#include "TempFolder.h"
#include "core/Errors.h"
#include "core/WorkFiles.h"
#include "load/ClassImport.h"
#include "load/ExportLoad.h"
#include "platform/Platform.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace zeb;
using namespace zeb::test;

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

// Messages are French through and through: the C library's English never reaches them.
TEST(WorkFiles, EverySystemReasonIsFrench) {
    for (const int error :
         {EINVAL, EMFILE,  ENFILE, EXDEV,  EROFS,   ENOSPC, EDQUOT, ELOOP,  ENAMETOOLONG, EBUSY, ENOTEMPTY,
          EEXIST, ETXTBSY, EAGAIN, ENOMEM, ENOTSUP, ENOSYS, ENOLCK, ESTALE, ENODEV,       ENXIO})
        EXPECT_FALSE(FrenchReason(error).starts_with("erreur système")) << error;
    EXPECT_NE(FrenchReason(EMFILE), FrenchReason(ENFILE));
    EXPECT_EQ(FrenchReason(EHWPOISON), "erreur système " + std::to_string(EHWPOISON)); // no strerror
}

TEST(WorkFiles, WorkFilesAreNeverWrittenThroughALink) {
    TempFolder folder;
    writeFile(folder / "victim", "keep me");
    std::filesystem::create_symlink(folder / "victim", folder / "Fichier1.c01");
    EXPECT_THROW(WriteWorkFile(folder / "Fichier1.c01", "pupils"), ZebError);
    EXPECT_EQ(readFile(folder / "victim"), "keep me");
}

TEST(WorkFiles, PipesAndDevicesAreRefusedALinkIsFollowed) {
    TempFolder folder;
    // Refused before opening: a pipe would wait for a writer for ever.
    ASSERT_EQ(::mkfifo((folder / "pipe.xml").c_str(), 0600), 0);
    for (const std::filesystem::path& file : {folder / "pipe.xml", std::filesystem::path("/dev/null")}) {
        try {
            ReadWholeFile(file);
            ADD_FAILURE() << file;
        } catch (const ZebError& error) {
            EXPECT_NE(std::string(error.what()).find("ce n'est pas un fichier ordinaire"), std::string::npos)
                << error.what();
        }
    }
    writeFile(folder / "vraie.xml", "<EXPORT/>");
    std::filesystem::create_symlink(folder / "vraie.xml", folder / "lien.xml");
    EXPECT_EQ(ReadWholeFile(folder / "lien.xml"), "<EXPORT/>"); // a document chosen by the user may be a link
}

TEST(WorkFiles, DeleteWorkFilesLeavesWhatALinkInsidePointsTo) {
    TempFolder program;
    std::filesystem::create_directory(WorkFolder(program.path()));
    writeFile(program / "kept.txt", "x");
    std::filesystem::create_symlink(program / "kept.txt", WorkFolder(program.path()) / "Fichier1.c01");
    DeleteWorkFiles(program.path());
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

TEST(ListerFichiersXml, LeavesOutLinksAndPipes) {
    TempFolder folder;
    zeb::test::writeFile(folder / "b.xml", "x");
    ASSERT_EQ(::symlink("/etc/passwd", (folder / "lien.xml").c_str()), 0);
    ASSERT_EQ(::mkfifo((folder / "tube.xml").c_str(), 0600), 0);
    EXPECT_EQ(ListerFichiersXml(folder.path()), std::vector<std::filesystem::path>{folder / "b.xml"});
}
