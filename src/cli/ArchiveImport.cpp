#include "ArchiveImport.h"

#include "Interruption.h"
#include "archive/ExportLoad.h"
#include "archive/Zip.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "core/WorkFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string_view>
#include <termios.h>
#include <unistd.h>

namespace zeb::cli {
namespace fs = std::filesystem;

namespace {

constexpr const char* WhyThisAnswer = "la ligne de commande ne garde jamais un fichier douteux";


void writeTo(int fd, std::string_view text) {
    // A text that cannot be shown still gets its answer read; nothing to do about it here.
    [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
}

// Reads one line from the terminal, ending early on a signal. False when none was read whole.
bool readLine(int tty, std::string& answer) {
    for (;;) {
        pollfd waits[2] = {{tty, POLLIN, 0}, {InterruptionDescriptor(), POLLIN, 0}};
        const int count = InterruptionDescriptor() >= 0 ? 2 : 1;
        if (::poll(waits, static_cast<nfds_t>(count), -1) < 0 && errno != EINTR)
            return false;
        if (InterruptionRequested())
            return false;
        if ((waits[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;
        char c = 0;
        const ssize_t got = ::read(tty, &c, 1);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0 || c == '\n')
            return got > 0;
        answer += c;
    }
}

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

bool TerminalAvailable() {
    return FileDescriptor(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)).get() >= 0;
}

std::optional<std::string> ReadHiddenAnswer(const std::string& question) {
    const FileDescriptor tty(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (tty.get() < 0)
        return std::nullopt;
    writeTo(tty.get(), question);
    termios saved{};
    const bool terminal = ::tcgetattr(tty.get(), &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        const SignalsHeld held;
        RestoreTerminalOnInterruption(tty.get(), saved);
        ::tcsetattr(tty.get(), TCSAFLUSH, &quiet);
    }
    std::string answer;
    const bool read = readLine(tty.get(), answer);
    if (terminal) {
        const SignalsHeld held;
        ::tcsetattr(tty.get(), TCSAFLUSH, &saved);
        ForgetTerminalOnInterruption();
    }
    // The answer was typed without echo: what follows starts on a line of its own.
    writeTo(tty.get(), "\n");
    if (!read)
        return std::nullopt;
    return answer;
}

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
