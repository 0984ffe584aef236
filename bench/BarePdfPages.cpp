// The yardstick for the batch's PDF pages: a bare Qt program that writes PAGES A4 pages with
// QPdfWriter at the same resolution, each with a sheet's worth of text and rules (about 200
// words), and, when DENSE is given, every DENSE-th page with a table four times as full, as a
// synthesis page is (about 800 words).
//   zeb_bench_bare_pdf FILE PAGES [DENSE]

#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
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
    writer.setResolution(1200);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.setFont(QFont(QStringLiteral("Times New Roman"), 14, QFont::Bold));
        painter.drawText(600, 700, QStringLiteral("EVALUATION CE2 - Français - Élève %1").arg(page + 1));
        painter.setFont(QFont(QStringLiteral("Arial"), 9));
        const bool full = dense > 0 && page % dense == dense - 1;
        const int rows = full ? 80 : 20, height = full ? 105 : 420;
        for (int row = 0; row < rows; ++row) {
            const int y = 1400 + row * height;
            painter.drawLine(600, y, 9300, y);
            painter.drawText(700, y + height - 120,
                             QStringLiteral("Objectif %1 : compétence évaluée").arg(row + 1));
            painter.drawText(6000, y + height - 120, QStringLiteral("%1 %").arg((row * 37) % 101));
            painter.drawText(7300, y + height - 120, QStringLiteral("%1 %").arg((row * 53) % 101));
            painter.drawText(8500, y + height - 120,
                             row % 3 == 0 ? QStringLiteral("ECA") : QStringLiteral("A"));
        }
    }
    return painter.end() ? 0 : 1;
}
