// The ordinary run: the conversation with the caller, the files it leaves, and the names.

#include "UnzDllTestSupport.h"

#include <climits>

namespace zeb::test {
namespace {

using A = UnzipAction;

constexpr std::time_t March2024 = 1710498600; // 2024-03-15 10:30:00 UTC

TEST(UnzDllEntries, BothEntriesAreFoundByNameAndMalformedCommandsAreRefusedWithoutACall) {
    const UnzDll& library = Library();
    ASSERT_NE(library.exec, nullptr);
    ASSERT_NE(library.version, nullptr);
    EXPECT_GT(library.version(), 0);

    static int calls = 0;
    const auto count = [](UnzipCallbackInfo*) -> std::int32_t { return ++calls, 0; };
    ExtractSpec request{};
    request.FileSpec = "classe.xml";
    const auto valid = [&] {
        UnzipCommand command{};
        command.InterfaceLevel = UNZIP_INTERFACE_LEVEL;
        command.Callback = count;
        command.ArchiveName = "/nonexistent.jad";
        command.FileSpecCount = 1;
        command.FileSpecArray = &request;
        return command;
    };
    EXPECT_EQ(library.exec(nullptr), UNZDLL_ERROR_COMMAND);
    std::vector<UnzipCommand> bad(6, valid());
    bad[0].InterfaceLevel = 159;
    bad[1].Callback = nullptr;
    bad[2].ArchiveName = nullptr;
    bad[3].FileSpecCount = -1;
    bad[4].FileSpecArray = nullptr;
    bad[5].InterfaceLevel = 0;
    for (UnzipCommand& command : bad)
        EXPECT_EQ(library.exec(&command), UNZDLL_ERROR_COMMAND);
    EXPECT_EQ(calls, 0);

    // No names and no array is a valid, empty request: the archive error shows it got through.
    UnzipCommand empty = valid();
    empty.FileSpecCount = 0;
    empty.FileSpecArray = nullptr;
    EXPECT_EQ(library.exec(&empty), UNZDLL_ERROR_ARCHIVE);
    EXPECT_EQ(calls, 1);
}

TEST_F(UnzDllTest, ExtractsInRequestOrderWithTheFullConversation) {
    const std::string xml = ExportText(150'000);
    const std::string notes = "Bilan du trimestre\r\n";
    const std::string zip = LibzipZip({{"classe.xml", xml, 8, nullptr, March2024},
                                       {"notes/bilan.txt", notes, 0, nullptr, March2024 + 86400}});
    writeArchive(zip);

    ASSERT_EQ(run({"notes\\bilan.txt", "classe.xml"}), 2);

    EXPECT_EQ(shape(), (std::vector<std::int32_t>{A::UNZIP_ACTION_TOTAL_BYTES, A::UNZIP_ACTION_FILE_COUNT,
                                                  A::UNZIP_ACTION_BEGIN_FILE, A::UNZIP_ACTION_PROGRESS,
                                                  A::UNZIP_ACTION_BEGIN_FILE, A::UNZIP_ACTION_PROGRESS,
                                                  A::UNZIP_ACTION_END_BATCH}));
    EXPECT_EQ(events[0].value, static_cast<std::int32_t>(xml.size() + notes.size()));
    EXPECT_EQ(events[1].value, 2);
    const std::vector<Event> begins = eventsOf(A::UNZIP_ACTION_BEGIN_FILE);
    EXPECT_EQ(begins[0].text, "notes\\bilan.txt");
    EXPECT_EQ(begins[0].value, static_cast<std::int32_t>(notes.size()));
    EXPECT_EQ(begins[1].text, "classe.xml");
    EXPECT_EQ(progressOf("classe.xml"), static_cast<std::int64_t>(xml.size()));
    EXPECT_EQ(progressOf("notes\\bilan.txt"), static_cast<std::int64_t>(notes.size()));
    for (const Event& progress : eventsOf(A::UNZIP_ACTION_PROGRESS))
        EXPECT_LE(progress.value, 64 * 1024);
    EXPECT_FALSE(callerChanged);
    EXPECT_FALSE(textUnterminated);

    EXPECT_EQ(outputTree(), (std::vector<std::string>{"classe.xml", "notes", "notes/bilan.txt"}));
    EXPECT_EQ(output("classe.xml"), xml);
    EXPECT_EQ(output("notes/bilan.txt"), notes);
    EXPECT_EQ(MtimeOf(out() / "classe.xml"), ArchivedMtime(zip, 0));
    EXPECT_EQ(MtimeOf(out() / "notes" / "bilan.txt"), ArchivedMtime(zip, 1));
}

// Members larger than the library's 64 KiB buffers on both sides: data that does not compress
// (stored, or deflated into more than one buffer of input) and data that does (one buffer of
// input inflating into many).
TEST_F(UnzDllTest, MembersSpanningManyBuffersComeOutWhole) {
    const std::string noise = Noise(300'000);
    const std::string text = ExportText(700'000);
    writeArchive(LibzipZip({{"brut.bin", noise, 0}, {"bruit.bin", noise, 8}, {"texte.xml", text, 8}}));
    ASSERT_EQ(run({"brut.bin", "bruit.bin", "texte.xml"}), 3);
    EXPECT_EQ(output("brut.bin"), noise);
    EXPECT_EQ(output("bruit.bin"), noise);
    EXPECT_EQ(output("texte.xml"), text);
    EXPECT_EQ(progressOf("bruit.bin"), static_cast<std::int64_t>(noise.size()));
}

TEST_F(UnzDllTest, FolderMembersOnlyMakeTheFolderAndEmptyMembersGiveAnEmptyFile) {
    writeArchive(LibzipZip({{"vide/", "", 0, nullptr, 0, -1, 0, true}, {"vide/rien.txt", "", 0}}));
    ASSERT_EQ(run({"vide\\", "vide\\rien.txt"}), 2);
    EXPECT_EQ(outputTree(), (std::vector<std::string>{"vide", "vide/rien.txt"}));
    EXPECT_EQ(output("vide/rien.txt"), "");
    EXPECT_TRUE(eventsOf(A::UNZIP_ACTION_PROGRESS).empty());
}

TEST_F(UnzDllTest, UnknownAndRepeatedNamesAreSkippedWithoutAMessage) {
    writeArchive(LibzipZip({{"classe.xml", "<classe/>"}}));
    ASSERT_EQ(run({"absent.xml", "classe.xml", "classe.xml", "CLASSE.XML"}), 1);
    EXPECT_EQ(shape(), (std::vector<std::int32_t>{A::UNZIP_ACTION_TOTAL_BYTES, A::UNZIP_ACTION_FILE_COUNT,
                                                  A::UNZIP_ACTION_SKIPPED, A::UNZIP_ACTION_BEGIN_FILE,
                                                  A::UNZIP_ACTION_PROGRESS, A::UNZIP_ACTION_SKIPPED,
                                                  A::UNZIP_ACTION_SKIPPED, A::UNZIP_ACTION_END_BATCH}));
    EXPECT_EQ(events[1].value, 1);
    EXPECT_EQ(eventsOf(A::UNZIP_ACTION_SKIPPED)[0].text, "absent.xml");
    EXPECT_EQ(outputTree(), std::vector<std::string>{"classe.xml"});
}

TEST_F(UnzDllTest, OnlyMinusOneStopsTheRun) {
    writeArchive(LibzipZip({{"classe.xml", ExportText(100'000)}}));
    for (const std::int32_t reply : {1, -2, INT_MIN, INT_MAX}) {
        events.clear();
        std::filesystem::remove(out() / "classe.xml");
        answer = [reply](UnzipCallbackInfo&) { return reply; };
        EXPECT_EQ(run({"classe.xml"}), 1) << reply;
        EXPECT_EQ(actions().back(), A::UNZIP_ACTION_END_BATCH);
    }
}

// ---- Stopping: every question and every report can end the run.

struct StopCase {
    std::int32_t action;
    const char* label;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const StopCase& value, std::ostream* os) {
    *os << value.label;
}

class UnzDllStop : public UnzDllTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(UnzDllStop, StopsAtOnceAndLeavesNoPartialFile) {
    const std::string big = ExportText(300'000);
    std::string zip = LibzipZip({{"a/grand.xml", big},
                                 {"existant.xml", "nouveau"},
                                 {"abime.xml", ExportText(5'000)},
                                 {"../dehors.xml", "x"}});
    PatchBoth32(zip, 2, CrcField[0], CrcField[1], Crc32("autre chose"));
    writeArchive(zip);
    writeFile(out() / "existant.xml", "ancien");
    const std::int32_t stopAt = GetParam().action;
    bool stopped = false;
    answer = [&](UnzipCallbackInfo& info) -> std::int32_t {
        if (!stopped && info.ActionCode == stopAt) {
            stopped = true;
            return -1;
        }
        if (info.ActionCode == A::UNZIP_ACTION_OVERWRITE)
            info.ActionValue = 1;
        if (info.ActionCode == A::UNZIP_ACTION_CRC_ERROR)
            info.ReplyFlag = 1;
        return 0;
    };

    EXPECT_EQ(run({"a\\grand.xml", "existant.xml", "abime.xml", "..\\dehors.xml", "absent.xml"}),
              UNZDLL_ERROR_STOPPED);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(events.back().action, stopAt) << "nothing may follow the stop";
    for (const std::string& name : outputTree())
        EXPECT_EQ(name.find(".zeb-"), std::string::npos) << name;
    if (stopAt == A::UNZIP_ACTION_PROGRESS) {
        EXPECT_FALSE(std::filesystem::exists(out() / "a/grand.xml"));
    }
    if (stopAt == A::UNZIP_ACTION_OVERWRITE || stopAt == A::UNZIP_ACTION_PROGRESS) {
        EXPECT_EQ(output("existant.xml"), "ancien");
    }
    if (stopAt == A::UNZIP_ACTION_CRC_ERROR) {
        EXPECT_FALSE(std::filesystem::exists(out() / "abime.xml"));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryAction, UnzDllStop,
                         ::testing::Values(StopCase{A::UNZIP_ACTION_TOTAL_BYTES, "TotalBytes"},
                                           StopCase{A::UNZIP_ACTION_FILE_COUNT, "FileCount"},
                                           StopCase{A::UNZIP_ACTION_BEGIN_FILE, "BeginFile"},
                                           StopCase{A::UNZIP_ACTION_PROGRESS, "Progress"},
                                           StopCase{A::UNZIP_ACTION_OVERWRITE, "Overwrite"},
                                           StopCase{A::UNZIP_ACTION_CRC_ERROR, "CrcError"},
                                           StopCase{A::UNZIP_ACTION_MESSAGE, "Message"},
                                           StopCase{A::UNZIP_ACTION_SKIPPED, "Skipped"},
                                           StopCase{A::UNZIP_ACTION_END_BATCH, "EndBatch"}),
                         [](const ::testing::TestParamInfo<StopCase>& param) {
                             return std::string(param.param.label);
                         });

// ---- An existing file

class UnzDllOverwrite : public UnzDllTest {
protected:
    void prepare(std::time_t diskTime) {
        writeArchive(LibzipZip({{"classe.xml", "nouveau", 8, nullptr, March2024}}));
        writeFile(out() / "classe.xml", "ancien");
        SetMtime(out() / "classe.xml", diskTime);
    }
    void reply(std::int32_t value) {
        answer = [value](UnzipCallbackInfo& info) {
            if (info.ActionCode == A::UNZIP_ACTION_OVERWRITE)
                info.ActionValue = value;
            return 0;
        };
    }
};

TEST_F(UnzDllOverwrite, OlderDiskFileIsFlaggedAndReplacedOnYes) {
    prepare(March2024 - 365 * 86400);
    reply(1);
    ASSERT_EQ(run({"classe.xml"}), 1);
    const std::vector<Event> asked = eventsOf(A::UNZIP_ACTION_OVERWRITE);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "classe.xml");
    EXPECT_EQ(asked[0].flag & 1, 1);
    EXPECT_EQ(output("classe.xml"), "nouveau");
    EXPECT_EQ(outputTree(), std::vector<std::string>{"classe.xml"});
}

TEST_F(UnzDllOverwrite, NewerDiskFileIsNotFlaggedAndKeptOnNo) {
    prepare(March2024 + 365 * 86400);
    reply(0);
    ASSERT_EQ(run({"classe.xml"}), 0);
    const std::vector<Event> asked = eventsOf(A::UNZIP_ACTION_OVERWRITE);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].flag & 1, 0);
    EXPECT_EQ(output("classe.xml"), "ancien");
    EXPECT_EQ(shape().end()[-3], A::UNZIP_ACTION_OVERWRITE);
    EXPECT_EQ(shape().end()[-2], A::UNZIP_ACTION_SKIPPED);
    EXPECT_TRUE(eventsOf(A::UNZIP_ACTION_MESSAGE).empty());
}

// ---- Names: the caller's Windows-1252, the disk's UTF-8

TEST_F(UnzDllTest, OemNamesOfMsDosArchivesAreMatchedInWindows1252AndWrittenInUtf8) {
    // Code page 850 0x82 is "é", which is 0xE9 in Windows-1252.
    writeArchive(LibzipZip({{"\x82tat/r\x82sum\x82.xml", "<etat/>", 8, nullptr, 0, 0 /* MS-DOS */, 0}}));
    ASSERT_EQ(run({"\xE9tat\\r\xE9sum\xE9.xml", "\x82tat\\r\x82sum\x82.xml"}), 1);
    EXPECT_EQ(eventsOf(A::UNZIP_ACTION_SKIPPED).at(0).text, "\x82tat\\r\x82sum\x82.xml");
    EXPECT_EQ(outputTree(), (std::vector<std::string>{"état", "état/résumé.xml"}));
    EXPECT_EQ(output("état/résumé.xml"), "<etat/>");
}

TEST_F(UnzDllTest, UnixNamesAreMatchedByteForByte) {
    writeArchive(LibzipZip({{"\xE9l\xE8ve.xml", "<eleve/>", 8, nullptr, 0, 3 /* Unix */, 0100644u << 16}}));
    ASSERT_EQ(run({"\xE9l\xE8ve.xml"}), 1);
    EXPECT_EQ(outputTree(), std::vector<std::string>{"élève.xml"});
}

} // namespace
} // namespace zeb::test
