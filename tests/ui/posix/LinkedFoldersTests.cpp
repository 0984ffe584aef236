// The program's folders against symbolic links (POSIX systems): what a link points to is never
// emptied.

#include "ProgramTest.h"
#include "TempFolder.h"
#include "ui/ProgramWindows.h"
#include "ui/Zeb2.h"
#include "ui/Zebproj.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace zeb;
using namespace zeb::test;
namespace fs = std::filesystem;

namespace {

class LinkedFoldersTest : public ProgramTest {};

} // namespace

// What an interrupted load left in the extraction folder goes with the next load; a link there,
// or a link in the folder's place, goes without what it points to.
TEST_F(LinkedFoldersTest, TheNextLoadEmptiesTheExtractionFolderAndNothingOutsideIt) {
    form1().show();
    for (const bool folderIsALink : {false, true}) {
        SCOPED_TRACE(folderIsALink ? "the folder is a link" : "links inside the folder");
        const fs::path extraction = programFolder() / "extraction";
        const fs::path outside = files / "dehors";
        fs::remove_all(extraction);
        fs::create_directories(outside);
        writeFile(outside / "garder.txt", "à garder");
        if (folderIsALink) {
            fs::create_directory_symlink(outside, extraction);
        } else {
            fs::create_directories(extraction / "dossier");
            writeFile(extraction / "reste.xml", "<reste/>");
            writeFile(extraction / "dossier" / "reste.txt", "reste");
            fs::create_directory_symlink(outside, extraction / "lien");
        }
        load(exportArchive(3));
        form2().RetourClick();
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(extraction)));
        EXPECT_TRUE(fs::is_empty(extraction));
        EXPECT_EQ(readFile(outside / "garder.txt"), "à garder");
    }
}

// A TMP that is a link: a start does not sweep what it points to.
TEST(LinkedWorkFolder, AStartLeavesWhatTheLinkPointsTo) {
    TempFolder linked, target;
    writeFile(target / ".temp.txt.a1B2c3", "Élève");
    fs::create_symlink(target.path(), linked / "TMP");
    ProgramWindows throughLink(linked.path());
    EXPECT_TRUE(fs::exists(target / ".temp.txt.a1B2c3"));
}
