// What every test stands on behaves alike on every system: the process runner hands a program
// exactly the words it was given, the environment keeps UTF-8, temporary folders are fresh and go.

#include "Environment.h"
#include "PrivateHome.h"
#include "Process.h"
#include "Restorers.h"
#include "TempFolder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace fs = std::filesystem;
using namespace zeb::test;

namespace {

fs::path PathFromText(const std::string& text) {
    return fs::path(std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

bool inside(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

TEST(RunShell, HandsTheProgramEachWordAsGiven) {
    for (const std::string word : {"deux mots", "dit \"bonjour\"", "C:\\dossier\\", "a\\\\\"b",
                                   "x & y | z > w", "50% ; 'simple'", "", "\\\\serveur\\partage\\"}) {
        SCOPED_TRACE(word);
        const ProcessRun run = RunShell(ShellQuoted(ZEB_SUPPORT_TESTS) + " --repeat " + ShellQuoted(word));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "[" + word + "]");
    }
    EXPECT_EQ(RunShell(ShellQuoted(ZEB_SUPPORT_TESTS) + " --exit 3").exitCode, 3);
}

TEST(Environment, KeepsUtf8AndIsPutBack) {
    const char* name = "ZEB_SUPPORT_TEST_VARIABLE";
    ASSERT_FALSE(GetEnvironment(name));
    {
        const EnvironmentRestorer restorer({name});
        SetEnvironment(name, "H\u00e9l\u00e8ne/CE2 A");
        EXPECT_EQ(GetEnvironment(name), "H\u00e9l\u00e8ne/CE2 A");
        UnsetEnvironment(name);
        EXPECT_FALSE(GetEnvironment(name));
        SetEnvironment(name, "x");
    }
    EXPECT_FALSE(GetEnvironment(name));
}

TEST(TempFolder, IsFreshAndGoesWithItsFiles) {
    fs::path kept;
    {
        const TempFolder first, second;
        EXPECT_NE(first.path(), second.path());
        EXPECT_TRUE(fs::is_directory(first.path()));
        EXPECT_TRUE(fs::is_empty(first.path()));
        EXPECT_EQ(fs::status(first.path()).permissions() & fs::perms::owner_all, fs::perms::owner_all);
        writeFile(first / "f\u00e9.txt", "contenu");
        EXPECT_EQ(readFile(first / "f\u00e9.txt"), "contenu");
        kept = first.path();
    }
    EXPECT_FALSE(fs::exists(kept));
}

// Each system has its own names for the user's folders; whichever are set lie in the run's home.
TEST(PrivateHome, IsTheHomeOfTheRun) {
    EXPECT_TRUE(fs::is_directory(PrivateHome()));
    EXPECT_TRUE(inside(PathFromText(GetEnvironment("HOME").value_or("")), PrivateHome()));
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                             "USERPROFILE", "APPDATA", "LOCALAPPDATA"}) {
        if (const auto folder = GetEnvironment(name)) {
            EXPECT_TRUE(inside(PathFromText(*folder), PrivateHome())) << name << " = " << *folder;
        }
    }
}

} // namespace

// Run by the tests above as the program whose words and exit status they check.
// Never the tests again: a word split wrongly must not start them over.
int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--repeat") == 0) {
        for (int i = 2; i < argc; ++i)
            std::printf("[%s]", argv[i]);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--exit") == 0)
        return argc == 3 ? std::atoi(argv[2]) : 2;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
