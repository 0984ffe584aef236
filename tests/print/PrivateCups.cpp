#include "PrivateCups.h"

#include "Process.h"
#include "TempFolder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cups/cups.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <initializer_list>
#include <iterator>
#include <pwd.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace zeb::testing {

namespace {

constexpr auto kStartTimeout = 5s;
constexpr auto kStopTimeout = 5s;
constexpr auto kPollInterval = 2ms;
constexpr auto kPokeInterval = 20ms;

// Saves $3 and the data under temporary names and renames them when complete, the data last, so a
// reader that sees N.data always finds the whole job and its N.title. With no argument a backend is
// being asked for its devices and must answer and succeed.
constexpr const char* kCaptureBackend = R"(#!/bin/sh
if [ $# -eq 0 ]; then
    echo 'direct capture "Unknown" "ZEB test capture"'
    exit 0
fi
folder=${DEVICE_URI#capture:}
partial="$folder/.$1.partial"
printf '%s' "$3" > "$partial.title" || exit 1
if [ -n "$6" ]; then cat -- "$6"; else cat; fi > "$partial.data" || exit 1
mv -f -- "$partial.title" "$folder/$1.title" || exit 1
mv -f -- "$partial.data" "$folder/$1.data" || exit 1
exit 0
)";

// @DIR@ stands for the private folder.
constexpr const char* kFilesConf = R"(# Everything cupsd writes stays in the private folder.
ServerRoot @DIR@/etc
ServerBin @DIR@/bin
RequestRoot @DIR@/spool
# Under RequestRoot, cupsd gives TempDir the sticky, lp-writable mode itself.
TempDir @DIR@/spool/tmp
CacheDir @DIR@/cache
StateDir @DIR@/state
ErrorLog @DIR@/log/error_log
AccessLog @DIR@/log/access_log
PageLog @DIR@/log/page_log
# Left to its default, this one would be written in /run/cups.
Printcap @DIR@/state/printcap
# A throwaway daemon: no fsync on every job and state file, which costs dearly on a busy disk.
SyncOnClose No
)";

constexpr const char* kCupsdConf = R"(# A socket in the private folder, nothing shared or browsed.
Listen @DIR@/run/cups.sock
Browsing No
BrowseLocalProtocols none
DefaultShared No
WebInterface No
LogLevel info
MaxLogSize 0
# A failing job is dropped instead of stopping its queue, so one broken test cannot hold up the next.
ErrorPolicy abort-job
# Whoever reaches the socket may do anything, so tests need no authentication.
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
)";

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

void WriteText(const fs::path& file, const std::string& text, fs::perms perms) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
    fs::permissions(file, perms);
}

std::string LastLines(const std::string& text, std::size_t count) {
    std::size_t start = text.size();
    while (start > 0 && (text[start - 1] == '\n' || text[start - 1] == ' '))
        --start;
    const std::size_t end = start;
    for (std::size_t lines = 0; start > 0; --start)
        if (text[start - 1] == '\n' && ++lines == count)
            break;
    return text.substr(start, end - start);
}

bool IsExecutable(const fs::path& file) {
    return ::access(file.c_str(), X_OK) == 0;
}

std::optional<fs::path> FindSystemProgram(const char* name) {
    std::vector<fs::path> folders;
    if (const char* path = std::getenv("PATH")) {
        std::istringstream in(path);
        for (std::string folder; std::getline(in, folder, ':');)
            if (!folder.empty())
                folders.emplace_back(folder);
    }
    // sbin is often missing from an ordinary user's PATH.
    for (const char* folder : {"/usr/sbin", "/usr/local/sbin", "/sbin"})
        folders.emplace_back(folder);
    for (const fs::path& folder : folders)
        if (IsExecutable(folder / name))
            return folder / name;
    return std::nullopt;
}

std::optional<fs::path> FirstHolding(std::initializer_list<const char*> candidates, const char* member) {
    for (const char* candidate : candidates) {
        std::error_code ignored;
        if (fs::exists(fs::path(candidate) / member, ignored))
            return fs::path(candidate);
    }
    return std::nullopt;
}

bool CanConnect(const std::string& socketPath) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    sockaddr* generic = static_cast<sockaddr*>(static_cast<void*>(&address));
    const bool connected = ::connect(fd, generic, sizeof address) == 0;
    ::close(fd);
    return connected;
}

// The configuration files and the device URIs take the folder's path as is: keep it to characters that
// need no quoting anywhere.
bool IsPlainPath(const std::string& path) {
    return std::all_of(path.begin(), path.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
               c == '.' || c == '_' || c == '-';
    });
}

// The backends run as lp when cupsd runs as root: every folder above the private one must let others in.
bool OthersCanTraverse(const fs::path& folder) {
    for (fs::path p = folder;; p = p.parent_path()) {
        struct stat info {};
        if (::stat(p.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0)
            return false;
        if (p == p.parent_path())
            return true;
    }
}

fs::path TemporaryBase() {
    std::error_code ignored;
    fs::path base = fs::temp_directory_path(ignored);
    const std::size_t socketRoom = sizeof(sockaddr_un::sun_path) - 1;
    const std::size_t needed = base.string().size() + std::string("/zeb-cups-XXXXXX/run/cups.sock").size();
    if (base.empty() || !IsPlainPath(base.string()) || needed > socketRoom ||
        (::geteuid() == 0 && !OthersCanTraverse(base)))
        base = "/tmp";
    return base;
}

// Runs the program with the output going to a file and no other descriptor of ours.
pid_t Spawn(std::vector<std::string> args, const fs::path& output) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int console = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (console < 0 || nothing < 0)
        throw std::runtime_error("cannot open " + output.string());
    sigset_t noSignals;
    sigemptyset(&noSignals);
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Should the test binary die without its destructors (a crash, a ctest timeout), cupsd goes too.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        ::sigprocmask(SIG_SETMASK, &noSignals, nullptr);
        ::dup2(nothing, 0);
        ::dup2(console, 1);
        ::dup2(console, 2);
        // Inherited descriptors (ctest's pipes among them) would keep ctest waiting on a straggler.
        ::close_range(3, ~0U, 0);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    const int forkError = errno;
    ::close(console);
    ::close(nothing);
    if (pid < 0)
        throw std::runtime_error(std::string("cannot fork: ") + std::strerror(forkError));
    return pid;
}

std::string GroupName(gid_t gid) {
    const group* entry = ::getgrgid(gid);
    return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

} // namespace

PrivateCups::PrivateCups(fs::path folder) : folder_(std::move(folder)) {}

std::string PrivateCups::SocketPath() const {
    return (folder_ / "run" / "cups.sock").string();
}

std::unique_ptr<PrivateCups> PrivateCups::Start(std::string& whyNot) {
    const std::optional<fs::path> cupsd = FindSystemProgram("cupsd");
    if (!cupsd) {
        whyNot = "cupsd not installed (looked in PATH, /usr/sbin, /usr/local/sbin and /sbin)";
        return nullptr;
    }
    const std::optional<fs::path> systemBin =
        FirstHolding({"/usr/lib/cups", "/usr/libexec/cups", "/usr/local/lib/cups", "/usr/local/libexec/cups"},
                     "daemon/cups-exec");
    if (!systemBin) {
        whyNot = "cupsd's helper cups-exec not found (looked under /usr/lib/cups and /usr/libexec/cups)";
        return nullptr;
    }
    const std::optional<fs::path> dataDir =
        FirstHolding({"/usr/share/cups", "/usr/local/share/cups"}, "mime/mime.types");
    if (!dataDir) {
        whyNot = "CUPS data not found (no mime/mime.types under /usr/share/cups)";
        return nullptr;
    }
    // Run as root, cupsd runs its backends as lp.
    const bool root = ::geteuid() == 0;
    const passwd* lp = root ? ::getpwnam("lp") : nullptr;
    if (root && lp == nullptr) {
        whyNot = "no lp user for cupsd, running as root, to run its backends as";
        return nullptr;
    }
    const std::string backendUser = lp != nullptr ? lp->pw_name : "";
    const uid_t backendUid = lp != nullptr ? lp->pw_uid : 0;
    const gid_t backendGid = lp != nullptr ? lp->pw_gid : 0;

    std::string pattern = (TemporaryBase() / "zeb-cups-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        whyNot = "cannot make a private CUPS folder " + pattern + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<PrivateCups> cups(new PrivateCups(pattern));
    try {
        const fs::path& dir = cups->folder_;
        const auto traversable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec;
        fs::permissions(dir, traversable);
        for (const char* sub :
             {"etc", "bin", "bin/backend", "spool", "spool/tmp", "cache", "state", "log", "run", "out"}) {
            fs::create_directory(dir / sub);
            fs::permissions(dir / sub, traversable);
        }
        for (const char* sub : {"filter", "daemon", "notifier", "cgi-bin", "monitor", "driver"})
            if (fs::exists(*systemBin / sub))
                fs::create_directory_symlink(*systemBin / sub, dir / "bin" / sub);
        WriteText(dir / "bin/backend/capture", kCaptureBackend, traversable);
        if (root) {
            cups->backendUid_ = backendUid;
            cups->backendGid_ = backendGid;
        }

        std::string files = ReplaceAll(kFilesConf, "@DIR@", dir.string());
        files += "DataDir " + dataDir->string() + "\nSystemGroup " + GroupName(::getegid()) + "\n";
        if (root)
            files += "User " + backendUser + "\nGroup " + GroupName(backendGid) + "\n";
        const auto privateFile = fs::perms::owner_read | fs::perms::owner_write;
        WriteText(dir / "etc/cups-files.conf", files, privateFile);
        WriteText(dir / "etc/cupsd.conf", ReplaceAll(kCupsdConf, "@DIR@", dir.string()), privateFile);

        cups->Launch(cupsd->string());
    } catch (const std::exception& e) {
        whyNot = std::string("cupsd did not come up: ") + e.what();
        return nullptr;
    }
    cups->PointProcessHere();
    return cups;
}

void PrivateCups::Launch(const std::string& cupsd) {
    const std::vector<std::string> args = {cupsd, "-c", (folder_ / "etc/cupsd.conf").string(), "-s",
                                           (folder_ / "etc/cups-files.conf").string()};
    std::vector<std::string> daemonArgs = args;
    daemonArgs.insert(daemonArgs.begin() + 1, "-f");
    const fs::path console = folder_ / "log/cupsd_console";
    pid_ = Spawn(daemonArgs, console);

    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    const std::string socketPath = SocketPath();
    for (;;) {
        if (CanConnect(socketPath))
            return;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            // Configuration errors found in the foreground go to syslog, which a test machine may not
            // have; the checking mode prints them.
            std::vector<std::string> checkArgs = args;
            checkArgs.insert(checkArgs.begin() + 1, "-t");
            int checkStatus = 0;
            ::waitpid(Spawn(checkArgs, console), &checkStatus, 0);
            throw std::runtime_error("it stopped at once (" +
                                     (WIFEXITED(status) ? "status " + std::to_string(WEXITSTATUS(status))
                                                        : "signal " + std::to_string(WTERMSIG(status))) +
                                     "): " + LastLines(test::readFile(console), 5) + " " +
                                     LastLines(ErrorLog(), 10));
        }
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("no answer on " + socketPath + " after " +
                                     std::to_string(kStartTimeout.count()) +
                                     " s: " + LastLines(ErrorLog(), 10));
        std::this_thread::sleep_for(kPollInterval);
    }
}

void PrivateCups::PointProcessHere() {
    environment_.emplace({"CUPS_SERVER", "PRINTER", "LPDEST"});
    const std::string socketPath = SocketPath();
    ::setenv("CUPS_SERVER", socketPath.c_str(), 1);
    ::unsetenv("PRINTER");
    ::unsetenv("LPDEST");
    // libcups keeps its server per thread once asked; the variable is for other threads and children.
    cupsSetServer(socketPath.c_str());
}

PrivateCups::~PrivateCups() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        const auto start = std::chrono::steady_clock::now();
        auto nextPoke = start + kPokeInterval;
        const std::string socketPath = SocketPath();
        for (;;) {
            // cupsd notices SIGTERM when the signal interrupts its wait for work; one landing just before
            // that wait begins goes unseen for a second, unless a connection wakes it up.
            if (std::chrono::steady_clock::now() >= nextPoke) {
                CanConnect(socketPath);
                nextPoke += kPokeInterval;
            }
            int status = 0;
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_ || (done < 0 && errno == ECHILD))
                break;
            if (std::chrono::steady_clock::now() > start + kStopTimeout) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
    }
    if (environment_) {
        environment_.reset();
        cupsSetServer(std::getenv("CUPS_SERVER")); // the default server when there is none
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

fs::path PrivateCups::CaptureFolder(const std::string& queue) const {
    // The name becomes a folder and part of a URI; CUPS itself forbids most other characters anyway.
    const bool plain = !queue.empty() && queue.size() < 128 && queue != "." && queue != ".." &&
                       std::all_of(queue.begin(), queue.end(), [](char c) {
                           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                  (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
                       });
    if (!plain)
        throw std::runtime_error("queue name '" + queue +
                                 "' is not made of letters, digits, '.', '_' and '-'");
    return folder_ / "out" / queue;
}

std::string PrivateCups::AdminCommand() const {
    const std::optional<fs::path> lpadmin = FindSystemProgram("lpadmin");
    if (!lpadmin)
        throw std::runtime_error(
            "lpadmin not installed (looked in PATH, /usr/sbin, /usr/local/sbin and /sbin)");
    return "CUPS_SERVER=" + test::ShellQuoted(SocketPath()) + " " + test::ShellQuoted(lpadmin->string());
}

void PrivateCups::SendAdmin(int operation, const std::string& queue, const char* what,
                            const std::string& deviceUri) const {
    const std::string socketPath = SocketPath();
    // A connection of its own, so administration does not depend on the calling thread's libcups state.
    http_t* http = httpConnect2(socketPath.c_str(), ippPort(), nullptr, AF_LOCAL, HTTP_ENCRYPTION_NEVER, 1,
                                5000, nullptr);
    if (http == nullptr)
        throw std::runtime_error(std::string("cannot ") + what + " '" + queue + "': no answer on " +
                                 socketPath);
    ipp_t* request = ippNewRequest(static_cast<ipp_op_t>(operation));
    std::array<char, HTTP_MAX_URI> uri{};
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri.data(), static_cast<int>(uri.size()), "ipp", nullptr,
                     "localhost", 0, "/printers/%s", queue.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.data());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    if (!deviceUri.empty()) {
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, deviceUri.c_str());
        ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
        ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    }
    ippDelete(cupsDoRequest(http, request, "/admin/"));
    const ipp_status_t status = cupsLastError();
    const std::string reason = cupsLastErrorString();
    httpClose(http);
    if (status > IPP_STATUS_OK_EVENTS_COMPLETE)
        throw std::runtime_error(std::string("cannot ") + what + " '" + queue + "': " + reason);
}

void PrivateCups::AddCaptureQueue(const std::string& name, bool makeDefault) {
    const fs::path capture = CaptureFolder(name);
    fs::create_directories(capture);
    if (backendUid_ && ::chown(capture.c_str(), *backendUid_, *backendGid_) != 0)
        throw std::runtime_error("cannot hand " + capture.string() + " to the backend's user");
    // No PPD: a raw queue, whose backend gets the submitted bytes untouched.
    SendAdmin(IPP_OP_CUPS_ADD_MODIFY_PRINTER, name, "add queue", "capture:" + capture.string());
    if (makeDefault)
        SendAdmin(IPP_OP_CUPS_SET_DEFAULT, name, "make default the queue");
}

void PrivateCups::RemoveQueue(const std::string& name) {
    const fs::path capture = CaptureFolder(name);
    SendAdmin(IPP_OP_CUPS_DELETE_PRINTER, name, "remove queue");
    fs::remove_all(capture);
}

void PrivateCups::RejectJobs(const std::string& name) {
    SendAdmin(IPP_OP_CUPS_REJECT_JOBS, name, "reject jobs on queue");
}

void PrivateCups::AcceptJobs(const std::string& name) {
    SendAdmin(IPP_OP_CUPS_ACCEPT_JOBS, name, "accept jobs on queue");
}

void PrivateCups::Pause(const std::string& name) {
    SendAdmin(IPP_OP_PAUSE_PRINTER, name, "pause queue");
}

void PrivateCups::Resume(const std::string& name) {
    SendAdmin(IPP_OP_RESUME_PRINTER, name, "resume queue");
}

void PrivateCups::ClearDefault() {
    // IPP can make a queue the default but not unmake it; cupsd forgets the default when that queue is
    // deleted, so a stand-in takes the role and goes, and the real queues are left untouched.
    const std::string standIn = "zeb-no-default";
    AddCaptureQueue(standIn, true);
    RemoveQueue(standIn);
}

std::vector<CapturedJob> PrivateCups::Jobs(const std::string& queue) const {
    const fs::path capture = CaptureFolder(queue);
    std::vector<CapturedJob> jobs;
    std::error_code error;
    for (fs::directory_iterator it(capture, error), end; !error && it != end; it.increment(error)) {
        const fs::path& file = it->path();
        const std::string stem = file.stem().string();
        int id = 0;
        const auto [last, problem] = std::from_chars(stem.data(), stem.data() + stem.size(), id);
        if (file.extension() != ".data" || problem != std::errc() || last != stem.data() + stem.size())
            continue;
        jobs.push_back({id, test::readFile(capture / (stem + ".title")), file});
    }
    std::sort(jobs.begin(), jobs.end(),
              [](const CapturedJob& a, const CapturedJob& b) { return a.id < b.id; });
    return jobs;
}

std::vector<CapturedJob> PrivateCups::WaitForJobs(const std::string& queue, std::size_t count,
                                                  std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::vector<CapturedJob> jobs = Jobs(queue);
        if (jobs.size() >= count || std::chrono::steady_clock::now() >= deadline)
            return jobs;
        std::this_thread::sleep_for(kPollInterval);
    }
}

void PrivateCups::ClearJobs(const std::string& queue) {
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(CaptureFolder(queue), error), end; !error && it != end;
         it.increment(error))
        files.push_back(it->path());
    for (const fs::path& file : files)
        fs::remove_all(file);
}

std::string PrivateCups::ErrorLog() const {
    return test::readFile(folder_ / "log/error_log");
}

PrivateCups* SharedCups(std::string& whyNot) {
    static std::string why;
    static const std::unique_ptr<PrivateCups> cups = PrivateCups::Start(why);
    whyNot = why;
    return cups.get();
}

} // namespace zeb::testing
