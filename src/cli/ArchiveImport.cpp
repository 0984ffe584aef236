#include "ArchiveImport.h"

#include "Interruption.h"
#include "archive/Zip.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "core/ExportScan.h"

#include <fcntl.h>
#include <iostream>
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

// The extraction makes its folder the current one; the paths the user gave are relative
// to the folder she was in, which comes back when the extraction is over.
class CurrentFolderGuard {
public:
    CurrentFolderGuard() : fd_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~CurrentFolderGuard() {
        if (fd_ >= 0) {
            // A destructor has no one to tell that the folder could not come back.
            [[maybe_unused]] const int back = ::fchdir(fd_);
            ::close(fd_);
        }
    }
    CurrentFolderGuard(const CurrentFolderGuard&) = delete;
    CurrentFolderGuard& operator=(const CurrentFolderGuard&) = delete;

private:
    int fd_;
};

std::string reported(const std::vector<std::string>& messages) {
    std::string text;
    for (const std::string& message : messages)
        text += "\n  " + PrintableUtf8(message);
    return text;
}

} // namespace

fs::path ExtractExportDocument(const fs::path& archive, const fs::path& folder) {
    std::error_code error;
    // A folder, a pipe or a device is the component's to name.
    if (!fs::exists(archive, error))
        throw ZebError("l'archive « " + archive.string() + " » est introuvable.");
    TerminalPrompts prompts;
    LinuxVolumeService volumes;
    TZip zip(prompts, volumes);
    zip.ShowProgressDialog = false;
    std::int32_t result = 0;
    try {
        zip.SetZipFileName(archive.string());
        const CurrentFolderGuard back;
        result = ExtractAllMembers(zip, folder.string());
    } catch (const ZipException& failure) {
        throw ZebError(std::string(failure.what()) + reported(zip.LibraryMessages));
    }
    const std::vector<fs::path> documents = ListerFichiersXml(folder);
    if (result < 0 || documents.empty()) {
        const std::string locked = zip.PasswordProtectedMessage();
        throw ZebError("l'archive « " + archive.string() + " » n'a donné aucun document d'export." +
                       (locked.empty() ? "" : "\n  " + locked) + reported(zip.LibraryMessages));
    }
    for (const std::string& message : zip.LibraryMessages)
        std::cerr << "zeb-fiches : attention : " << PrintableUtf8(message) << '\n';
    return documents.front();
}

} // namespace zeb::cli
