// zeb_bench_startup_ratio [RUNS [PROGRAM [BARE]]]: the program's start-up against the bare Qt
// program's, in the same run (another build of either may be named, to compare builds). Each run is a whole
// process, from its start to its main window painted; the two programs take turns so that whatever else the
// machine does weighs on both alike. Reports the median wall time and the median peak resident memory of
// each, and their ratios.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Sample {
    double milliseconds = 0;    // wall time, what the user waits
    double cpuMilliseconds = 0; // user and system time: less swayed by what else the machine runs
    double mebibytes = 0;
};

double toMilliseconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1000.0 + static_cast<double>(time.tv_usec) / 1000.0;
}

// One whole process; its own peak resident memory comes from wait4, not the run's total.
Sample runOnce(const std::string& program) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        std::exit(2);
    }
    if (child == 0) {
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        std::perror(program.c_str());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", program.c_str());
        std::exit(2);
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    return {elapsed.count(), toMilliseconds(usage.ru_utime) + toMilliseconds(usage.ru_stime),
            static_cast<double>(usage.ru_maxrss) / 1024.0};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

Sample summarize(const std::vector<Sample>& samples) {
    std::vector<double> times, cpuTimes, memories;
    for (const Sample& sample : samples) {
        times.push_back(sample.milliseconds);
        cpuTimes.push_back(sample.cpuMilliseconds);
        memories.push_back(sample.mebibytes);
    }
    return {median(times), median(cpuTimes), median(memories)};
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(std::atoi(argv[1]), 1) : 21;
    const std::string program = argc > 2 ? argv[2] : ZEB_BENCH_STARTUP;
    const std::string bare = argc > 3 ? argv[3] : ZEB_BENCH_BARE;

    // Both on the display when there is one (what a teacher waits for: the window shown by
    // the display server), offscreen otherwise, unless told; each run on a fresh private home
    // of its own (PrivateHome.h).
    const bool display = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
    if (!display)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const char* platform = std::getenv("QT_QPA_PLATFORM");

    // One of each first, unmeasured: the files they read are then in the cache for both.
    runOnce(program);
    runOnce(bare);
    std::vector<Sample> programSamples, bareSamples;
    for (int run = 0; run < runs; ++run) {
        programSamples.push_back(runOnce(program));
        bareSamples.push_back(runOnce(bare));
    }

    const Sample ours = summarize(programSamples), theirs = summarize(bareSamples);
    std::printf("medians of %d runs each, platform %s\n", runs,
                platform != nullptr ? platform : "of the display");
    std::printf("%-12s %10s %14s %14s\n", "", "time (ms)", "cpu time (ms)", "memory (MiB)");
    std::printf("%-12s %10.1f %14.1f %14.1f\n", "zeb06ce2", ours.milliseconds, ours.cpuMilliseconds,
                ours.mebibytes);
    std::printf("%-12s %10.1f %14.1f %14.1f\n", "bare Qt", theirs.milliseconds, theirs.cpuMilliseconds,
                theirs.mebibytes);
    std::printf("%-12s %10.2f %14.2f %14.2f\n", "ratio", ours.milliseconds / theirs.milliseconds,
                ours.cpuMilliseconds / theirs.cpuMilliseconds, ours.mebibytes / theirs.mebibytes);
    return 0;
}
