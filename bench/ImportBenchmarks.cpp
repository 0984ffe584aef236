// Cost of loading a class: the whole import from a document on disk, and the scan alone
// on a document far larger than any real export.

#include "TempFolder.h"
#include "core/ExportScan.h"
#include "core/ObjectiveTables.h"
#include "generator/ExportGenerator.h"
#include "load/ClassImport.h"
#include "platform/Platform.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using namespace zeb;

namespace {

// Loads the class of `document` over and over, as a teacher reloading an export would.
void importRepeatedly(benchmark::State& bench, const std::string& document) {
    test::TempFolder folder;
    const fs::path file = folder / "classe.xml";
    WriteWorkFile(file, document);
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    for (auto _ : bench) {
        ImportExportDocument(file, folder.path(), *state);
        benchmark::DoNotOptimize(state->Class.PupilCount);
    }
}

// Scan, split, three work files written, both lists read back and scored: one load of a
// 30-pupil class from its extracted document.
void BM_ImportClass30(benchmark::State& bench) {
    importRepeatedly(bench, examples::GenerateClass({.pupils = 30}).Document);
}
BENCHMARK(BM_ImportClass30)->Unit(benchmark::kMicrosecond);

// The line scan of a 100,000-line document holding 30 pupils, from its bytes in memory.
void BM_Scan100kLines(benchmark::State& bench) {
    const std::string document = examples::GenerateClass({.pupils = 30, .targetLines = 100000}).Document;
    const std::vector<std::string> words = DefaultSearchWords();
    std::size_t lines = 0;
    for (auto _ : bench) {
        const std::vector<std::string_view> split = SplitLines(document);
        const ScanResult result = ScanExport(split, words);
        lines = split.size();
        benchmark::DoNotOptimize(result.PupilCounter);
    }
    bench.counters["lines"] = static_cast<double>(lines);
    bench.SetBytesProcessed(bench.iterations() * static_cast<std::int64_t>(document.size()));
}
BENCHMARK(BM_Scan100kLines)->Unit(benchmark::kMillisecond);

// The same large document through the whole import, reading it from disk.
void BM_Import100kLines(benchmark::State& bench) {
    importRepeatedly(bench, examples::GenerateClass({.pupils = 30, .targetLines = 100000}).Document);
}
BENCHMARK(BM_Import100kLines)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
