// Cost of the class synthesis: the figures and needs groups of every objective of both
// subjects for a full class, and the two files made from them; then the item analysis of the
// same class and its file.

#include "ClassReport.h"
#include "GeneratedClass.h"
#include "TempFolder.h"
#include "core/ClassSynthesis.h"
#include "core/ItemAnalysis.h"
#include "core/ObjectiveTables.h"
#include "generator/ExportGenerator.h"
#include "load/ClassImport.h"

#include <benchmark/benchmark.h>
#include <memory>

using namespace zeb;

namespace {

void BM_SynthesisBothSubjects30(benchmark::State& bench) {
    const auto state = test::GeneratedLoadedClass();
    for (auto _ : bench) {
        for (Subject subject : {Subject::French, Subject::Mathematics}) {
            const SubjectSynthesis synthesis = SynthesizeSubject(state->Class, subject);
            benchmark::DoNotOptimize(&synthesis);
        }
    }
}
BENCHMARK(BM_SynthesisBothSubjects30)->Unit(benchmark::kMicrosecond);

void BM_SynthesisAndGroupsCsv30(benchmark::State& bench) {
    const auto state = test::GeneratedLoadedClass();
    for (auto _ : bench) {
        const std::string synthesis = cli::SynthesisCsv(*state);
        const std::string groups = cli::GroupsCsv(*state);
        benchmark::DoNotOptimize(synthesis.data());
        benchmark::DoNotOptimize(groups.data());
    }
}
BENCHMARK(BM_SynthesisAndGroupsCsv30)->Unit(benchmark::kMicrosecond);

// Every item of both subjects, from the item lists to the counts, as a page or a file asks.
void BM_ItemAnalysisBothSubjects30(benchmark::State& bench) {
    const auto state = test::GeneratedLoadedClass();
    for (auto _ : bench) {
        for (Subject subject : {Subject::French, Subject::Mathematics}) {
            const SubjectItems items = AnalyseItems(*state, subject);
            benchmark::DoNotOptimize(items.Items.data());
        }
    }
}
BENCHMARK(BM_ItemAnalysisBothSubjects30)->Unit(benchmark::kMicrosecond);

void BM_ItemsCsv30(benchmark::State& bench) {
    const auto state = test::GeneratedLoadedClass();
    for (auto _ : bench) {
        const std::string items = cli::ItemsCsv(*state);
        benchmark::DoNotOptimize(items.data());
    }
}
BENCHMARK(BM_ItemsCsv30)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
