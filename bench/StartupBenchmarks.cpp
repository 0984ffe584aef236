// The program's start-up and a class load, as a teacher waits for them.

#include "Process.h"
#include "TempFolder.h"
#include "TestProgram.h"
#include "qtkit/FileDialog.h"
#include "ui/Zeb2.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <benchmark/benchmark.h>

using namespace zeb;

namespace {

// A whole process, offscreen, from its start to the main window shown and painted.
void BM_StartupToMainWindow(benchmark::State& bench) {
    test::TempFolder data;
    const std::string command =
        "QT_QPA_PLATFORM=offscreen XDG_DATA_HOME=" + test::ShellQuoted(data.path().string()) + " " +
        test::ShellQuoted(ZEB_BENCH_STARTUP);
    for (auto _ : bench)
        if (test::RunShell(command, test::Streams::Inherited).exitCode != 0)
            bench.SkipWithError("start-up failed");
}
BENCHMARK(BM_StartupToMainWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// From the chosen file to the selection window shown, for a 30-pupil export.
void BM_LoadArchive30(benchmark::State& bench) {
    test::TestProgram program;
    const QString archive = QString::fromStdString(program.exportArchive(30));
    TForm1& main = program.form1();
    for (auto _ : bench) {
        bench.PauseTiming();
        FileDialog::setNextFileName(archive);
        program.windows().Form2->hide();
        main.show();
        QCoreApplication::processEvents();
        bench.ResumeTiming();
        main.SpeedButton1Click();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_LoadArchive30)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    SetApplicationIdentity();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
