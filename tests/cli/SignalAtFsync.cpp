// Preloaded into zeb-fiches by the tests. With ZEB_TEST_SIGNAL_AT_FSYNC, raises that signal
// when a file is flushed, which is the moment a saved file is complete but not yet in place.
// With ZEB_TEST_SIGNAL_AT_FSYNC_COUNT=N, only at the Nth flush, and sent to the whole process
// as a terminal's Ctrl+C is (any thread that does not hold it may take it).
// With ZEB_TEST_FAIL_LINK_OF, giving a made file a name that holds that text fails as on a
// full disk, so that one chosen output of many fails.

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

extern "C" int fsync(int fd) {
    static std::atomic<int> calls{0};
    if (const char* signal = std::getenv("ZEB_TEST_SIGNAL_AT_FSYNC")) {
        const char* count = std::getenv("ZEB_TEST_SIGNAL_AT_FSYNC_COUNT");
        if (count == nullptr)
            std::raise(std::atoi(signal));
        else if (++calls == std::atoi(count))
            ::kill(::getpid(), std::atoi(signal));
    }
    using Fsync = int (*)(int);
    const auto real = reinterpret_cast<Fsync>(::dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}

extern "C" int linkat(int oldFolder, const char* oldPath, int newFolder, const char* newPath, int flags) {
    if (const char* pattern = std::getenv("ZEB_TEST_FAIL_LINK_OF");
        pattern && std::strstr(newPath, pattern)) {
        errno = ENOSPC;
        return -1;
    }
    using Linkat = int (*)(int, const char*, int, const char*, int);
    const auto real = reinterpret_cast<Linkat>(::dlsym(RTLD_NEXT, "linkat"));
    return real(oldFolder, oldPath, newFolder, newPath, flags);
}
