#include "Process.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "generator/ExportGenerator.h"
#include "platform/Platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <set>
#include <sys/wait.h>

using namespace zeb;
using test::ProcessRun;
using test::readFile;
using test::RunShell;
using test::ShellQuoted;
using test::TempFolder;
using test::writeFile;
namespace fs = std::filesystem;

namespace {

// Every path under `folder`, in name order, so that a failure says what was left.
std::string leftIn(const fs::path& folder) {
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        found.insert(fs::relative(entry.path(), folder).string());
    std::string names;
    for (const std::string& name : found)
        names.append(" ").append(name);
    return names;
}

// The member of the one-member archive `front`, then that of `back` (neither has a comment).
std::string twoMembers(const std::string& front, const std::string& back) {
    const std::uint32_t frontLocal = test::GetLe32(front, front.size() - 6),
                        backLocal = test::GetLe32(back, back.size() - 6);
    std::string central = front.substr(frontLocal, front.size() - 22 - frontLocal);
    std::string backCentral = back.substr(backLocal, back.size() - 22 - backLocal), offset;
    test::PutLe32(offset, test::GetLe32(backCentral, 42) + frontLocal);
    central += backCentral.replace(42, 4, offset);
    std::string out = front.substr(0, frontLocal) + back.substr(0, backLocal) + central;
    for (std::uint32_t field : {0x06054B50u, 0u, 0x20002u})
        test::PutLe32(out, field);
    test::PutLe32(out, static_cast<std::uint32_t>(central.size()));
    test::PutLe32(out, frontLocal + backLocal);
    test::PutLe16(out, 0);
    return out;
}

bool echoes(int terminal) {
    termios settings{};
    return ::tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
}

} // namespace

TEST(ZebFichesInterrupted, AtThePasswordPromptLeavesNothingAndEchoesAgain) {
    // A member in a subfolder is written before the encrypted export asks for its password.
    test::StoredMember notes;
    notes.name = "sous/dossier/notes.txt";
    notes.data = "MARTIN Léa 12 14";
    const std::string archive =
        twoMembers(test::StoredZip({notes}), readFile(fs::path(ZEB_CORPUS_DIR) / "encrypted.jad"));
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) { // SIGINT typed as Ctrl+C, the others sent
        TempFolder folder, tmp;
        writeFile(folder / "classe.jad", archive);
        int terminal = -1;
        const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
        if (pid == 0) {
            ::setenv("TMPDIR", tmp.path().c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", tmp.path().c_str(), 1);
            ::execl(ZEB_FICHES, ZEB_FICHES, (folder / "classe.jad").c_str(), nullptr);
            ::_exit(127);
        }
        std::string shown;
        for (char buffer[256]; shown.find("mot de passe") == std::string::npos;) {
            pollfd ready{terminal, POLLIN, 0};
            const ssize_t got = ::poll(&ready, 1, 60000) > 0 ? ::read(terminal, buffer, sizeof buffer) : -1;
            ASSERT_GT(got, 0) << "no password prompt: " << shown;
            shown.append(buffer, static_cast<std::size_t>(got));
        }
        for (int wait = 0; echoes(terminal) && wait < 60000; ++wait) // the echo goes after the prompt
            ::usleep(1000);
        ASSERT_FALSE(echoes(terminal));
        if (signal == SIGINT)
            ASSERT_EQ(::write(terminal, "\x03", 1), 1);
        else
            ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << " status " << status;
        EXPECT_TRUE(echoes(terminal)) << signal;
        EXPECT_TRUE(fs::is_empty(tmp.path())) << signal << " left:" << leftIn(tmp.path());
        ::close(terminal);
    }
}

TEST(ZebFichesInterrupted, WhileSavingTheScoresLeavesNoHiddenCopy) {
    TempFolder folder, tmp;
    writeFile(folder / "classe.xml", examples::GenerateClass({.pupils = 3}).Document);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string tmpFolder = ShellQuoted(tmp.path().string());
        const ProcessRun run = RunShell(
            "ZEB_TEST_SIGNAL=" + std::to_string(signal) + " ZEB_TEST_SIGNAL_AT=fsync:1 LD_PRELOAD=" +
            ShellQuoted(ZEB_FAULT_SHIM) + " ASAN_OPTIONS=verify_asan_link_order=0 TMPDIR=" + tmpFolder +
            " XDG_RUNTIME_DIR=" + tmpFolder + " " + ShellQuoted(ZEB_FICHES) + " --csv " +
            ShellQuoted((folder / "s.csv").string()) + " " + ShellQuoted((folder / "classe.xml").string()));
        EXPECT_EQ(run.exitCode, 128 + signal) << "the shell saw the signal end the program";
        EXPECT_EQ(leftIn(folder.path()), " classe.xml") << signal;
        EXPECT_TRUE(fs::is_empty(tmp.path())) << signal;
    }
}

TEST(RemoveTree, RemovesEverythingAndNeverFollowsALink) {
    TempFolder parent, outside;
    writeFile(outside / "garde.txt", "MARTIN");
    const fs::path deep = parent / "travail/a/b/c/d/e";
    fs::create_directories(deep);
    fs::create_directories(parent / "travail/vide/aussi");
    writeFile(deep / ".zeb-x", "lignes");
    fs::create_directory_symlink(outside.path(), parent / "travail/a/lien");
    writeFile(parent / "fichier", "x");

    for (const char* name : {"travail", "travail", "fichier"}) // nothing there is nothing left
        EXPECT_TRUE(RemoveTree(parent / name)) << name;
    EXPECT_TRUE(fs::is_empty(parent.path())) << leftIn(parent.path());
    EXPECT_EQ(readFile(outside / "garde.txt"), "MARTIN");
}
