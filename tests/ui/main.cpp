// The windows need a QApplication; offscreen, never "minimal", which has no fonts.

#include "ui/ProgramWindows.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    zeb::PrepareApplication(application); // as the program: its name, Qt's French, Enter on buttons
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
