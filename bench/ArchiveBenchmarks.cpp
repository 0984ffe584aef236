// The unzip component and library against Info-ZIP's unzip on the sample export, and the
// directory reader on archives of growing size.

#include "Process.h"
#include "Restorers.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "archive/Zip.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;
using namespace zeb;

namespace {

class NoPrompts final : public ZipPrompts {
public:
    MessageAnswer messageBox(const std::string&, MessageButtons, MessageIcon, int) override {
        return MessageAnswer::Cancel;
    }
    std::optional<std::string> passwordBox(const std::string&) override { return std::nullopt; }
};

const std::string SampleArchive = std::string(ZEB_EXAMPLES_DIR) + "/classe-ce2-exemple.jad";

// In the program's own process, as a load runs it: directory, then extraction.
void BM_ExtractSampleInProcess(benchmark::State& bench) {
    test::TempFolder folder;
    const test::CurrentFolderRestorer back; // an extraction changes the current folder
    NoPrompts prompts;
    LinuxVolumeService volumes;
    for (auto _ : bench) {
        TZip zip(prompts, volumes);
        zip.ShowProgressDialog = false;
        zip.SetZipFileName(SampleArchive);
        zip.ExtractOptions = 0;
        zip.ExtractDir = folder.path().string();
        for (const TFileInfoC& entry : zip.Entries)
            zip.FileSpecs.push_back(entry.FileName);
        if (zip.Extract() != 1)
            bench.SkipWithError("extraction failed");
    }
}
BENCHMARK(BM_ExtractSampleInProcess)->Unit(benchmark::kMicrosecond);

void runCommand(benchmark::State& bench, const std::string& command) {
    for (auto _ : bench)
        if (test::RunShell(command, test::Streams::Inherited).exitCode != 0)
            bench.SkipWithError(command.c_str());
}

// Both as whole processes into the same folder, overwriting: the fair comparison.
void BM_ExtractSampleProcessZeb(benchmark::State& bench) {
    test::TempFolder folder;
    runCommand(bench, test::ShellQuoted(ZEB_BENCH_UNZIP) + " " + test::ShellQuoted(SampleArchive) + " " +
                          test::ShellQuoted(folder.path().string()));
}
BENCHMARK(BM_ExtractSampleProcessZeb)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExtractSampleProcessInfoZip(benchmark::State& bench) {
    test::TempFolder folder;
    runCommand(bench, "unzip -o -q " + test::ShellQuoted(SampleArchive) + " -d " +
                          test::ShellQuoted(folder.path().string()));
}
BENCHMARK(BM_ExtractSampleProcessInfoZip)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading the directory of an archive of N small members.
void BM_ReadDirectory(benchmark::State& bench) {
    test::TempFolder folder;
    std::vector<test::StoredMember> members;
    for (std::int64_t i = 0; i < bench.range(0); ++i)
        members.push_back({"membre-" + std::to_string(i) + ".txt", "x"});
    const fs::path file = folder / "grande.jad";
    test::writeFile(file, test::StoredZip(members));
    NoPrompts prompts;
    LinuxVolumeService volumes;
    TZip zip(prompts, volumes);
    for (auto _ : bench) {
        zip.SetZipFileName(file.string());
        benchmark::DoNotOptimize(zip.Count());
    }
    bench.SetComplexityN(bench.range(0));
}
BENCHMARK(BM_ReadDirectory)
    ->Arg(1000)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity();

} // namespace

BENCHMARK_MAIN();
