#include "ArchiveImport.h"

#include "Interruption.h"
#include "archive/ExportLoad.h"
#include "archive/Zip.h"
#include "core/Cp1252.h"

#include <fcntl.h>
#include <iostream>
#include <memory>
#include <mutex>
#include <termios.h>
#include <unistd.h>

namespace zeb::cli {
namespace fs = std::filesystem;

namespace {

constexpr const char* WhyThisAnswer = "la ligne de commande ne garde jamais un fichier douteux";

// The component's questions at a terminal: messages go to stderr, every question gets the
// answer that writes nothing doubtful (a damaged member is not kept), said after the question
// so that the user is not left waiting for a prompt that never comes, and a password is read
// from the terminal without echo when there is one.
class TerminalPrompts final : public ZipPrompts {
public:
    MessageAnswer messageBox(const std::string& text, MessageButtons buttons, MessageIcon, int) override {
        std::cerr << "zeb-fiches : " << PrintableUtf8(text) << '\n';
        switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::OkCancel:
            std::cerr << "zeb-fiches : réponse : annuler (" << WhyThisAnswer << ")\n";
            return MessageAnswer::Cancel;
        case MessageButtons::YesNoCancel:
            std::cerr << "zeb-fiches : réponse : non (" << WhyThisAnswer << ")\n";
            return MessageAnswer::No;
        }
        return MessageAnswer::Cancel;
    }

    std::optional<std::string> passwordBox(const std::string& prompt) override {
        const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (tty < 0)
            return std::nullopt;
        const std::string question = prompt + " : ";
        // A prompt that cannot be shown still gets its answer read; nothing to do about it here.
        [[maybe_unused]] const ssize_t asked = ::write(tty, question.data(), question.size());
        termios saved{};
        const bool terminal = ::tcgetattr(tty, &saved) == 0;
        if (terminal) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            const SignalsHeld held;
            RestoreTerminalOnInterruption(tty, saved);
            ::tcsetattr(tty, TCSAFLUSH, &quiet);
        }
        std::string answer;
        for (char c; ::read(tty, &c, 1) == 1 && c != '\n';)
            answer += c;
        if (terminal) {
            const SignalsHeld held;
            ::tcsetattr(tty, TCSAFLUSH, &saved);
            ForgetTerminalOnInterruption();
        }
        [[maybe_unused]] const ssize_t ended = ::write(tty, "\n", 1);
        ::close(tty);
        return answer;
    }
};

} // namespace

std::vector<std::string> LoadClassExport(const fs::path& source, const fs::path& workFolder,
                                         ProgramState& state) {
    TerminalPrompts prompts;
    LinuxVolumeService volumes;
    // Classes load on several threads: the component is theirs one at a time, and only
    // the import runs alongside another class's.
    std::unique_lock component(UnzipComponentMutex());
    auto zip = std::make_unique<TZip>(prompts, volumes);
    zip->ShowProgressDialog = false;
    return LoadExport(*zip, source, {workFolder / "archive", workFolder}, state, DefaultSearchWords(), [&] {
        zip.reset();
        component.unlock();
    });
}

} // namespace zeb::cli
