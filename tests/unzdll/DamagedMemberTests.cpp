// Members whose data is not what the archive says: CRC errors, passwords, sizes.

#include "UnzDllTestSupport.h"

#include <cstring>

namespace zeb::test {
namespace {

using A = UnzipAction;

bool hasTempFile(const std::vector<std::string>& tree) {
    for (const std::string& name : tree)
        if (name.find(".zeb-") != std::string::npos)
            return true;
    return false;
}

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

// ---- Passwords

class UnzDllPassword : public UnzDllTest {
protected:
    void SetUp() override {
        UnzDllTest::SetUp();
        writeArchive(LibzipZip({{"secret.xml", text, 8, "Bonjour1"},
                                {"public.xml", "<public/>"},
                                {"autre.xml", "<autre/>", 8, "Bonjour1"}}));
    }
    // Answers the password questions in turn with `replies`, decrementing ActionValue.
    void replyWith(std::vector<std::string> replies) {
        answer = [replies = std::move(replies), next = std::size_t{0}](UnzipCallbackInfo& info) mutable {
            if (info.ActionCode == A::UNZIP_ACTION_PASSWORD) {
                const std::string reply = next < replies.size() ? replies[next++] : std::string();
                std::snprintf(info.ActionText, sizeof info.ActionText, "%s", reply.c_str());
                info.ActionValue -= 1;
            }
            return 0;
        };
    }
    std::vector<std::int32_t> askedValues() const {
        std::vector<std::int32_t> values;
        for (const Event& event : eventsOf(A::UNZIP_ACTION_PASSWORD))
            values.push_back(event.value);
        return values;
    }

    const std::string text = ExportText(90'000);
};

// libzip is loaded only for what zlib alone cannot read: on a machine without it, a run that
// asks for an encrypted member is refused whole with the reason, and plain members still come.
TEST_F(UnzDllPassword, WithoutLibzipOnlyTheEncryptedMembersAreRefused) {
    const UnzDll withoutLibzip = LoadUnzDll(ZEB_UNZDLL_WITHOUT_LIBZIP);
    library = &withoutLibzip;
    EXPECT_EQ(run({"public.xml", "secret.xml"}, "Bonjour1"), UNZDLL_ERROR_UNSUPPORTED);
    EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{UNZDLL_MSG_UNSUPPORTED_ENCRYPTION});
    EXPECT_NE(eventsOf(A::UNZIP_ACTION_MESSAGE)[0].text.find("secret.xml"), std::string::npos);
    EXPECT_TRUE(outputTree().empty());
    events.clear();
    ASSERT_EQ(run({"public.xml"}), 1);
    EXPECT_EQ(output("public.xml"), "<public/>");
}

TEST_F(UnzDllPassword, CommandPasswordOpensEveryMemberWithoutAQuestion) {
    ASSERT_EQ(run({"secret.xml", "public.xml", "autre.xml"}, "Bonjour1"), 3);
    EXPECT_TRUE(eventsOf(A::UNZIP_ACTION_PASSWORD).empty());
    EXPECT_EQ(output("secret.xml"), text);
    EXPECT_EQ(progressOf("secret.xml"), static_cast<std::int64_t>(text.size()));
}

TEST_F(UnzDllPassword, AskedOnceThenRememberedForTheNextMembers) {
    replyWith({"Bonjour1"});
    ASSERT_EQ(run({"secret.xml", "public.xml", "autre.xml"}), 3);
    EXPECT_EQ(askedValues(), std::vector<std::int32_t>{3});
    EXPECT_EQ(eventsOf(A::UNZIP_ACTION_PASSWORD)[0].text, "secret.xml");
    EXPECT_EQ(output("autre.xml"), "<autre/>");
}

TEST_F(UnzDllPassword, WrongThenRightReportsTheBytesOnlyOnce) {
    replyWith({"bonjour1", "Bonjour1"});
    ASSERT_EQ(run({"secret.xml"}, "faux"), 1);
    EXPECT_EQ(askedValues(), (std::vector<std::int32_t>{3, 2}));
    EXPECT_EQ(output("secret.xml"), text);
    EXPECT_EQ(progressOf("secret.xml"), static_cast<std::int64_t>(text.size()));
    EXPECT_FALSE(hasTempFile(outputTree()));
}

TEST_F(UnzDllPassword, CancelSkipsTheMemberSilently) {
    // Two ways to cancel: clear the text, or leave it holding the member's name.
    const std::vector<std::function<void(UnzipCallbackInfo&)>> cancels = {
        [](UnzipCallbackInfo& info) { info.ActionText[0] = '\0'; },
        [](UnzipCallbackInfo& info) { info.ActionValue = 0; }};
    for (const auto& cancel : cancels) {
        events.clear();
        std::filesystem::remove(out() / "public.xml");
        answer = [&cancel](UnzipCallbackInfo& info) {
            if (info.ActionCode == A::UNZIP_ACTION_PASSWORD)
                cancel(info);
            return 0;
        };
        ASSERT_EQ(run({"secret.xml", "public.xml"}), 1);
        EXPECT_EQ(askedValues(), std::vector<std::int32_t>{3});
        EXPECT_TRUE(eventsOf(A::UNZIP_ACTION_MESSAGE).empty());
        EXPECT_EQ(eventsOf(A::UNZIP_ACTION_SKIPPED).at(0).text, "secret.xml");
        EXPECT_EQ(outputTree(), std::vector<std::string>{"public.xml"});
    }
}

TEST_F(UnzDllPassword, AnswerSpeltLikeTheMemberIsTriedOnlyWhenMarkedAsGiven) {
    writeArchive(LibzipZip({{"secret.xml", text, 8, "secret.xml"}}));
    for (const std::int32_t flag : {UNZIP_PASSWORD_GIVEN, 0}) {
        events.clear();
        std::filesystem::remove(out() / "secret.xml");
        answer = [flag](UnzipCallbackInfo& info) {
            if (info.ActionCode == A::UNZIP_ACTION_PASSWORD) // the text already holds the name
                info.ReplyFlag = flag;
            return 0;
        };
        EXPECT_EQ(run({"secret.xml"}), flag == UNZIP_PASSWORD_GIVEN ? 1 : 0);
        EXPECT_EQ(askedValues().size(), 1u);
    }
}

TEST_F(UnzDllPassword, ThirdAnswerIsTriedThoughItLeavesNoAttempt) {
    replyWith({"faux", "bonjour1", "Bonjour1"});
    ASSERT_EQ(run({"secret.xml"}), 1);
    EXPECT_EQ(askedValues(), (std::vector<std::int32_t>{3, 2, 1}));
    EXPECT_EQ(output("secret.xml"), text);
}

TEST_F(UnzDllPassword, AnswerLeavingNoAttemptIsTheLastOne) {
    answer = [](UnzipCallbackInfo& info) {
        if (info.ActionCode == A::UNZIP_ACTION_PASSWORD) {
            std::strcpy(info.ActionText, "faux");
            info.ActionValue = 0;
        }
        return 0;
    };
    ASSERT_EQ(run({"secret.xml"}), 0);
    EXPECT_EQ(askedValues(), std::vector<std::int32_t>{3});
    EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{UNZDLL_MSG_WRONG_PASSWORD});
    EXPECT_TRUE(outputTree().empty());
}

TEST_F(UnzDllPassword, ThreeWrongAnswersEndWithAMessage) {
    // A caller that never counts down is still asked three times only.
    answer = [](UnzipCallbackInfo& info) {
        if (info.ActionCode == A::UNZIP_ACTION_PASSWORD) {
            std::strcpy(info.ActionText, "faux");
            info.ActionValue = 3;
        }
        return 0;
    };
    ASSERT_EQ(run({"secret.xml", "public.xml"}), 1);
    EXPECT_EQ(askedValues(), (std::vector<std::int32_t>{3, 2, 1}));
    EXPECT_EQ(messageCodes(), std::vector<std::int32_t>{UNZDLL_MSG_WRONG_PASSWORD});
    EXPECT_EQ(outputTree(), std::vector<std::string>{"public.xml"});
}

TEST_F(UnzDllTest, PasswordAnswerIsReadNoFurtherThanTheTextBuffer) {
    const std::string password(UNZIP_ACTION_TEXT_SIZE - 1, 'p');
    writeArchive(LibzipZip({{"secret.xml", "<secret/>", 8, password.c_str()}}));
    answer = [](UnzipCallbackInfo& info) {
        if (info.ActionCode == A::UNZIP_ACTION_PASSWORD) {
            std::memset(info.ActionText, 'p', sizeof info.ActionText); // no terminator at all
            info.ActionValue -= 1;
        }
        return 0;
    };
    ASSERT_EQ(run({"secret.xml"}), 1);
    EXPECT_EQ(output("secret.xml"), "<secret/>");
}

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
