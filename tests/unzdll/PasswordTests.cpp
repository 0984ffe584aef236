// Encrypted members: the password questions, through libzip (a library built without it refuses
// those members, as the last test and the corpus show).

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

// Stopping at the password question ends the run at once, and the member is not there.
TEST_F(UnzDllPassword, StoppingAtTheQuestionLeavesNothing) {
    answer = [](UnzipCallbackInfo& info) { return info.ActionCode == A::UNZIP_ACTION_PASSWORD ? -1 : 0; };
    EXPECT_EQ(run({"public.xml", "secret.xml"}), UNZDLL_ERROR_STOPPED);
    EXPECT_EQ(events.back().action, A::UNZIP_ACTION_PASSWORD) << "nothing may follow the stop";
    EXPECT_EQ(outputTree(), std::vector<std::string>{"public.xml"});
}

} // namespace
} // namespace zeb::test
