// Cost of the class synthesis pages of a 30-pupil class: one repaint of each kind of page at
// zoom 1.0 into a 96-dpi image; every page of both subjects into a PDF file, against the same
// number of pages drawn by bare QPdfWriter code; and the whole zeb-fiches process writing both
// subjects' pages. For the PDF against the yardstick, in one run, repetitions interleaved:
//   zeb_bench_synthesis_pages --benchmark_filter=Pdf --benchmark_repetitions=10
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true

#include "BarePdf.h"
#include "GeneratedClass.h"
#include "Process.h"
#include "TempFolder.h"
#include "core/ObjectiveTables.h"
#include "generator/ExportGenerator.h"
#include "load/ClassImport.h"
#include "platform/Platform.h"
#include "sheet/SynthesisPages.h"
#include "sheet/qt/QPainterCanvas.h"
#include "sheet/qt/SheetPdf.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>

using namespace zeb;

namespace {

// Arguments: the subject, then the page (0 the class table, 1 the synthesis, 2 the first
// groups page).
void BM_RepaintSynthesisPage(benchmark::State& bench) {
    const auto state = test::GeneratedLoadedClass();
    const SynthesisDocument document(static_cast<Subject>(bench.range(0)), SheetSource::Of(*state));
    const int page = static_cast<int>(bench.range(1));
    const bool landscape = document.Orientation(page) == PageOrientation::Landscape;
    QImage image(landscape ? A4LongSide : A4ShortSide, landscape ? A4ShortSide : A4LongSide,
                 QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    for (auto _ : bench) {
        image.fill(Qt::white);
        QPainter painter(&image);
        QPainterCanvas canvas(painter, SheetFont());
        document.DrawPage(page, canvas, PageView{});
    }
}
BENCHMARK(BM_RepaintSynthesisPage)
    ->ArgsProduct({{static_cast<int>(Subject::French), static_cast<int>(Subject::Mathematics)}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

// The words of the same pages as a screen reader gets them (the preview works them out again at
// each repaint, scrolling included).
void BM_SynthesisPageText(benchmark::State& bench) {
    const auto state = test::GeneratedLoadedClass();
    const SynthesisDocument document(static_cast<Subject>(bench.range(0)), SheetSource::Of(*state));
    const int page = static_cast<int>(bench.range(1));
    for (auto _ : bench)
        benchmark::DoNotOptimize(document.PageText(page));
}
BENCHMARK(BM_SynthesisPageText)
    ->ArgsProduct({{static_cast<int>(Subject::French), static_cast<int>(Subject::Mathematics)}, {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond);

// Every page of the synthesis of both subjects (class table, synthesis, groups, item analysis),
// as zeb-fiches --synthese writes them.
void BM_SynthesisDocumentsPdf(benchmark::State& bench) {
    const auto state = test::GeneratedLoadedClass();
    const SubjectDocuments<SynthesisDocument> documents({Subject::French, Subject::Mathematics},
                                                        SheetSource::Of(*state));
    test::TempFolder folder;
    int pages = 0;
    for (auto _ : bench)
        pages = WriteDocumentPdf(folder / "synthese.pdf", documents.list(), QStringLiteral("Synth\u00e8se"));
    bench.counters["pages"] = pages;
}
BENCHMARK(BM_SynthesisDocumentsPdf)->Unit(benchmark::kMillisecond);

// The same number of pages with bare QPdfWriter code: the argument is zeb_bench_bare_pdf's DENSE
// (1: every page a table as full as a synthesis page; 0: a sheet's worth of text on each).
void BM_BarePdfPages(benchmark::State& bench) {
    const auto state = test::GeneratedLoadedClass();
    const SubjectDocuments<SynthesisDocument> documents({Subject::French, Subject::Mathematics},
                                                        SheetSource::Of(*state));
    int pages = 0;
    for (const Document* document : documents.list())
        pages += document->PageCount();
    test::TempFolder folder;
    const QString file = QString::fromStdString((folder / "bare.pdf").string());
    for (auto _ : bench) {
        QPdfWriter writer(file);
        if (!bench::DrawBarePdfPages(writer, pages, static_cast<int>(bench.range(0))))
            bench.SkipWithError("QPdfWriter failed");
    }
    bench.counters["pages"] = pages;
}
BENCHMARK(BM_BarePdfPages)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_ZebFichesSynthesisBothSubjects(benchmark::State& bench) {
    test::TempFolder folder;
    WriteWorkFile(folder / "classe.xml", examples::GenerateClass({.pupils = 30}).Document);
    const std::filesystem::path pdf = folder / "synthese.pdf";
    const std::string command = test::ShellQuoted(ZEB_FICHES) + " --synthese " +
                                test::ShellQuoted(pdf.string()) + " " +
                                test::ShellQuoted((folder / "classe.xml").string());
    for (auto _ : bench)
        if (test::RunShell(command, test::Streams::Inherited).exitCode != 0)
            bench.SkipWithError("zeb-fiches failed");
}
BENCHMARK(BM_ZebFichesSynthesisBothSubjects)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

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
