// The yardstick for the batch's PDF pages: a bare Qt program that writes PAGES A4 pages with
// QPdfWriter at the same resolution, each with a sheet's worth of text and rules (about 200
// words), and, when DENSE is given, every DENSE-th page with a table four times as full, as a
// synthesis page is (about 800 words).
//   zeb_bench_bare_pdf FILE PAGES [DENSE]

#include "BarePdf.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fputs("usage: zeb_bench_bare_pdf FILE PAGES [DENSE]\n", stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const int pages = QString::fromLocal8Bit(argv[2]).toInt();
    const int dense = argc == 4 ? QString::fromLocal8Bit(argv[3]).toInt() : 0;
    QPdfWriter writer(QString::fromLocal8Bit(argv[1]));
    return zeb::bench::DrawBarePdfPages(writer, pages, dense) ? 0 : 1;
}
