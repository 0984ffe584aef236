#include "ArchiveImport.h"

#include "archive/Zip.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "load/ExportLoad.h"
#include "platform/Platform.h"

#include <iostream>
#include <memory>
#include <mutex>

namespace zeb::cli {
namespace fs = std::filesystem;

namespace {

constexpr const char* WhyThisAnswer = "la ligne de commande ne garde jamais un fichier douteux";

// The component's questions: messages go to stderr (or to the caller's list), every question
// gets the answer that writes nothing doubtful, said after the question so that the user is not
// left waiting for a prompt that never comes; a password comes from the caller or the terminal.
class CommandPrompts final : public ZipPrompts {
public:
    explicit CommandPrompts(ExportQuestions& questions) : questions_(questions) {}

    MessageAnswer messageBox(const std::string& text, MessageButtons buttons, MessageIcon, int) override {
        switch (buttons) {
        case MessageButtons::Ok:
            say(text);
            return MessageAnswer::Ok;
        case MessageButtons::OkCancel:
            say(text);
            say(std::string("réponse : annuler (") + WhyThisAnswer + ")");
            return MessageAnswer::Cancel;
        case MessageButtons::YesNoCancel:
            say(text);
            say(std::string("réponse : non (") + WhyThisAnswer + ")");
            return MessageAnswer::No;
        }
        return MessageAnswer::Cancel;
    }

    std::optional<std::string> passwordBox(const std::string& prompt) override {
        if (questions_.password && !givenOnce_) {
            givenOnce_ = true;
            return questions_.password;
        }
        std::optional<std::string> typed =
            questions_.askAtTerminal ? ReadHiddenAnswer("zeb-fiches : " + prompt + " : ") : std::nullopt;
        if (!typed)
            questions_.passwordWanted = true;
        return typed;
    }

private:
    void say(const std::string& text) {
        if (questions_.said != nullptr)
            questions_.said->push_back(text);
        else
            std::cerr << "zeb-fiches : " << PrintableUtf8(text) << '\n';
    }

    ExportQuestions& questions_;
    bool givenOnce_ = false;
};

} // namespace

std::vector<std::string> LoadClassExport(const fs::path& source, const fs::path& workFolder,
                                         ProgramState& state, ExportQuestions& questions) {
    CommandPrompts prompts(questions);
    LinuxVolumeService volumes;
    // Classes load on several threads: the component is theirs one at a time, and only
    // the import runs alongside another class's.
    std::unique_lock component(UnzipComponentMutex());
    auto zip = std::make_unique<TZip>(prompts, volumes);
    zip->ShowProgressDialog = false;
    try {
        return LoadExport(*zip, source, {workFolder / "archive", workFolder}, state, DefaultSearchWords(),
                          [&] {
                              zip.reset();
                              component.unlock();
                          });
    } catch (const ZebError&) {
        // A signal during a question leaves the member unread: that is no fault of the archive.
        ThrowIfInterrupted();
        throw;
    }
}

std::vector<std::string> LoadClassExport(const fs::path& source, const fs::path& workFolder,
                                         ProgramState& state) {
    ExportQuestions questions;
    return LoadClassExport(source, workFolder, state, questions);
}

} // namespace zeb::cli
