// What zeb-fiches writes beside the user's own files: it replaces only what it wrote itself, and an
// interruption, a kill, a file system without atomic renames or a failing rename never leaves a
// class or a family folder half old and half new.

#include "CliRun.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "generator/ExportGenerator.h"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/wait.h>

using namespace zeb::test;
namespace fs = std::filesystem;
namespace examples = zeb::examples;

namespace {

using Snapshot = std::map<std::string, std::string>;

// Every entry under `folder`: a file's bytes, a link's target, "/" for a folder.
Snapshot snapshot(const fs::path& folder) {
    Snapshot found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        found[name] = entry.is_symlink()     ? "-> " + fs::read_symlink(entry.path()).string()
                      : entry.is_directory() ? "/"
                                             : readFile(entry.path());
    }
    return found;
}

std::string names(const Snapshot& snapshot) {
    std::string text;
    for (const auto& [name, contents] : snapshot)
        text += " " + name;
    return text;
}

std::string shim(const std::string& settings) {
    return settings + " LD_PRELOAD=" + ShellQuoted(ZEB_FAULT_SHIM) + " ASAN_OPTIONS=verify_asan_link_order=0";
}

// A class whose export gives no class name: --dossier names its folder after the file.
std::string document(int pupils, std::uint32_t seed = 1) {
    return examples::GenerateClass({.pupils = pupils, .seed = seed, .className = ""}).Document;
}

std::string archiveOf(const std::string& document) {
    StoredMember member;
    member.name = "classe.xml";
    member.data = document;
    return StoredZip({member});
}

// The whole of the newer results: every file the older ones had, the CSV files as a complete run
// writes them (the PDFs carry the time they were made).
bool wholeAndNew(const Snapshot& now, const Snapshot& newer) {
    if (now.size() != newer.size())
        return false;
    for (const auto& [name, contents] : newer)
        if (!now.contains(name) || (name.ends_with(".csv") && now.at(name) != contents))
            return false;
    return true;
}

// The rows of a CSV file the command wrote, header and mark left out.
std::size_t rowCount(const fs::path& file) {
    const std::string text = readFile(file);
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) - 1;
}

} // namespace

// Whatever stands under a class's name and is not ZEB's own, unchanged, stays as it is: the
// teacher's example of an output folder holding the export itself among them.
TEST(SchoolBatch, WhatZebDidNotWriteIsLeftAloneAndTheClassTakesTheNextName) {
    struct Case {
        const char* what;
        // Plants it in the output folder; returns the export to read.
        std::function<fs::path(const fs::path& out, const fs::path& in)> plant;
        const char* reason;
    };
    const Case cases[] = {
        {"a file",
         [](const fs::path& out, const fs::path& in) {
             writeFile(out / "ce2-a", "notes");
             return in / "ce2-a.xml";
         },
         "ce n'est pas un dossier"},
        {"a folder of the teacher's holding the export",
         [](const fs::path& out, const fs::path&) {
             fs::create_directory(out / "ce2-a");
             writeFile(out / "ce2-a" / "ce2-a.xml", document(3));
             return out / "ce2-a" / "ce2-a.xml";
         },
         "il contient « ce2-a.xml »"},
        {"a link",
         [](const fs::path& out, const fs::path& in) {
             fs::create_directory_symlink(in / "ailleurs", out / "ce2-a");
             return in / "ce2-a.xml";
         },
         "c'est un lien symbolique"},
        {"results of ZEB's since edited",
         [](const fs::path& out, const fs::path& in) {
             EXPECT_EQ(runZebFiches({"--dossier", out.string(), (in / "ce2-a.xml").string()}, TempFolder())
                           .exitCode,
                       0);
             writeFile(out / "ce2-a" / "scores.csv", readFile(out / "ce2-a" / "scores.csv") + "remarque\r\n");
             return in / "ce2-a.xml";
         },
         "« scores.csv » a été modifié"},
        {"results of an older ZEB, without the mark",
         [](const fs::path& out, const fs::path& in) {
             fs::create_directory(out / "ce2-a");
             for (const char* name :
                  {"fiches.pdf", "scores.csv", "synthese.pdf", "synthese.csv", "groupes.csv"})
                 writeFile(out / "ce2-a" / name, "ancien");
             return in / "ce2-a.xml";
         },
         "ne porte pas la marque"},
    };
    for (const Case& c : cases) {
        TempFolder in, tmp;
        const fs::path out = in / "sortie";
        fs::create_directories(in / "ailleurs");
        writeFile(in / "ailleurs" / "garde.txt", "à garder");
        fs::create_directory(out);
        writeFile(in / "ce2-a.xml", document(3));
        writeFile(out / "ecole.csv", "le tableau de l'école");
        writeFile(out / "ecole-items.csv", "les items de l'école");
        const fs::path source = c.plant(out, in.path());
        const Snapshot before = snapshot(in.path());

        const ProcessRun run = runZebFiches({"--dossier", out.string(), source.string()}, tmp);
        EXPECT_EQ(run.exitCode, 0) << c.what << run.err;
        for (const std::string& said : {std::string(c.reason), std::string("il est laissé tel quel"),
                                        "écrite dans « " + (out / "ce2-a-2").string() + " »",
                                        std::string("ecole-2.csv"), std::string("ecole-items-2.csv")})
            EXPECT_NE(run.err.find(said), std::string::npos) << c.what << ": " << said << "\n" << run.err;
        Snapshot after = snapshot(in.path());
        for (const auto& [name, contents] : before) {
            const bool ours = name.starts_with("sortie/.zeb-") || name == "sortie/ecole-2.csv" ||
                              name == "sortie/ecole-items-2.csv";
            EXPECT_TRUE(ours || after[name] == contents) << c.what << ": " << name;
        }
        EXPECT_EQ(rowCount(out / "ce2-a-2" / "scores.csv"), 3u * 35u) << c.what;
        EXPECT_EQ(rowCount(out / "ecole-2.csv"), 2u * 35u) << c.what;
        EXPECT_EQ(rowCount(out / "ecole-items-2.csv"), 2u * 181u) << c.what;
    }
}

TEST(SchoolBatch, TheSameClassTwiceIsWrittenOnceAndCountedOnce) {
    TempFolder in, tmp;
    fs::create_directories(in / "x");
    const std::string archive = archiveOf(document(5));
    writeFile(in / "a.jad", archive);
    writeFile(in / "copie.jad", archive);
    fs::create_symlink("a.jad", in / "lien.jad");
    writeFile(in / "b.xml", document(5)); // the document of the same class
    const ProcessRun run = runZebFiches({"--dossier", (in / "out").string(), in.path().string(),
                                         (in / "x" / ".." / "a.jad").string(), (in / "b.xml").string()},
                                        tmp);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(names(snapshot(in / "out")).find(" copie"), std::string::npos) << names(snapshot(in / "out"));
    EXPECT_FALSE(fs::exists(in / "out" / "b"));
    for (const std::string& said :
         {"« " + (in / "lien.jad").string() + " » est le même fichier que",
          "« " + (in / "a.jad").string() + " » est donné deux fois", std::string("donne la même classe que"),
          std::string("4 exports en double")})
        EXPECT_NE(run.err.find(said), std::string::npos) << said << "\n" << run.err;
    // The school is the class: its five pupils, once.
    EXPECT_EQ(rowCount(in / "out" / "ecole.csv"), 2u * 35u);
    EXPECT_NE(readFile(in / "out" / "ecole.csv").find("\r\nECOLE;francais;1;5;0;"), std::string::npos);
}

TEST(SchoolBatch, ASecondRunIntoTheSameFolderIsRefused) {
    TempFolder in, tmp;
    writeFile(in / "a.xml", document(2));
    fs::create_directory(in / "out");
    const int lock = ::open((in / "out" / ".zeb-verrou").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const ProcessRun run = runZebFiches({"--dossier", (in / "out").string(), (in / "a.xml").string()}, tmp);
    ::close(lock);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("un autre zeb-fiches écrit déjà dans le dossier"), std::string::npos) << run.err;
    EXPECT_EQ(names(snapshot(in / "out")), " .zeb-verrou");
}

// Without RENAME_EXCHANGE and RENAME_NOREPLACE, plain renames; killed between the two of them,
// the older results wait aside and the next run puts them back.
TEST(SchoolBatch, WorksWithoutRenameFlagsAndAKilledSwapIsMendedByTheNextRun) {
    TempFolder in, tmp;
    const fs::path out = in / "out";
    const auto pupilsOf = [&out](const char* name) { return rowCount(out / name / "scores.csv") / 35; };
    writeFile(in / "b.xml", document(2));
    for (int pupils : {3, 4}) {
        writeFile(in / "a.xml", document(pupils));
        const ProcessRun run =
            runZebFiches({"--dossier", out.string(), (in / "a.xml").string(), (in / "b.xml").string()}, tmp,
                         shim("ZEB_TEST_NO_RENAME_FLAGS=1"));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(pupilsOf("a"), static_cast<std::size_t>(pupils));
        EXPECT_EQ(names(snapshot(out)).find(" .zeb-c"), std::string::npos) << names(snapshot(out));
    }
    writeFile(in / "a.xml", document(5));
    const Snapshot older = snapshot(out / "a");
    const ProcessRun killed =
        runZebFiches({"--dossier", out.string(), (in / "a.xml").string()}, tmp,
                     shim("ZEB_TEST_NO_RENAME_FLAGS=1 ZEB_TEST_SIGNAL=9 ZEB_TEST_SIGNAL_AT=rename:1:a"));
    ASSERT_FALSE(fs::exists(out / "a")) << killed.err;
    ASSERT_EQ(runZebFiches({"--dossier", out.string(), (in / "b.xml").string()}, tmp).exitCode, 0);
    EXPECT_EQ(snapshot(out / "a"), older);
    EXPECT_EQ(names(snapshot(out)).find(" .zeb-a"), std::string::npos) << names(snapshot(out));
    EXPECT_TRUE(fs::is_empty(tmp.path()));
}

TEST(SchoolBatch, FoldersWithoutExportsLockedExportsAndOddNamesAreTold) {
    TempFolder in, tmp;
    fs::create_directory(in / "vide");
    writeFile(in / "a.xml", document(2));
    writeFile(in / "ce2\nb\u202e.jad", "PK");
    fs::copy_file(fs::path(ZEB_CORPUS_DIR) / "encrypted.jad", in / "verrou.jad");
    // No terminal to ask the password at: that class fails at once, the others are written.
    const ProcessRun run = RunShell(
        "setsid -w env TMPDIR=" + ShellQuoted(tmp.path().string()) + " " + ShellQuoted(ZEB_FICHES) +
        " --dossier " + ShellQuoted((in / "out").string()) + " " + ShellQuoted((in / "vide").string() + "/") +
        " " + ShellQuoted((in / "a.xml").string()) + " " + ShellQuoted((in / "ce2\nb\u202e.jad").string()) +
        " " + ShellQuoted((in / "verrou.jad").string()) + " </dev/null");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    for (const std::string& said :
         {"zeb-fiches : vide : le dossier « " + (in / "vide").string() + " » ne contient aucun fichier .jad.",
          std::string("zeb-fiches : verrou : "), std::string("mot de passe"), std::string("1 classe écrite"),
          std::string("ce2?b?")})
        EXPECT_NE(run.err.find(said), std::string::npos) << said << "\n" << run.err;
    EXPECT_EQ(run.err.find("ce2\nb"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("\u202e"), std::string::npos) << run.err;
}

// At a terminal, the password is asked once the other classes are written, naming the class.
TEST(SchoolBatch, ALockedExportAsksItsPasswordNamingTheClass) {
    TempFolder in, tmp;
    writeFile(in / "a.xml", document(2));
    fs::copy_file(fs::path(ZEB_CORPUS_DIR) / "encrypted.jad", in / "ce2-b.jad");
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::setenv("TMPDIR", tmp.path().c_str(), 1);
        ::execl(ZEB_FICHES, ZEB_FICHES, "--dossier", (in / "out").c_str(), (in / "ce2-b.jad").c_str(),
                (in / "a.xml").c_str(), nullptr);
        ::_exit(127);
    }
    std::string shown;
    const auto readUntil = [&](std::string_view text) { // or the end of the run, when the terminal closes
        for (char buffer[256]; shown.find(text) == std::string::npos;) {
            pollfd ready{terminal, POLLIN, 0};
            const ssize_t got = ::poll(&ready, 1, 60000) > 0 ? ::read(terminal, buffer, sizeof buffer) : -1;
            if (got <= 0)
                return false;
            shown.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    };
    ASSERT_TRUE(readUntil("ce2-b : mot de passe de l'export « ce2-b.jad » : ")) << shown;
    ASSERT_EQ(::write(terminal, "classe-ce2\n", 11), 11);
    readUntil("never said");
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == 0) { // still waiting for something: it fails, not the suite
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ::close(terminal);
    EXPECT_EQ(WEXITSTATUS(status), 0) << shown;
    // Its folder has the class's name, which only the unlocked export could tell.
    EXPECT_TRUE(fs::exists(in / "out" / "CE2 A" / "fiches.pdf")) << shown;
}

// A rename into the family folder fails half-way: the files already in place go back, and the
// older ones with them, with or without atomic renames.
TEST(FamilyFiles, APlacementFailingHalfWayLeavesTheFolderAsItWas) {
    for (const char* flags : {"", "ZEB_TEST_NO_RENAME_FLAGS=1"}) {
        TempFolder in, tmp;
        writeFile(in / "classe.xml", document(5));
        const fs::path folder = in / "familles";
        ASSERT_EQ(runZebFiches({"--par-eleve", folder.string(), (in / "classe.xml").string()}, tmp).exitCode,
                  0);
        const Snapshot before = snapshot(folder);
        const ProcessRun run = runZebFiches(
            {"--par-eleve", folder.string(), "--treatment", "percent", (in / "classe.xml").string()}, tmp,
            shim(std::string(flags) + " ZEB_TEST_FAIL_RENAME_TO=" + ShellQuoted(folder.string() + "/03-")));
        EXPECT_EQ(run.exitCode, 1) << flags;
        EXPECT_NE(run.err.find("la fiche de l'élève 3 ("), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("est resté tel qu'il était"), std::string::npos) << run.err;
        EXPECT_EQ(snapshot(folder), before) << flags << names(snapshot(folder));
    }
}

// Killed (SIGKILL: nothing of the program runs): the hidden folders it was filling hold pupils'
// names. The next run removes those, and nothing else: not a folder of the same look without
// ZEB's mark, not one that a running program holds.
TEST(ZebFichesKilled, TheNextRunRemovesWhatItLeftAndNothingElse) {
    TempFolder in, tmp;
    writeFile(in / "a.xml", document(3));
    const fs::path out = in / "out", family = in / "familles";
    writeFile(in / "b.jad", archiveOf(document(4)));
    // Each run cleans up first: the leftovers are made in an order that keeps all three.
    runZebFiches({"--dossier", out.string(), (in / "b.jad").string()}, tmp,
                 shim("ZEB_TEST_SIGNAL=9 ZEB_TEST_SIGNAL_AT=fsync:2")); // writing a class's files
    runZebFiches({"--par-eleve", family.string(), (in / "a.xml").string()}, tmp,
                 shim("ZEB_TEST_SIGNAL=9 ZEB_TEST_SIGNAL_AT=renameat2:1"));
    runZebFiches({"--dossier", (in / "autre").string(), (in / "b.jad").string()}, tmp,
                 shim("ZEB_TEST_SIGNAL=9 ZEB_TEST_SIGNAL_AT=fchdir:1")); // in the middle of an extraction
    EXPECT_NE(names(snapshot(tmp.path())).find(" zeb-fiches-"), std::string::npos);
    EXPECT_NE(names(snapshot(out)).find(" .zeb-classe-"), std::string::npos);
    EXPECT_NE(names(snapshot(family)).find(" .zeb-fiches-"), std::string::npos);
    fs::create_directory(tmp / "zeb-fiches-autre");
    writeFile(tmp / "zeb-fiches-autre" / "a-moi.txt", "pas à ZEB");
    fs::create_directory(tmp / "zeb-fiches-actif");
    writeFile(tmp / "zeb-fiches-actif" / ".zeb", "ZEB v2 zeb-fiches\n");
    const int held = ::open((tmp / "zeb-fiches-actif" / ".zeb").c_str(), O_RDWR);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    EXPECT_EQ(runZebFiches({"--dossier", out.string(), (in / "a.xml").string()}, tmp).exitCode, 0);
    EXPECT_EQ(runZebFiches({"--par-eleve", family.string(), (in / "a.xml").string()}, tmp).exitCode, 0);
    ::close(held);
    EXPECT_EQ(names(snapshot(tmp.path())),
              " zeb-fiches-actif zeb-fiches-actif/.zeb zeb-fiches-autre zeb-fiches-autre/a-moi.txt");
    EXPECT_EQ(names(snapshot(out)).find(" .zeb-c"), std::string::npos) << names(snapshot(out));
    EXPECT_EQ(names(snapshot(family)).find(" .zeb-f"), std::string::npos) << names(snapshot(family));
}

// Stopped at any step of a school run (making the classes, putting them in place, removing the
// older results, the school's file), the output folder holds the older results and their school
// file, byte for byte, or all the newer ones: never a mix, never part of a class; nothing stays
// in the temporary folder. At chosen system calls, then at random moments.
TEST(ZebFichesInterrupted, ASchoolRunLeavesTheOlderResultsOrTheNewerOnesWhole) {
    TempFolder folder, tmp;
    const fs::path out = folder / "out", saved = folder / "saved";
    const auto exports = [&](int a, int b) {
        writeFile(folder / "a.xml", document(a));
        writeFile(folder / "b.xml", document(b, 9));
    };
    const auto school = [&](const std::string& environment = "") {
        return runZebFiches(
            {"--dossier", out.string(), (folder / "a.xml").string(), (folder / "b.xml").string()}, tmp,
            environment);
    };
    exports(5, 6);
    ASSERT_EQ(school().exitCode, 0);
    const Snapshot newer = snapshot(out);
    fs::remove_all(out);
    exports(3, 4);
    ASSERT_EQ(school().exitCode, 0);
    const Snapshot older = snapshot(out);
    fs::copy(out, saved, fs::copy_options::recursive);
    exports(5, 6);
    const auto check = [&](const std::string& when, bool signalled) {
        const Snapshot now = snapshot(out);
        if (now == older)
            EXPECT_TRUE(signalled) << when;
        else
            EXPECT_TRUE(wholeAndNew(now, newer)) << when << ":" << names(snapshot(out));
        EXPECT_TRUE(fs::is_empty(tmp.path())) << when << " left:" << names(snapshot(tmp.path()));
        fs::remove_all(out);
        fs::copy(saved, out, fs::copy_options::recursive);
    };

    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    int runs = 0;
    for (const std::string call : {"fsync", "renameat2", "unlinkat:fiches.pdf", "unlinkat:.zeb", "fchdir"}) {
        const std::size_t colon = call.find(':');
        for (int n = 1; n < 40; ++n) {
            const int signal = signals[runs++ % 3];
            const fs::path fired = folder / "fired";
            const std::string at = call.substr(0, colon) + ":" + std::to_string(n) +
                                   (colon == std::string::npos ? "" : call.substr(colon));
            const int status =
                school(shim("ZEB_TEST_SIGNAL=" + std::to_string(signal) + " ZEB_TEST_SIGNAL_AT=" + at +
                            " ZEB_TEST_SIGNAL_FIRED=" + ShellQuoted(fired.string())))
                    .exitCode;
            check(at, status > 128);
            if (!fs::remove(fired))
                break;
        }
    }
    for (int delay = 0; delay < 600000; delay += 60000) { // microseconds into the run
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("TMPDIR", tmp.path().c_str(), 1);
            ::setenv("XDG_RUNTIME_DIR", tmp.path().c_str(), 1);
            ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
            ::execl(ZEB_FICHES, ZEB_FICHES, "--dossier", out.c_str(), (folder / "a.xml").c_str(),
                    (folder / "b.xml").c_str(), nullptr);
            ::_exit(127);
        }
        ::usleep(static_cast<useconds_t>(delay));
        ::kill(pid, signals[++runs % 3]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        check("after " + std::to_string(delay / 1000) + " ms", WIFSIGNALED(status));
    }
    EXPECT_GT(runs, 30);
}
