#pragma once

#include "archive/Zip.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zeb::test {

// Answers the component's questions from a script and keeps what it was asked.
class ScriptedPrompts final : public ZipPrompts {
public:
    struct Asked {
        std::string text;
        MessageButtons buttons;
        MessageIcon icon;
        int defaultButton;
    };

    MessageAnswer messageBox(const std::string& text, MessageButtons buttons, MessageIcon icon,
                             int defaultButton) override {
        asked.push_back({text, buttons, icon, defaultButton});
        if (answers.empty())
            return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    // With no scripted answer left, the user gives none.
    std::optional<std::string> passwordBox(const std::string& prompt) override {
        passwordPrompts.push_back(prompt);
        if (passwords.empty())
            return std::nullopt;
        std::optional<std::string> answer = passwords.front();
        passwords.pop_front();
        return answer;
    }
    void processPendingEvents() override {
        ++pumps;
        if (onPump)
            onPump();
    }

    std::deque<MessageAnswer> answers;
    std::deque<std::optional<std::string>> passwords;
    std::vector<Asked> asked;
    std::vector<std::string> passwordPrompts;
    int pumps = 0;
    std::function<void()> onPump;
};

// A volume service with removable disks whose label the test sets.
class FakeVolumes final : public VolumeService {
public:
    bool canReach(const std::string&) override { return reachable; }
    bool isRemovable(const std::string&) override { return removable; }
    std::string volumeLabel(const std::string&) override {
        ++labelReads;
        if (onLabel)
            onLabel();
        return label;
    }
    bool reachable = true;
    bool removable = false;
    std::string label;
    int labelReads = 0;
    std::function<void()> onLabel;
};

} // namespace zeb::test
