#include "Restorers.h"
#include "ScriptedPrompts.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "archive/Zip.h"
#include "platform/Platform.h"
#include "zipformat/UnzDllMessages.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace zeb;
using namespace zeb::test;

namespace {

// Stands in for the progress dialog and logs what the component does with it.
class RecordingProgress final : public ProgressView {
public:
    explicit RecordingProgress(std::vector<std::string>& log) : log_(log) {}
    void SetMax(std::int32_t value) override { log_.push_back("max " + std::to_string(value)); }
    void SetPosition(std::int32_t value) override { log_.push_back("position " + std::to_string(value)); }
    void SetStatusText(const std::string& text) override { log_.push_back("status " + text); }
    void Show() override { log_.push_back("show"); }
    void Hide() override { log_.push_back("hide"); }

private:
    std::vector<std::string>& log_;
};

class ZipCallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        progress = std::make_unique<RecordingProgress>(log);
        zip.ProgressForm = progress.get();
    }
    std::int32_t call(int action, std::int32_t value = 0, const std::string& text = {},
                      std::int32_t reply = 0) {
        info = UnzipCallbackInfo{};
        info.Caller = &zip;
        info.ActionCode = action;
        info.ActionValue = value;
        info.ReplyFlag = reply;
        std::strncpy(info.ActionText, text.c_str(), sizeof info.ActionText - 1);
        return TZip::UnzipCallback(&info);
    }
    ScriptedPrompts prompts;
    FakeVolumes volumes;
    TZip zip{prompts, volumes};
    std::vector<std::string> log;
    std::unique_ptr<RecordingProgress> progress;
    UnzipCallbackInfo info{};
};

} // namespace

TEST_F(ZipCallbackTest, ARunDrivesEventsAndTheDialog) {
    std::vector<std::string> events;
    zip.OnZEDBeginFileEvent = [&](TZip& sender, const std::string& name, std::int32_t size,
                                  std::int32_t count, std::int32_t total) {
        EXPECT_EQ(&sender, &zip);
        events.push_back("begin " + name + " " + std::to_string(size) + " " + std::to_string(count) + " " +
                         std::to_string(total));
    };
    zip.OnZEDProgressEvent = [&](TZip&, const std::string& name, std::int32_t done, std::int32_t total) {
        events.push_back("progress " + name + " " + std::to_string(done) + " " + std::to_string(total));
    };
    zip.OnZEDEndBatchEvent = [&](TZip&, std::int32_t skipped, std::int32_t count, std::int32_t total) {
        events.push_back("end " + std::to_string(skipped) + " " + std::to_string(count) + " " +
                         std::to_string(total));
    };
    EXPECT_EQ(call(UNZIP_ACTION_TOTAL_BYTES, 1000), 0);
    call(UNZIP_ACTION_FILE_COUNT, 2);
    call(UNZIP_ACTION_BEGIN_FILE, 700, "classe.xml");
    call(UNZIP_ACTION_PROGRESS, 300);
    call(UNZIP_ACTION_PROGRESS, 200);
    call(UNZIP_ACTION_SKIPPED, 0, "autre.txt");
    call(UNZIP_ACTION_RESERVED4, 9);
    call(UNZIP_ACTION_END_BATCH);
    EXPECT_EQ(events, (std::vector<std::string>{"begin classe.xml 700 2 1000", "progress classe.xml 300 1000",
                                                "progress classe.xml 200 1000", "end 1 2 1000"}));
    EXPECT_EQ(log, (std::vector<std::string>{"max 1000", "status classe.xml", "position 300", "position 500",
                                             "hide"}));
    EXPECT_EQ(prompts.pumps, 8); // pending window messages run at every call

    // Without the dialog option nothing reaches the dialog.
    zip.ShowProgressDialog = false;
    log.clear();
    call(UNZIP_ACTION_TOTAL_BYTES, 5);
    call(UNZIP_ACTION_BEGIN_FILE, 5, "x");
    EXPECT_TRUE(log.empty());
}

TEST_F(ZipCallbackTest, PasswordRequest) {
    // A given answer is marked as such and counts one attempt down; no answer leaves no text,
    // no attempt, and the member noted as unread for want of a password.
    struct Case {
        std::optional<std::string> typed;
        std::int32_t replyFlag;
        const char* text; // Windows-1252
        std::int32_t attemptsLeft;
    };
    const Case cases[] = {
        {std::nullopt, 0, "", 0},
        {"", 0, "", 0},
        {"classe.xml", UNZIP_PASSWORD_GIVEN, "classe.xml", 2}, // spelt like the member: still a password
        {"s\xC3\xA9same", UNZIP_PASSWORD_GIVEN, "s\xE9same", 2},
        {std::string(512, 'p'), 0, "", 0}, // more than the record holds: refused, not cut
        {std::string(511, 'p'), UNZIP_PASSWORD_GIVEN, nullptr, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed ? c.typed->substr(0, 12) : "(no answer)");
        zip.PasswordProtected.clear();
        prompts.passwords = {c.typed};
        call(UNZIP_ACTION_PASSWORD, 3, "classe.xml", 7);
        EXPECT_EQ(info.ReplyFlag, c.replyFlag);
        if (c.text != nullptr)
            EXPECT_STREQ(info.ActionText, c.text);
        else
            EXPECT_EQ(::strnlen(info.ActionText, sizeof info.ActionText), 511u);
        EXPECT_EQ(info.ActionValue, c.attemptsLeft);
        EXPECT_EQ(zip.PasswordProtected.size(), c.replyFlag == 0 ? 1u : 0u);
    }
    EXPECT_EQ(prompts.passwordPrompts[0], "Le mot de passe de \"classe.xml\" est nécessaire");
    EXPECT_EQ(prompts.asked.back().text, "Ce mot de passe est trop long : 511 caractères au plus.");
    EXPECT_EQ(log.size(), 12u); // hidden and shown again around each question
}

TEST_F(ZipCallbackTest, MembersLeftUnreadForWantOfAPasswordAreNamed) {
    EXPECT_EQ(zip.PasswordProtectedMessage(), "");
    call(UNZIP_ACTION_PASSWORD, 3, "\xE9l\xE8ves.xml"); // no answer
    call(UNZIP_ACTION_PASSWORD, 3, "\xE9l\xE8ves.xml");
    EXPECT_EQ(zip.PasswordProtectedMessage(),
              "Le document « élèves.xml » est protégé par un mot de passe et n'a pas été lu.");
    // Three wrong answers: the library says so right after the member began.
    call(UNZIP_ACTION_BEGIN_FILE, 10, "b.xml");
    call(UNZIP_ACTION_MESSAGE, 31, "b.xml : illisible");
    EXPECT_EQ(zip.PasswordProtected.size(), 1u);
    call(UNZIP_ACTION_MESSAGE, UNZDLL_MSG_WRONG_PASSWORD, "b.xml : mot de passe incorrect");
    EXPECT_EQ(zip.PasswordProtectedMessage(),
              "Les documents « élèves.xml », « b.xml » sont protégés par un mot "
              "de passe et n'ont pas été lus.");
    zip.Extract(); // every run starts afresh
    EXPECT_TRUE(zip.PasswordProtected.empty());
}

TEST_F(ZipCallbackTest, DamagedMember) {
    prompts.answers = {MessageAnswer::Yes, MessageAnswer::No, MessageAnswer::Cancel};
    EXPECT_EQ(call(UNZIP_ACTION_CRC_ERROR, 0, "\xE9l\xE8ve.xml", 5), 0);
    EXPECT_EQ(info.ReplyFlag, 1);
    EXPECT_EQ(prompts.asked[0].text,
              "\"élève.xml\" est peut-être corrompu ou altéré (erreur de CRC).\nExtraire ce "
              "fichier quand même ? ...");
    EXPECT_EQ(prompts.asked[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(prompts.asked[0].icon, MessageIcon::Question);
    EXPECT_EQ(prompts.asked[0].defaultButton, 2);
    call(UNZIP_ACTION_CRC_ERROR, 0, "a", 5);
    EXPECT_EQ(info.ReplyFlag, 0);
    EXPECT_EQ(call(UNZIP_ACTION_CRC_ERROR, 0, "a", 5), -1);
    EXPECT_EQ(info.ReplyFlag, 5);
    EXPECT_TRUE(zip.Cancel);
    EXPECT_EQ(log, (std::vector<std::string>{"hide", "show", "hide", "show", "hide"}));
}

TEST_F(ZipCallbackTest, OverwriteFollowsTheOptions) {
    zip.ExtractOptions = OptionOverwriteOlder;
    call(UNZIP_ACTION_OVERWRITE, 9, "a", 1);
    EXPECT_EQ(info.ActionValue, 1);
    call(UNZIP_ACTION_OVERWRITE, 9, "a", 0);
    EXPECT_EQ(info.ActionValue, 0);
    zip.ExtractOptions = 0;
    call(UNZIP_ACTION_OVERWRITE, 9, "a", 0);
    EXPECT_EQ(info.ActionValue, 1);
    EXPECT_TRUE(prompts.asked.empty());

    zip.ExtractOptions = OptionAskOverwrite;
    prompts.answers = {MessageAnswer::Yes, MessageAnswer::No, MessageAnswer::Cancel};
    call(UNZIP_ACTION_OVERWRITE, 9, "a.xml", 1);
    EXPECT_EQ(info.ActionValue, 1);
    EXPECT_EQ(prompts.asked[0].text,
              "\"a.xml\" est plus vieux que le fichier archivé.\nEcraser ce fichier ? ...");
    EXPECT_EQ(prompts.asked[0].icon, MessageIcon::Information);
    call(UNZIP_ACTION_OVERWRITE, 9, "a.xml", 0);
    EXPECT_EQ(info.ActionValue, 0);
    EXPECT_EQ(prompts.asked[1].text,
              "\"a.xml\" est aussi vieux ou plus récent que le fichier archivé.\nVoulez-vous "
              "vraiment écraser ce fichier ? ...");
    EXPECT_EQ(prompts.asked[1].icon, MessageIcon::Stop);
    EXPECT_EQ(prompts.asked[1].defaultButton, 2);
    EXPECT_EQ(call(UNZIP_ACTION_OVERWRITE, 9, "a.xml", 0), -1);
    EXPECT_EQ(info.ActionValue, 0);
}

TEST_F(ZipCallbackTest, OnceCancelledEveryCallAnswersStopAndChangesNothing) {
    int events = 0;
    zip.OnZEDBeginFileEvent = [&](TZip&, const std::string&, std::int32_t, std::int32_t, std::int32_t) {
        ++events;
    };
    zip.Cancel = true;
    EXPECT_EQ(call(UNZIP_ACTION_BEGIN_FILE, 5, "a"), -1);
    EXPECT_EQ(call(UNZIP_ACTION_PASSWORD, 3, "a"), -1);
    EXPECT_EQ(info.ActionValue, 3);
    EXPECT_EQ(events, 0);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(prompts.passwordPrompts.empty());

    // A cancel click handled while messages run is answered at the next call.
    zip.Cancel = false;
    prompts.onPump = [&] { zip.Cancel = true; };
    EXPECT_EQ(call(UNZIP_ACTION_PROGRESS, 1), 0);
    EXPECT_EQ(call(UNZIP_ACTION_PROGRESS, 1), -1);
}

TEST_F(ZipCallbackTest, AnExceptionInAHandlerStopsTheRun) {
    zip.OnZEDProgressEvent = [](TZip&, const std::string&, std::int32_t, std::int32_t) {
        throw std::runtime_error("handler failed");
    };
    EXPECT_EQ(call(UNZIP_ACTION_PROGRESS, 1), -1);
    EXPECT_TRUE(zip.Cancel);
}

TEST_F(ZipCallbackTest, LibraryMessagesAreKeptForTheUser) {
    call(UNZIP_ACTION_MESSAGE, 3, "Le membre \xAB ../x \xBB a \xE9t\xE9 refus\xE9.");
    ASSERT_EQ(zip.LibraryMessages.size(), 1u);
    EXPECT_EQ(zip.LibraryMessages[0], "Le membre « ../x » a été refusé.");
}

TEST(ZipCommand, OptionBitsAndFileSpecs) {
    ScriptedPrompts prompts;
    FakeVolumes volumes;
    TZip zip(prompts, volumes);
    std::vector<ExtractSpec> specs;
    auto flags = [&] {
        const UnzipCommand c = zip.BuildCommand(specs);
        return std::vector<ZipFlag>{c.Flag28, c.Flag40, c.Flag48, c.Flag52, c.Flag56, c.Flag60};
    };
    EXPECT_EQ(zip.ExtractOptions, OptionOverwriteOlder);
    EXPECT_EQ(flags(), (std::vector<ZipFlag>{0, -1, -1, 0, 0, 0}));
    zip.ExtractOptions = 0;
    EXPECT_EQ(flags(), (std::vector<ZipFlag>{0, -1, 0, 0, 0, -1}));
    zip.ExtractOptions = OptionOverwriteOlderToo | OptionBit4;
    EXPECT_EQ(flags(), (std::vector<ZipFlag>{0, -1, 0, -1, -1, 0}));
    zip.ExtractOptions = OptionBit2;
    EXPECT_EQ(flags(), (std::vector<ZipFlag>{-1, -1, 0, 0, 0, 0}));

    zip.FileSpecs = {"a.xml", "b\\c.xml", "d"};
    const UnzipCommand command = zip.BuildCommand(specs);
    EXPECT_EQ(command.InterfaceLevel, 160);
    EXPECT_EQ(command.Caller, &zip);
    EXPECT_EQ(command.Constant104, 3);
    EXPECT_EQ(command.Constant144, 7);
    EXPECT_EQ(command.PasswordText, nullptr);
    EXPECT_EQ(command.FileSpecCount, 3);
    ASSERT_EQ(command.FileSpecArray, specs.data());
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_STREQ(specs[i].FileSpec, zip.FileSpecs[i].c_str());
        EXPECT_EQ(std::count(std::begin(specs[i].Reserved4), std::end(specs[i].Reserved4), 0), 68);
    }
    zip.FileSpecs.clear();
    zip.Password = "x";
    EXPECT_EQ(zip.BuildCommand(specs).FileSpecArray, nullptr);
    EXPECT_STREQ(zip.BuildCommand(specs).PasswordText, "x");
}

TEST(ZipCommand, TheLibraryGetsTheArchiveByItsAbsolutePath) {
    // Extract makes the extraction folder the current one before the library opens the archive.
    TempFolder folder;
    writeFile(folder / "a.jad", StoredZip({{"a.xml", "1"}}));
    const CurrentFolderRestorer back;
    std::filesystem::current_path(folder.path());
    ScriptedPrompts prompts;
    FakeVolumes volumes;
    TZip zip(prompts, volumes);
    zip.SetZipFileName("a.jad");
    std::vector<ExtractSpec> specs;
    EXPECT_EQ(std::string(zip.BuildCommand(specs).ArchiveName), Utf8FromPath(folder / "a.jad"));
    EXPECT_EQ(zip.ZipFileName(), "a.jad");
}

TEST(ZipExtract, EarlyReturnsLeaveFileSpecsAndNeedNoLibrary) {
    TempFolder folder;
    ScriptedPrompts prompts;
    FakeVolumes volumes;
    TZip zip(prompts, volumes);
    zip.DllFolder = (folder / "nowhere").string(); // loading would fail and throw
    zip.FileSpecs = {"a.xml"};
    EXPECT_EQ(zip.Extract(), 0); // empty directory
    EXPECT_TRUE(prompts.asked.empty());

    writeFile(folder / "a.jad", StoredZip({{"a.xml", "1"}}));
    zip.SetZipFileName((folder / "a.jad").string());
    zip.ExtractDir = (folder / "missing").string();
    EXPECT_EQ(zip.Extract(), 0);
    EXPECT_EQ(prompts.asked.back().text, "Impossible d'extraire le(s) fichier(s) vers :\n\"" +
                                             zip.ExtractDir + "\"\nCe dossier n'existe pas.");
    EXPECT_EQ(zip.FileSpecs.size(), 1u);

    zip.EndRecord.ThisDisk = 1;
    EXPECT_EQ(zip.Extract(), 0);
    EXPECT_EQ(prompts.asked.back().text,
              "Ne peut pas Ajouter, Supprimer ou Extraire depuis une archive "
              "découpée...\nFusionnez cette archive sur le disque dur puis réessayez.");

    zip.EndRecord.ThisDisk = 0;
    zip.ExtractDir = folder.path().string();
    try {
        zip.Extract();
        FAIL();
    } catch (const ZipException& error) {
        EXPECT_EQ(error.what(), std::string("Impossible d'ouvrir \"") + UNZDLL_FILE_NAME + "\".");
    }
    EXPECT_EQ(zip.FileSpecs.size(), 1u);
    EXPECT_EQ(zip.ProgressForm, nullptr);
}
