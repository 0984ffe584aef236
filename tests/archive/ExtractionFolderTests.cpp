// The component and the unzip library together, on every system, into folders as teachers have
// them: accented names with spaces, and a link planted where a member's folder goes.

#include "ScriptedPrompts.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "archive/Zip.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

using namespace zeb;
using namespace zeb::test;
namespace fs = std::filesystem;

namespace {

class ExtractionFolderTest : public ::testing::Test {
protected:
    // Writes `bytes` as the archive `name` in `folder`, then extracts all of it into `into`.
    std::int32_t extract(const std::string& bytes, const fs::path& folder, const std::string& name,
                         const fs::path& into) {
        const fs::path archive = folder / PathFromUtf8(name);
        writeFile(archive, bytes);
        zip.ShowProgressDialog = false;
        zip.SetZipFileName(Utf8FromPath(archive));
        return ExtractAllMembers(zip, Utf8FromPath(into));
    }

    TempFolder temp;
    ScriptedPrompts prompts;
    FakeVolumes volumes;
    TZip zip{prompts, volumes};
};

} // namespace

TEST_F(ExtractionFolderTest, AnAccentedFolderWithSpacesTakesTheMembersUnderTheirOwnNames) {
    const fs::path folder = temp.path() / PathFromUtf8("Classe de Hélène à côté");
    fs::create_directory(folder);
    // Member names are Windows-1252 in the archive.
    const std::string zipBytes =
        StoredZip({{"\xE9l\xE8ve 1.xml", "un"}, {"r\xE9sultats/synth\xE8se.xml", "deux"}});

    EXPECT_EQ(extract(zipBytes, folder, "l'export de CE2 é.jad", folder), 2);
    EXPECT_TRUE(zip.LibraryMessages.empty());
    EXPECT_EQ(readFile(folder / PathFromUtf8("élève 1.xml")), "un");
    EXPECT_EQ(readFile(folder / PathFromUtf8("résultats") / PathFromUtf8("synthèse.xml")), "deux");
}

TEST_F(ExtractionFolderTest, ALinkPlantedWhereAMembersFolderGoesIsNotFollowed) {
    const fs::path outside = temp / "dehors";
    const fs::path folder = temp / "extraction";
    fs::create_directory(outside);
    fs::create_directory(folder);
    try {
        fs::create_directory_symlink(outside, folder / "notes");
    } catch (const fs::filesystem_error& error) {
        GTEST_SKIP() << "no link can be made here: " << error.what();
    }

    EXPECT_EQ(extract(StoredZip({{"notes/classe.xml", "dehors"}, {"classe.xml", "dedans"}}), temp.path(),
                      "classe.jad", folder),
              1);
    ASSERT_EQ(zip.LibraryMessages.size(), 1u);
    EXPECT_NE(zip.LibraryMessages[0].find("un dossier de son chemin est un lien symbolique"),
              std::string::npos)
        << zip.LibraryMessages[0];
    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_EQ(readFile(folder / "classe.xml"), "dedans");
}
