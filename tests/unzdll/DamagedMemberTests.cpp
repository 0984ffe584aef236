// Members whose data is not what the archive says: CRC errors and sizes (passwords are in
// PasswordTests.cpp).

#include "UnzDllTestSupport.h"

namespace zeb::test {
namespace {

using A = UnzipAction;

// ---- CRC errors: the caller decides

struct CrcCase {
    int method;
    bool keep;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const CrcCase& value, std::ostream* os) {
    *os << (value.method == 0 ? "stored, " : "deflated, ") << (value.keep ? "kept" : "dropped");
}

class UnzDllCrc : public UnzDllTest, public ::testing::WithParamInterface<CrcCase> {};

TEST_P(UnzDllCrc, DamagedMemberIsKeptOrDroppedAsTheCallerAnswers) {
    const std::string xml = ExportText(80'000);
    std::string zip = LibzipZip({{"neuf/classe.xml", xml, GetParam().method}});
    PatchBoth32(zip, 0, CrcField[0], CrcField[1], Crc32(xml) ^ 0x00010000u);
    writeArchive(zip);
    const std::int32_t keep = GetParam().keep ? 1 : 0;
    answer = [keep](UnzipCallbackInfo& info) {
        if (info.ActionCode == A::UNZIP_ACTION_CRC_ERROR)
            info.ReplyFlag = keep;
        return 0;
    };

    EXPECT_EQ(run({"neuf\\classe.xml"}), keep);

    const std::vector<Event> asked = eventsOf(A::UNZIP_ACTION_CRC_ERROR);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "neuf\\classe.xml");
    EXPECT_EQ(progressOf("neuf\\classe.xml"), static_cast<std::int64_t>(xml.size()));
    EXPECT_TRUE(eventsOf(A::UNZIP_ACTION_MESSAGE).empty());
    if (GetParam().keep) {
        EXPECT_EQ(output("neuf/classe.xml"), xml);
        EXPECT_TRUE(eventsOf(A::UNZIP_ACTION_SKIPPED).empty());
    } else {
        EXPECT_EQ(shape().end()[-2], A::UNZIP_ACTION_SKIPPED);
        EXPECT_TRUE(outputTree().empty()) << "neither the file nor the folder made for it stays";
    }
}

INSTANTIATE_TEST_SUITE_P(StoredAndDeflated, UnzDllCrc,
                         ::testing::Values(CrcCase{0, true}, CrcCase{0, false}, CrcCase{8, true},
                                           CrcCase{8, false}),
                         [](const ::testing::TestParamInfo<CrcCase>& param) {
                             return std::string(param.param.method == 0 ? "Stored" : "Deflated") +
                                    (param.param.keep ? "Kept" : "Dropped");
                         });

// ---- Sizes

TEST_F(UnzDllTest, DecompressionBombIsRefusedBeforeAnyByte) {
    const std::string zeros(8 * 1024 * 1024, '\0');
    writeArchive(LibzipZip({{"bombe.bin", zeros}, {"ok.xml", "<ok/>"}}));
    ASSERT_EQ(run({"bombe.bin", "ok.xml"}), 1);
    EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{UNZDLL_MSG_RATIO});
    EXPECT_EQ(events[0].value, 5);
    EXPECT_EQ(progressOf("bombe.bin"), 0);
    EXPECT_EQ(outputTree(), std::vector<std::string>{"ok.xml"});
}

TEST_F(UnzDllTest, HighRatioIsFineUpToOneMebibyte) {
    const std::string zeros(1024 * 1024, '\0');
    writeArchive(LibzipZip({{"zeros.bin", zeros}}));
    ASSERT_EQ(run({"zeros.bin"}), 1);
    EXPECT_EQ(output("zeros.bin"), zeros);
}

struct LyingSize {
    const char* label;
    int method;
    std::uint32_t declared;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const LyingSize& value, std::ostream* os) {
    *os << value.label;
}

class UnzDllLyingSize : public UnzDllTest, public ::testing::WithParamInterface<LyingSize> {};

TEST_P(UnzDllLyingSize, MemberThatDoesNotInflateToItsSizeLeavesNothing) {
    const std::string xml = ExportText(200'000);
    std::string zip = LibzipZip({{"classe.xml", xml, GetParam().method}});
    PatchBoth32(zip, 0, SizeField[0], SizeField[1], GetParam().declared);
    writeArchive(zip);

    ASSERT_EQ(run({"classe.xml"}), 0);

    EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{UNZDLL_MSG_SIZE_MISMATCH});
    EXPECT_LE(progressOf("classe.xml"), static_cast<std::int64_t>(GetParam().declared));
    EXPECT_TRUE(outputTree().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, UnzDllLyingSize,
    ::testing::Values(LyingSize{"DeflatedSmaller", 8, 1000}, LyingSize{"StoredSmaller", 0, 70'000},
                      LyingSize{"OneByteSmaller", 8, 199'999}, LyingSize{"OneByteLarger", 8, 200'001}),
    [](const ::testing::TestParamInfo<LyingSize>& param) { return std::string(param.param.label); });

TEST_F(UnzDllTest, MemberDeclaredOverSixtyFourMebibytesIsRefusedAlone) {
    std::string zip = LibzipZip({{"enorme.xml", Noise(100'000)}, {"ok.xml", "<ok/>"}});
    PatchBoth32(zip, 0, SizeField[0], SizeField[1], 64 * 1024 * 1024 + 1);
    writeArchive(zip);
    ASSERT_EQ(run({"enorme.xml", "ok.xml"}), 1);
    EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{UNZDLL_MSG_MEMBER_TOO_LARGE});
    EXPECT_EQ(outputTree(), std::vector<std::string>{"ok.xml"});
}

TEST_F(UnzDllTest, RunOverSixtyFourMebibytesIsRefusedWhole) {
    std::string zip = LibzipZip({{"a.bin", Noise(50'000, 1), 0}, {"b.bin", Noise(50'000, 2), 0}});
    PatchBoth32(zip, 0, SizeField[0], SizeField[1], 40 * 1024 * 1024);
    PatchBoth32(zip, 1, SizeField[0], SizeField[1], 40 * 1024 * 1024);
    writeArchive(zip);

    EXPECT_EQ(run({"a.bin", "b.bin"}), UNZDLL_ERROR_LIMITS);
    EXPECT_EQ(actions(), std::vector<std::int32_t>{A::UNZIP_ACTION_MESSAGE});
    EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{UNZDLL_MSG_RUN_TOO_LARGE});
    EXPECT_TRUE(outputTree().empty());

    events.clear();
    EXPECT_EQ(run({"a.bin"}), 0) << "one of them alone is within the limit, and then shows its lie";
    EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{UNZDLL_MSG_SIZE_MISMATCH});
}

} // namespace
} // namespace zeb::test
