// Preloaded into zeb-fiches by the tests, to stop or fail it at a chosen system call.
//
//   ZEB_TEST_SIGNAL=N ZEB_TEST_SIGNAL_AT=call:K[:name]
//       sends signal N to the process (as a terminal's Ctrl+C or a kill does) just before the
//       Kth call of `call` (fsync, rename, renameat2, unlinkat, fchdir), counting only the calls
//       whose target's last path component is `name` when given; the call then goes on (unless
//       the signal ends the process). ZEB_TEST_SIGNAL_FIRED=FILE: that file is made when it fires.
//   ZEB_TEST_NO_RENAME_FLAGS=1
//       renameat2 with flags fails with EINVAL, as on FUSE, exFAT, NTFS, SMB and NFS.
//   ZEB_TEST_FAIL_RENAME_TO=TEXT
//       rename and renameat2 to a path that holds TEXT fail with EIO.
//   ZEB_TEST_FAIL_LINK_OF=TEXT
//       linkat to a path that holds TEXT fails as on a full disk (ENOSPC), so that one chosen
//       output of many fails.

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace {

std::atomic<int> g_calls{0};

std::string_view lastComponent(const char* path) {
    std::string_view text = path != nullptr ? path : "";
    const std::size_t slash = text.find_last_of('/');
    return slash == std::string_view::npos ? text : text.substr(slash + 1);
}

void maybeSignal(std::string_view call, const char* target) {
    const char* signal = std::getenv("ZEB_TEST_SIGNAL");
    const char* at = std::getenv("ZEB_TEST_SIGNAL_AT");
    if (signal == nullptr || at == nullptr)
        return;
    std::string_view rule = at;
    if (!rule.starts_with(call) || rule.size() <= call.size() || rule[call.size()] != ':')
        return;
    rule.remove_prefix(call.size() + 1);
    const int count = std::atoi(std::string(rule).c_str());
    if (const std::size_t colon = rule.find(':');
        colon != std::string_view::npos && lastComponent(target) != rule.substr(colon + 1))
        return;
    if (++g_calls != count)
        return;
    if (const char* fired = std::getenv("ZEB_TEST_SIGNAL_FIRED"))
        ::close(::open(fired, O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ::kill(::getpid(), std::atoi(signal));
}

bool failsTo(const char* target, const char* setting, int error) {
    const char* text = std::getenv(setting);
    if (text == nullptr || target == nullptr || std::strstr(target, text) == nullptr)
        return false;
    errno = error;
    return true;
}

template <typename F> F real(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd) {
    maybeSignal("fsync", nullptr);
    return real<int (*)(int)>("fsync")(fd);
}

extern "C" int fchdir(int fd) {
    maybeSignal("fchdir", nullptr);
    return real<int (*)(int)>("fchdir")(fd);
}

extern "C" int unlinkat(int folder, const char* path, int flags) {
    maybeSignal("unlinkat", path);
    return real<int (*)(int, const char*, int)>("unlinkat")(folder, path, flags);
}

extern "C" int rename(const char* from, const char* to) {
    maybeSignal("rename", to);
    if (failsTo(to, "ZEB_TEST_FAIL_RENAME_TO", EIO))
        return -1;
    return real<int (*)(const char*, const char*)>("rename")(from, to);
}

extern "C" int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) {
    maybeSignal("renameat2", to);
    if (failsTo(to, "ZEB_TEST_FAIL_RENAME_TO", EIO))
        return -1;
    if (flags != 0 && std::getenv("ZEB_TEST_NO_RENAME_FLAGS") != nullptr) {
        errno = EINVAL;
        return -1;
    }
    return real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(fromFolder, from,
                                                                                    toFolder, to, flags);
}

extern "C" int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
    if (failsTo(to, "ZEB_TEST_FAIL_LINK_OF", ENOSPC))
        return -1;
    return real<int (*)(int, const char*, int, const char*, int)>("linkat")(fromFolder, from, toFolder, to,
                                                                            flags);
}
