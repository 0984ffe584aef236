// Nothing is written outside the extraction folder, nor through a link, whatever the names
// in the archive and whatever already lies in the folder.

#include "UnzDllTestSupport.h"

namespace zeb::test {
namespace {

using A = UnzipAction;

constexpr std::uint32_t UnixLink = 0120777u << 16; // a symbolic link's mode, as Unix zip tools store it

// Plants links; false where none can be made (MinGW's library makes none on Windows).
bool planted(const std::function<void()>& make) {
    try {
        make();
        return true;
    } catch (const std::filesystem::filesystem_error&) {
        return false;
    }
}

struct RefusedName {
    const char* label;
    std::string stored; // as in the archive
    std::int32_t code;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const RefusedName& value, std::ostream* os) {
    *os << value.label;
}

class UnzDllRefusedName : public UnzDllTest, public ::testing::WithParamInterface<RefusedName> {};

TEST_P(UnzDllRefusedName, IsReportedAndSkippedWhileTheOthersAreExtracted) {
    writeArchive(LibzipZip({{GetParam().stored, "piege"}, {"ok.xml", "<ok/>"}}));
    const std::string listed = Listed(GetParam().stored);

    ASSERT_EQ(run({listed, "ok.xml"}), 1);

    EXPECT_EQ(shape(), (std::vector<std::int32_t>{A::UNZIP_ACTION_TOTAL_BYTES, A::UNZIP_ACTION_FILE_COUNT,
                                                  A::UNZIP_ACTION_BEGIN_FILE, A::UNZIP_ACTION_MESSAGE,
                                                  A::UNZIP_ACTION_SKIPPED, A::UNZIP_ACTION_BEGIN_FILE,
                                                  A::UNZIP_ACTION_PROGRESS, A::UNZIP_ACTION_END_BATCH}));
    EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{GetParam().code});
    EXPECT_EQ(events[0].value, 5) << "the refused member is not part of the run's bytes";
    EXPECT_EQ(eventsOf(A::UNZIP_ACTION_SKIPPED).at(0).text, listed);
    EXPECT_EQ(outputTree(), std::vector<std::string>{"ok.xml"});
    EXPECT_FALSE(std::filesystem::exists(temp_ / "x.xml"));
    EXPECT_FALSE(textUnterminated);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, UnzDllRefusedName,
    ::testing::Values(RefusedName{"ParentFirst", "../x.xml", UNZDLL_MSG_NAME_PARENT},
                      RefusedName{"ParentDeeper", "a/../../x.xml", UNZDLL_MSG_NAME_PARENT},
                      RefusedName{"ParentBackslash", "a\\..\\..\\x.xml", UNZDLL_MSG_NAME_PARENT},
                      RefusedName{"ParentFolder", "a/../", UNZDLL_MSG_NAME_PARENT},
                      RefusedName{"ParentInsideEven", "a/../x.xml", UNZDLL_MSG_NAME_PARENT},
                      RefusedName{"AbsoluteSlash", "/tmp/x.xml", UNZDLL_MSG_NAME_ABSOLUTE},
                      RefusedName{"AbsoluteBackslash", "\\x.xml", UNZDLL_MSG_NAME_ABSOLUTE},
                      RefusedName{"Drive", "C:x.xml", UNZDLL_MSG_NAME_DRIVE},
                      RefusedName{"DriveRoot", "d:\\x.xml", UNZDLL_MSG_NAME_DRIVE},
                      RefusedName{"EmptyPart", "a//x.xml", UNZDLL_MSG_NAME_MALFORMED},
                      RefusedName{"DotPart", "./x.xml", UNZDLL_MSG_NAME_MALFORMED},
                      RefusedName{"Control", "a\x01x.xml", UNZDLL_MSG_NAME_CONTROL},
                      RefusedName{"Newline", "x.xml\n", UNZDLL_MSG_NAME_CONTROL},
                      RefusedName{"Delete", "x\x7F.xml", UNZDLL_MSG_NAME_CONTROL}),
    [](const ::testing::TestParamInfo<RefusedName>& param) { return std::string(param.param.label); });

TEST_F(UnzDllTest, RefusalMessageIsFrenchInWindows1252AndNamesTheMember) {
    writeArchive(LibzipZip({{"../x.xml", "piege"}}));
    ASSERT_EQ(run({"..\\x.xml"}), 0);
    EXPECT_EQ(
        eventsOf(A::UNZIP_ACTION_MESSAGE).at(0).text,
        "Le membre \xAB ..\\x.xml \xBB a \xE9t\xE9 refus\xE9 : son chemin sort du dossier d'extraction.");
}

TEST_F(UnzDllTest, LongNameIsShortenedInTheMessageAndTheReasonKeptWhole) {
    const std::string stored = "../" + std::string(300, 'd') + std::string(300, 'f') + ".xml";
    writeArchive(LibzipZip({{stored, "piege"}}));
    ASSERT_EQ(run({Listed(stored)}), 0);
    const std::string text = eventsOf(A::UNZIP_ACTION_MESSAGE).at(0).text;
    EXPECT_EQ(text.size(), std::size_t{UNZIP_ACTION_TEXT_SIZE - 1});
    EXPECT_EQ(text.rfind("Le membre \xAB ..\\ddd", 0), 0u) << text;
    EXPECT_NE(text.find("d\x85"
                        "f"),
              std::string::npos)
        << text;
    EXPECT_TRUE(
        text.ends_with("ff.xml \xBB a \xE9t\xE9 refus\xE9 : son chemin sort du dossier d'extraction."))
        << text;
}

TEST_F(UnzDllTest, NameWithANulIsFoundByItsCutNameAndRefused) {
    // libzip cannot write the NUL; it is patched in afterwards, in both headers.
    std::string zip = LibzipZip({{"aXb.xml", "piege"}});
    RenameEverywhere(zip, "aXb", std::string("a\0b", 3));
    writeArchive(zip);
    ASSERT_EQ(run({"a"}), 0);
    EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{UNZDLL_MSG_NAME_CONTROL});
    EXPECT_NE(eventsOf(A::UNZIP_ACTION_MESSAGE).at(0).text.find("a?b.xml"), std::string::npos);
    EXPECT_TRUE(outputTree().empty());
}

TEST_F(UnzDllTest, SymbolicLinkMembersAreNeverCreated) {
    writeArchive(LibzipZip({{"lien", "/etc/passwd", 0, nullptr, 0, 3, UnixLink},
                            {"dossier/lien", "../..", 0, nullptr, 0, 3, UnixLink}}));
    ASSERT_EQ(run({"lien", "dossier\\lien"}), 0);
    EXPECT_EQ(messageCodes(),
              (std::vector<std::int32_t>{UNZDLL_MSG_SYMLINK_MEMBER, UNZDLL_MSG_SYMLINK_MEMBER}));
    EXPECT_TRUE(outputTree().empty());
}

TEST_F(UnzDllTest, ExistingLinkInPlaceOfTheFileIsNeitherFollowedNorReplaced) {
    writeArchive(LibzipZip({{"classe.xml", "ecrase"}, {"nouveau.xml", "cree"}}));
    writeFile(temp_ / "victime.txt", "intact");
    if (!planted([&] {
            std::filesystem::create_symlink(temp_ / "victime.txt", out() / "classe.xml");
            std::filesystem::create_symlink(temp_ / "cree-ailleurs.txt", out() / "nouveau.xml"); // dangling
        }))
        GTEST_SKIP() << "no link can be made here";
    answer = [](UnzipCallbackInfo& info) {
        if (info.ActionCode == A::UNZIP_ACTION_OVERWRITE)
            info.ActionValue = 1;
        return 0;
    };

    ASSERT_EQ(run({"classe.xml", "nouveau.xml"}), 0);

    EXPECT_EQ(messageCodes(),
              (std::vector<std::int32_t>{UNZDLL_MSG_TARGET_NOT_FILE, UNZDLL_MSG_TARGET_NOT_FILE}));
    EXPECT_TRUE(eventsOf(A::UNZIP_ACTION_OVERWRITE).empty());
    EXPECT_EQ(readFile(temp_ / "victime.txt"), "intact");
    EXPECT_FALSE(std::filesystem::exists(temp_ / "cree-ailleurs.txt"));
    EXPECT_TRUE(std::filesystem::is_symlink(out() / "classe.xml"));
    EXPECT_TRUE(std::filesystem::is_symlink(out() / "nouveau.xml"));
}

TEST_F(UnzDllTest, LinkedFolderOnThePathIsNotEntered) {
    writeArchive(LibzipZip({{"notes/bilan.txt", "ecrit"}, {"notes/sous/", "", 0, nullptr, 0, -1, 0, true}}));
    std::filesystem::create_directory(temp_ / "ailleurs");
    if (!planted([&] { std::filesystem::create_directory_symlink(temp_ / "ailleurs", out() / "notes"); }))
        GTEST_SKIP() << "no link can be made here";

    ASSERT_EQ(run({"notes\\bilan.txt", "notes\\sous\\"}), 0);

    EXPECT_EQ(messageCodes(),
              (std::vector<std::int32_t>{UNZDLL_MSG_PATH_NOT_FOLDER, UNZDLL_MSG_PATH_NOT_FOLDER}));
    EXPECT_TRUE(std::filesystem::is_empty(temp_ / "ailleurs"));
}

TEST_F(UnzDllTest, FolderOrFileInTheWayIsRefused) {
    writeArchive(LibzipZip(
        {{"classe.xml", "x"}, {"notes/bilan.txt", "y"}, {"vide/", "", 0, nullptr, 0, -1, 0, true}}));
    std::filesystem::create_directory(out() / "classe.xml");
    writeFile(out() / "notes", "un fichier");
    writeFile(out() / "vide", "un fichier");
    ASSERT_EQ(run({"classe.xml", "notes\\bilan.txt", "vide\\"}), 0);
    EXPECT_EQ(messageCodes(),
              (std::vector<std::int32_t>{UNZDLL_MSG_TARGET_NOT_FILE, UNZDLL_MSG_PATH_NOT_FOLDER,
                                         UNZDLL_MSG_PATH_NOT_FOLDER}));
    EXPECT_TRUE(std::filesystem::is_empty(out() / "classe.xml"));
    EXPECT_EQ(output("notes"), "un fichier");
}

TEST_F(UnzDllTest, WritesIntoTheFolderThatWasCurrentWhenTheRunStarted) {
    writeArchive(LibzipZip({{"classe.xml", "<classe/>"}, {"notes/bilan.txt", "y"}}));
    const std::filesystem::path elsewhere = temp_.path();
    answer = [&](UnzipCallbackInfo& info) {
        if (info.ActionCode == A::UNZIP_ACTION_TOTAL_BYTES) {
            std::error_code error;
            std::filesystem::current_path(elsewhere, error);
            if (error)
                return -1;
        }
        return 0;
    };
    ASSERT_EQ(run({"classe.xml", "notes\\bilan.txt"}), 2);
    EXPECT_EQ(outputTree(), (std::vector<std::string>{"classe.xml", "notes", "notes/bilan.txt"}));
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "classe.xml"));
}

} // namespace
} // namespace zeb::test
