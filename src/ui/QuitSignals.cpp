#include "QuitSignals.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace zeb {
namespace {

constexpr std::array<int, 3> HandledSignals{SIGTERM, SIGHUP, SIGINT};
// The write end for the handler; a plain int is all a signal handler may touch.
volatile std::sig_atomic_t signalWriteEnd = -1;
std::array<int, 2> pipeEnds{-1, -1};

extern "C" void onQuitSignal(int number) {
    const int saved = errno;
    const char byte = static_cast<char>(number);
    // The socket does not block: when it is full, a quit is already on its way.
    [[maybe_unused]] const ssize_t sent = ::write(signalWriteEnd, &byte, 1); // a full pipe already wakes the loop
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals(std::function<void()> quit, QObject* parent)
    : QObject(parent), quit_(std::move(quit)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pipeEnds.data()) != 0)
        throw std::runtime_error("Impossible de préparer l'arrêt propre du programme.");
    signalWriteEnd = pipeEnds[0];
    notifier_ = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        std::array<char, 16> bytes{};
        while (::read(pipeEnds[1], bytes.data(), bytes.size()) > 0) {
        }
        quit_();
    });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : HandledSignals)
        ::sigaction(number, &action, nullptr);
}

QuitSignals::~QuitSignals() {
    for (int number : HandledSignals)
        ::signal(number, SIG_DFL);
    signalWriteEnd = -1;
    delete notifier_;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds = {-1, -1};
}

} // namespace zeb
