// Preloaded into zeb-fiches by the tests: raises the signal named by ZEB_TEST_SIGNAL_AT_FSYNC
// when a file is flushed, which is the moment a saved file is complete but not yet in place.
// With ZEB_TEST_SIGNAL_AT_FSYNC_COUNT=N, only at the Nth flush, and sent to the whole process
// as a terminal's Ctrl+C is (any thread that does not hold it may take it).

#include <atomic>
#include <csignal>
#include <cstdlib>
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
