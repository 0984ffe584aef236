#!/usr/bin/env bash
# Checks that the code keeps to its map (README, « Organisation du code ») :
#  - the unzip component (src/archive) and the unzip library (src/unzdll) share only the zip
#    format (src/zipformat): neither includes the other;
#  - the core calls nothing of the system: no library loading, process, signal, *at call, nor
#    the headers that bring them (it has standard C++ files only);
#  - with a build folder given: every library links what it uses. Each is built there as a
#    shared library that may leave no symbol undefined (ZEB_LINK_CHECK).
#
#   tools/check-structure.sh [BUILD_FOLDER]
set -eu
cd "$(dirname "$0")/.."
status=0
refuse() {
    echo "check-structure : $1" >&2
    status=1
}

if found=$(grep -rn '#include "unzdll/' src/archive); then
    refuse "src/archive inclut src/unzdll :"$'\n'"$found"
fi
if found=$(grep -rn '#include "archive/' src/unzdll); then
    refuse "src/unzdll inclut src/archive :"$'\n'"$found"
fi
calls='\b(dlopen|dlsym|dlclose|fork|vfork|exec[lv]p?e?|posix_spawn|sigaction|signal|raise|kill|pthread_sigmask|sigprocmask|openat|unlinkat|renameat2?|fstatat|mkdirat|linkat|symlinkat|readlinkat|faccessat|fchmodat|fchownat|utimensat)[[:space:]]*\('
headers='#include <(unistd\.h|fcntl\.h|dlfcn\.h|signal\.h|csignal|dirent\.h|termios\.h|pthread\.h|sys/[a-z]+\.h)>'
if found=$(grep -rnE "$calls|$headers" src/core); then
    refuse "src/core appelle le système :"$'\n'"$found"
fi

if [ $# -ge 1 ]; then
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEB_LINK_CHECK=ON -DZEB_BUILD_TESTS=OFF \
        -DZEB_BUILD_BENCHMARKS=OFF >/dev/null
    if ! cmake --build "$1" -j "$(nproc)" -- -k 0 >"$1/link-check.log" 2>&1; then
        refuse "une bibliothèque utilise ce qu'elle ne lie pas :"$'\n'"$(grep -E 'undefined reference|FAILED' "$1/link-check.log" | head -20)"
    fi
fi
[ "$status" -eq 0 ] && echo "check-structure : la structure est conforme."
exit "$status"
