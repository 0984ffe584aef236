#include "Interruption.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "generator/ExportGenerator.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace zeb;
using zeb::test::readFile;
using zeb::test::TempFolder;
using zeb::test::writeFile;
namespace fs = std::filesystem;

namespace {

// Every path under `folder`, so that a failure says what was left.
std::string leftIn(const fs::path& folder) {
    std::string names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.append(" ").append(fs::relative(entry.path(), folder).string());
    return names;
}

std::uint32_t read32(const std::string& zip, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t k = 4; k-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(zip[at + k]);
    return value;
}

std::uint32_t read16(const std::string& zip, std::size_t at) {
    return static_cast<unsigned char>(zip[at]) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(zip[at + 1])) << 8;
}

// One archive holding the members of `first`, then those of `second` (neither with a
// comment), so that a member made elsewhere can follow members built here.
std::string joinedArchives(const std::string& first, const std::string& second) {
    struct Parts {
        std::string locals, central;
        std::uint32_t count;
    };
    const auto split = [](const std::string& zip) {
        const std::size_t end = zip.size() - 22;
        const std::uint32_t size = read32(zip, end + 12), offset = read32(zip, end + 16);
        return Parts{zip.substr(0, offset), zip.substr(offset, size), read16(zip, end + 10)};
    };
    const Parts a = split(first);
    Parts b = split(second);
    for (std::size_t at = 0; at < b.central.size();) {
        std::string shifted;
        zeb::test::put32(shifted, read32(b.central, at + 42) + static_cast<std::uint32_t>(a.locals.size()));
        b.central.replace(at + 42, 4, shifted);
        at += 46 + read16(b.central, at + 28) + read16(b.central, at + 30) + read16(b.central, at + 32);
    }
    std::string out = a.locals + b.locals + a.central + b.central;
    zeb::test::put32(out, 0x06054B50);
    zeb::test::put32(out, 0);
    zeb::test::put16(out, a.count + b.count);
    zeb::test::put16(out, a.count + b.count);
    zeb::test::put32(out, static_cast<std::uint32_t>(a.central.size() + b.central.size()));
    zeb::test::put32(out, static_cast<std::uint32_t>(a.locals.size() + b.locals.size()));
    zeb::test::put16(out, 0);
    return out;
}

// zeb-fiches on a terminal of its own, with its work folder made under `tmp`.
struct TerminalRun {
    pid_t pid = -1;
    int terminal = -1;
    std::string shown;

    TerminalRun(const std::vector<std::string>& args, const TempFolder& tmp) {
        pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
        if (pid == 0) {
            ::setenv("TMPDIR", tmp.path().c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", tmp.path().c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(ZEB_FICHES)};
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            ::execv(ZEB_FICHES, argv.data());
            ::_exit(127);
        }
    }
    ~TerminalRun() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (terminal >= 0)
            ::close(terminal);
    }
    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    // Reads what the program shows until `text` appears; false if it ends first (a stuck run
    // is given up after a minute of silence rather than hanging the suite).
    bool waitFor(std::string_view text) {
        while (shown.find(text) == std::string::npos) {
            pollfd ready{terminal, POLLIN, 0};
            char buffer[512];
            if (::poll(&ready, 1, 60000) <= 0)
                return false;
            const ssize_t got = ::read(terminal, buffer, sizeof buffer);
            if (got <= 0)
                return false;
            shown.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }

    bool echoes() const {
        termios settings{};
        return ::tcgetattr(terminal, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
    }

    // The wait status once the program has ended.
    int end() {
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }
};

} // namespace

TEST(ZebFichesInterrupted, AtThePasswordPromptLeavesNothingAndEchoesAgain) {
    // A member in a subfolder is written before the encrypted export asks for its password.
    zeb::test::ZipMember notes;
    notes.name = "sous/dossier/notes.txt";
    notes.data = "MARTIN Léa 12 14";
    const std::string archive =
        joinedArchives(zeb::test::buildZip({notes}), readFile(fs::path(ZEB_CORPUS_DIR) / "encrypted.jad"));
    struct Case {
        const char* how;
        int signal;
        bool typed; // Ctrl+C typed at the terminal rather than sent by another program
    };
    for (const Case& c :
         {Case{"Ctrl+C", SIGINT, true}, Case{"SIGTERM", SIGTERM, false}, Case{"SIGHUP", SIGHUP, false}}) {
        TempFolder folder, tmp;
        writeFile(folder / "classe.jad", archive);
        TerminalRun run({"--csv", (folder / "s.csv").string(), (folder / "classe.jad").string()}, tmp);
        ASSERT_TRUE(run.waitFor("mot de passe")) << c.how << ": " << run.shown;
        for (int wait = 0; run.echoes() && wait < 60000; ++wait) // the echo goes just after the prompt
            ::usleep(1000);
        ASSERT_FALSE(run.echoes()) << c.how;
        if (c.typed)
            ASSERT_EQ(::write(run.terminal, "\x03", 1), 1);
        else
            ::kill(run.pid, c.signal);
        const int status = run.end();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << c.how << " status " << status;
        EXPECT_TRUE(run.echoes()) << c.how;
        EXPECT_TRUE(fs::is_empty(tmp.path())) << c.how << " left:" << leftIn(tmp.path());
        EXPECT_FALSE(fs::exists(folder / "s.csv")) << c.how;
    }
}

TEST(ZebFichesInterrupted, WhileSavingTheScoresLeavesNoHiddenCopy) {
    TempFolder folder, tmp;
    writeFile(folder / "classe.xml", zeb::examples::GenerateClass({.pupils = 3}).Document);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string command = "ZEB_TEST_SIGNAL_AT_FSYNC=" + std::to_string(signal) + " LD_PRELOAD='" +
                                    ZEB_SIGNAL_AT_FSYNC + "' ASAN_OPTIONS=verify_asan_link_order=0 TMPDIR='" +
                                    tmp.path().string() + "' XDG_RUNTIME_DIR='" + tmp.path().string() +
                                    "' '" + ZEB_FICHES + "' --csv '" + (folder / "s.csv").string() + "' '" +
                                    (folder / "classe.xml").string() + "' 2>/dev/null";
        const int status = std::system(command.c_str());
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal) << "the shell saw the signal end the program";
        EXPECT_EQ(leftIn(folder.path()), " classe.xml") << signal;
        EXPECT_TRUE(fs::is_empty(tmp.path())) << signal;
    }
}

TEST(RemoveTreeAt, RemovesEverythingAndNeverFollowsALink) {
    TempFolder parent, outside;
    writeFile(outside / "garde.txt", "MARTIN");
    const fs::path root = parent / "travail";
    std::string deep = "a";
    for (int level = 0; level < 60; ++level)
        deep += "/b";
    fs::create_directories(root / deep);
    fs::create_directories(root / "vide/aussi");
    writeFile(root / deep / ".zeb-x", "lignes");
    writeFile(root / "a" / "f", "");
    fs::create_directory_symlink(outside.path(), root / "lien");
    fs::create_directory_symlink(outside.path(), root / "a" / "lien");
    fs::permissions(root / "a" / "f", fs::perms::none);

    const int fd = ::open(parent.path().c_str(), O_PATH | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(cli::RemoveTreeAt(fd, "travail"));
    EXPECT_TRUE(cli::RemoveTreeAt(fd, "travail")) << "nothing there is nothing left";
    writeFile(parent / "fichier", "x");
    EXPECT_TRUE(cli::RemoveTreeAt(fd, "fichier"));
    ::close(fd);
    EXPECT_TRUE(fs::is_empty(parent.path())) << leftIn(parent.path());
    EXPECT_EQ(readFile(outside / "garde.txt"), "MARTIN");
}
