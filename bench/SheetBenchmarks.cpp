// Cost of drawing result sheets: on a recording canvas (the layout alone), into a 96-dpi
// image (a preview repaint), and a whole class to PDF through zeb-fiches.

#include "GeneratedClass.h"
#include "Process.h"
#include "RecordingCanvas.h"
#include "TempFolder.h"
#include "core/ObjectiveTables.h"
#include "generator/ExportGenerator.h"
#include "load/ClassImport.h"
#include "platform/Platform.h"
#include "sheet/ResultSheet.h"
#include "sheet/qt/QPainterCanvas.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>

using namespace zeb;

namespace {

void BM_DrawSheetRecording(benchmark::State& bench) {
    const auto state = test::GeneratedLoadedClass(30, TreatmentMode::Pourcentage);
    for (auto _ : bench) {
        test::RecordingCanvas canvas;
        Affiche_Resultats_Franc(canvas, PageView{}, 5, SheetSource::Of(*state));
        benchmark::DoNotOptimize(canvas.texts.data());
    }
}
BENCHMARK(BM_DrawSheetRecording)->Unit(benchmark::kMicrosecond);

// The sheet's words as a screen reader gets them from the preview.
void BM_SheetText(benchmark::State& bench) {
    const auto state = test::GeneratedLoadedClass(30, TreatmentMode::Pourcentage);
    for (auto _ : bench)
        benchmark::DoNotOptimize(ResultSheetText(Subject::French, 5, SheetSource::Of(*state)));
}
BENCHMARK(BM_SheetText)->Unit(benchmark::kMicrosecond);

// What one preview repaint costs: a blank A4 page at 96 dpi, then the sheet.
void BM_DrawSheetImage96(benchmark::State& bench) {
    const auto state = test::GeneratedLoadedClass(30, static_cast<TreatmentMode>(bench.range(0)));
    QImage page(794, 1123, QImage::Format_ARGB32_Premultiplied);
    page.setDotsPerMeterX(3780);
    page.setDotsPerMeterY(3780);
    for (auto _ : bench) {
        page.fill(Qt::white);
        QPainter painter(&page);
        QPainterCanvas canvas(painter, SheetFont());
        Affiche_Resultats_Franc(canvas, PageView{}, 5, SheetSource::Of(*state));
    }
}
BENCHMARK(BM_DrawSheetImage96)
    ->Arg(static_cast<int>(TreatmentMode::Codage))
    ->Arg(static_cast<int>(TreatmentMode::Pourcentage))
    ->Unit(benchmark::kMillisecond);

// The whole zeb-fiches process writing the 60 sheets of a 30-pupil class.
void BM_ZebFichesPdf60Pages(benchmark::State& bench) {
    test::TempFolder folder;
    WriteWorkFile(folder / "classe.xml", examples::GenerateClass({.pupils = 30}).Document);
    const std::filesystem::path pdf = folder / "fiches.pdf";
    const std::string command = test::ShellQuoted(ZEB_FICHES) + " --pdf " + test::ShellQuoted(pdf.string()) +
                                " " + test::ShellQuoted((folder / "classe.xml").string());
    for (auto _ : bench)
        if (test::RunShell(command, test::Streams::Inherited).exitCode != 0)
            bench.SkipWithError("zeb-fiches failed");
    bench.counters["pdf_bytes"] = static_cast<double>(std::filesystem::file_size(pdf));
}
BENCHMARK(BM_ZebFichesPdf60Pages)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
