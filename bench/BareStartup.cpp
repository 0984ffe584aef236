// zeb_bench_bare: the least a Qt Widgets program does to show a window like the main window
// (same size, a dozen labels and buttons), quitting once it is painted. The yardstick of the
// program's start-up.

#include "WhenPainted.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Programme nu"));
    window.setFixedSize(798, 596);
    constexpr int Rows = 6;
    for (int row = 0; row < Rows; ++row) {
        auto* label = new QLabel(QStringLiteral("Étiquette %1").arg(row + 1), &window);
        label->setGeometry(16, 16 + 40 * row, 300, 25);
        auto* button = new QPushButton(QStringLiteral("Bouton %1").arg(row + 1), &window);
        button->setGeometry(400, 16 + 40 * row, 137, 25);
    }
    window.show();
    const zeb::bench::WhenPainted quit(window, [] { QApplication::quit(); });
    return QApplication::exec();
}
