// The preview and the printing, as a teacher waits for them: one repaint of the page at the
// largest zoom, and printing the whole class to a private print server's queue.

#include "PrivateCups.h"
#include "TestProgram.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>

using namespace zeb;

namespace {

void BM_PreviewRepaintAtFullSize(benchmark::State& bench) {
    test::TestProgram program;
    program.load(30);
    program.form2().RadioPourcentageClick(); // the busier of the two treatments
    program.form2().ApercuClick();
    TForm3& preview = program.form3();
    preview.ZoomAVClick();
    preview.ZoomAVClick();
    QCoreApplication::processEvents();
    for (auto _ : bench)
        preview.PaintBox1Paint();
    preview.RetourClick();
}
BENCHMARK(BM_PreviewRepaintAtFullSize)->Unit(benchmark::kMillisecond)->UseRealTime();

// "Tout imprimer" from the first of 30 pupils: 30 jobs, each accepted by CUPS before the
// next begins. The capture backend's own work happens afterwards, outside the timing.
void BM_PrintAllThirtyToCups(benchmark::State& bench) {
    std::string whyNot;
    zeb::testing::PrivateCups* cups = zeb::testing::SharedCups(whyNot);
    if (cups == nullptr) {
        bench.SkipWithError(whyNot.c_str());
        return;
    }
    cups->AddCaptureQueue("BENCH");
    test::TestProgram program;
    program.load(30);
    TForm2& selection = program.form2();
    for (auto _ : bench) {
        selection.StringGrid1SelectCell(1, 1);
        selection.ToutImprimerClick();
        bench.PauseTiming();
        if (cups->WaitForJobs("BENCH", 30, std::chrono::seconds(60)).size() != 30)
            bench.SkipWithError("the capture queue did not get 30 jobs");
        cups->ClearJobs("BENCH");
        bench.ResumeTiming();
    }
    cups->RemoveQueue("BENCH");
}
BENCHMARK(BM_PrintAllThirtyToCups)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // HOME is the run's private one (PrivateHome.h): the print server's default printer never
    // comes from the developer's own settings.
    QApplication application(argc, argv);
    SetApplicationIdentity();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
