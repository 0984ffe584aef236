// Preloaded into zeb-fiches by the tests: raises the signal named by ZEB_TEST_SIGNAL_AT_FSYNC
// when a file is flushed, which is the moment a saved file is complete but not yet in place.

#include <csignal>
#include <cstdlib>
#include <dlfcn.h>

extern "C" int fsync(int fd) {
    if (const char* signal = std::getenv("ZEB_TEST_SIGNAL_AT_FSYNC"))
        std::raise(std::atoi(signal));
    using Fsync = int (*)(int);
    const auto real = reinterpret_cast<Fsync>(::dlsym(RTLD_NEXT, "fsync"));
    return real(fd);
}
