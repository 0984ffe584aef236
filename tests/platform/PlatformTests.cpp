// What a caller of the platform relies on, the same on every system: files written whole or not
// at all, names with accents and spaces, placement and its undoing, locks, private folders and
// their leftovers, the command line in UTF-8.

#include "Process.h"
#include "TempFolder.h"
#include "core/Errors.h"
#include "platform/Platform.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace zeb {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempFolder;
using test::writeFile;

// The names in `folder`, as UTF-8, sorted.
std::vector<std::string> listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(Utf8FromPath(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

// A file, or a folder holding the file "contenu".
void make(const fs::path& path, const std::string& contents, bool folder) {
    if (folder)
        fs::create_directory(path);
    writeFile(folder ? path / "contenu" : path, contents);
}
std::string contentsOf(const fs::path& path, bool folder) {
    return readFile(folder ? path / "contenu" : path);
}

struct Writer {
    const char* name;
    void (*write)(const fs::path&, std::string_view);
};

const Writer Writers[] = {
    {"WriteFileAtomically", WriteFileAtomically},
    {"WriteOutputFile", WriteOutputFile},
    {"ReplaceFile",
     [](const fs::path& file, std::string_view contents) {
         if (const int error = ReplaceFile(file, contents); error != 0)
             throw ZebError(FrenchReason(error));
     }},
};

class WholeWrites : public ::testing::TestWithParam<Writer> {};

INSTANTIATE_TEST_SUITE_P(Writers, WholeWrites, ::testing::ValuesIn(Writers),
                         [](const ::testing::TestParamInfo<Writer>& writer) {
                             return std::string(writer.param.name);
                         });

TEST_P(WholeWrites, ReplaceTheFileWholeAndLeaveNothingElse) {
    struct Case {
        const char* target;
        const char* before; // none when null
        bool link;          // the name is a link to another file first
        std::string after;
    };
    const Case cases[] = {
        {"classe.csv", nullptr, false, "a;b\n"},
        {"classe.csv", "une version bien plus longue que la suivante\n", false, "courte\n"},
        {"Hélène/CE2 A.jad", "ancien", false, std::string("nouveau\0binaire\r\n", 17)},
        {"vide.csv", "plein", false, ""},
        {"lien.csv", nullptr, true, "remplace le lien"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        TempFolder temp;
        const fs::path target = temp.path() / PathFromUtf8(c.target);
        fs::create_directories(target.parent_path());
        if (c.before != nullptr)
            writeFile(target, c.before);
        const fs::path other = temp / "autre.txt";
        if (c.link) {
            writeFile(other, "à garder");
            std::error_code noLinks;
            fs::create_symlink(other, target, noLinks);
            if (noLinks)
                continue; // a Windows account without the right to make links
        }
        GetParam().write(target, c.after);
        EXPECT_EQ(readFile(target), c.after);
        EXPECT_EQ(InspectPath(target).kind, PathInfo::Kind::File);
        std::vector<std::string> expected{Utf8FromPath(target.filename())};
        if (c.link) {
            EXPECT_EQ(readFile(other), "à garder");
            expected.insert(expected.begin(), "autre.txt");
        }
        EXPECT_EQ(listing(target.parent_path()), expected);
    }
}

TEST_P(WholeWrites, AllOrNothing) {
    struct Case {
        const char* what;
        std::string target;
        enum { Free, File, Folder, ReadOnlyFolder } before;
        const char* reason; // in the message; none when it is written
    };
    const Case cases[] = {
        {"missing folder", "absent/classe.csv", Case::Free, "introuvable"},
        {"folder in its place", "classe.csv", Case::Folder, "c'est un dossier"},
        {"read-only folder", "classe.csv", Case::ReadOnlyFolder, "accès refusé"},
        // The temporary name beside it must still fit in a name.
        {"name of 250 characters", std::string(246, 'n') + ".csv", Case::File, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        const fs::path target = temp.path() / PathFromUtf8(c.target);
        if (c.before == Case::Folder)
            make(target, "reste", true);
        else if (c.before != Case::Free)
            WriteWorkFile(target, "ancien");
        if (c.before == Case::ReadOnlyFolder) {
            fs::permissions(temp.path(), fs::perms::owner_read | fs::perms::owner_exec);
            if (CheckWritableFolder(temp.path()) == 0)
                continue; // the administrator, or a system whose folders have no such mode
        }
        const std::vector<std::string> before = listing(temp.path());
        std::string message;
        try {
            GetParam().write(target, "nouveau");
        } catch (const ZebError& error) {
            message = error.what();
        }
        const bool failed = !message.empty();
        EXPECT_EQ(failed, c.reason != nullptr) << message;
        if (c.reason != nullptr) {
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        }
        EXPECT_EQ(listing(temp.path()), before); // no temporary file left
        if (c.before == Case::Folder) {
            EXPECT_EQ(contentsOf(target, true), "reste");
        } else if (c.before != Case::Free) {
            EXPECT_EQ(ReadWholeFile(target), failed ? "ancien" : "nouveau");
        }
        fs::permissions(temp.path(), fs::perms::owner_all);
    }
}

TEST(Paths, AccentsAndSpacesRoundTripThroughTheSystem) {
    const std::string name = "Hélène/CE2 A « été ».jad";
    EXPECT_EQ(Utf8FromPath(PathFromUtf8(name)), name);
    TempFolder temp;
    const fs::path file = temp.path() / PathFromUtf8(name);
    EXPECT_TRUE(MakePrivateFolder(file.parent_path()));
    EXPECT_FALSE(MakePrivateFolder(file.parent_path()));
    WriteFileAtomically(file, "contenu");
    EXPECT_EQ(ReadWholeFile(file), "contenu");
    EXPECT_EQ(listing(file.parent_path()), std::vector<std::string>{"CE2 A « été ».jad"});
    EXPECT_EQ((InspectPath(file).size), 7u);
    EXPECT_TRUE(InspectPath(file).ownedByUser);

    {
        const WorkFolderHandle work(file.parent_path() / PathFromUtf8("travail élèves"));
        work.write("français.txt", "lu");
        EXPECT_EQ(work.read("français.txt"), "lu");
        RemoveFilesIn(work.path(), {"français.txt"});
        EXPECT_TRUE(listing(work.path()).empty());
    }
    EXPECT_TRUE(RemoveTree(file.parent_path()));
    EXPECT_EQ(InspectPath(file.parent_path()).kind, PathInfo::Kind::Absent);
}

TEST(Placement, PutThenUndoPutsEverythingBack) {
    for (const bool folder : {false, true}) {
        for (const bool previous : {false, true}) {
            SCOPED_TRACE(std::string(folder ? "folder" : "file") + (previous ? ", over a previous one" : ""));
            TempFolder temp;
            const fs::path fresh = temp / ".nouveau";
            const fs::path target = temp.path() / PathFromUtf8("Élèves CE2");
            const fs::path aside = temp / ".ancien";
            make(fresh, "neuf", folder);
            if (previous)
                make(target, "vieux", folder);
            Placement placement = Placement::Put(fresh, target, aside);
            EXPECT_EQ(contentsOf(target, folder), "neuf");
            if (previous) {
                EXPECT_EQ(contentsOf(placement.previous(), folder), "vieux");
            } else {
                EXPECT_TRUE(placement.previous().empty());
            }

            EXPECT_TRUE(placement.undo());
            EXPECT_EQ(contentsOf(fresh, folder), "neuf");
            EXPECT_EQ(fs::exists(target), previous);
            if (previous) {
                EXPECT_EQ(contentsOf(target, folder), "vieux");
            }
            EXPECT_FALSE(fs::exists(aside));
        }
    }
}

TEST(Placement, PutWhereFreeNeverReplaces) {
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "folder" : "file");
        TempFolder temp;
        make(temp / "nouveau", "neuf", folder);
        make(temp / "pris", "déjà là", folder);
        EXPECT_THROW(Placement::PutWhereFree(temp / "nouveau", temp / "pris"), ZebError);
        EXPECT_EQ(contentsOf(temp / "pris", folder), "déjà là");
        EXPECT_EQ(contentsOf(temp / "nouveau", folder), "neuf");
        Placement::PutWhereFree(temp / "nouveau", temp / "libre");
        EXPECT_EQ(contentsOf(temp / "libre", folder), "neuf");
        EXPECT_FALSE(fs::exists(temp / "nouveau"));
    }
}

TEST(FolderLock, OneRunAtATime) {
    TempFolder temp;
    {
        std::optional<FolderLock> first = FolderLock::TryLock(temp.path(), ".verrou");
        ASSERT_TRUE(first.has_value());
        EXPECT_FALSE(FolderLock::TryLock(temp.path(), ".verrou").has_value());
        const FolderLock moved = std::move(*first);
        first.reset();
        EXPECT_FALSE(FolderLock::TryLock(temp.path(), ".verrou").has_value());
    }
    EXPECT_TRUE(FolderLock::TryLock(temp.path(), ".verrou").has_value());
    EXPECT_TRUE(fs::exists(temp / ".verrou"));
}

TEST(PrivateFolder, GoesAwayWholeWhateverWasPutInIt) {
    TempFolder temp;
    fs::path made;
    {
        const PrivateFolder folder(temp.path(), "zeb-essai-", "dossier d'essai");
        made = folder.path();
        EXPECT_TRUE(Utf8FromPath(made.filename()).starts_with("zeb-essai-"));
        EXPECT_EQ(readFile(made / OwnMarkName), std::string(OwnMarkLine) + "\n");
        fs::create_directories(made / "a" / "b" / "c");
        writeFile(made / "a" / "b" / "c" / "fiche.csv", "x");
        writeFile(made / PathFromUtf8("Élève en lecture seule.txt"), "y");
        fs::permissions(made / PathFromUtf8("Élève en lecture seule.txt"), fs::perms::owner_read);
    }
    EXPECT_FALSE(fs::exists(made));
    EXPECT_TRUE(listing(temp.path()).empty());
}

TEST(PrivateFolder, StaleOnlyWhenMadeByARunThatIsGone) {
    TempFolder temp;
    const PrivateFolder held(temp.path(), "zeb-essai-", "dossier d'essai");
    const PrivateFolder unlocked(temp.path(), "zeb-essai-", "dossier d'essai", PrivateFolder::Lock::None);
    fs::path left;
    {
        PrivateFolder kept(temp.path(), "zeb-essai-", "dossier d'essai");
        kept.keep();
        left = kept.path();
    }
    fs::create_directory(temp / "zeb-essai-sansmarque");
    writeFile(temp / "zeb-essai-sansmarque" / "fiche.csv", "x");
    fs::create_directory(temp / "zeb-essai-vide");
    fs::create_directory(temp / "zeb-essai-autremarque");
    writeFile(temp / "zeb-essai-autremarque" / std::string(OwnMarkName), "un autre programme\n");
    writeFile(temp / "zeb-essai-fichier", std::string(OwnMarkLine) + "\n");

    const struct {
        fs::path folder;
        bool stale;
    } cases[] = {
        {held.path(), false},
        {unlocked.path(), true},
        {left, true},
        {temp / "zeb-essai-sansmarque", false},
        {temp / "zeb-essai-vide", false}, // empty, but not an hour old
        {temp / "zeb-essai-autremarque", false},
        {temp / "zeb-essai-fichier", false},
        {temp / "zeb-essai-absent", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsStaleOwnFolder(c.folder), c.stale) << Utf8FromPath(c.folder.filename());

    RemoveStaleFolders(temp.path(), "zeb-essai-");
    for (const auto& c : cases) {
        if (c.folder != temp / "zeb-essai-absent") {
            EXPECT_EQ(fs::exists(c.folder), !c.stale) << Utf8FromPath(c.folder.filename());
        }
    }
}

constexpr std::string_view EchoArguments = "--afficher-les-arguments";

TEST(Utf8Arguments, AreTheCommandLineAsTyped) {
    const fs::path self = PrivateLibraryPlaces(ZEB_TEST_PROGRAM).front();
    const std::vector<std::string> words = {"Hélène", "CE2 A.jad", "« été » ü ß €"};
    std::string command = test::ShellQuoted(Utf8FromPath(self)) + " " + std::string(EchoArguments);
    for (const std::string& word : words)
        command += " " + test::ShellQuoted(word);
    const test::ProcessRun run = test::RunShell(command);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Hélène\nCE2 A.jad\n« été » ü ß €\n");
}

} // namespace
} // namespace zeb

int main(int argc, char** argv) {
    if (argc > 1 && argv[1] == zeb::EchoArguments) {
        zeb::UseUtf8Console();
        const std::vector<std::string> arguments = zeb::Utf8Arguments(argc, argv);
        for (std::size_t i = 2; i < arguments.size(); ++i)
            std::cout << arguments[i] << '\n';
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
