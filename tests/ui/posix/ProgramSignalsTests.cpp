// The real program's end by a signal of the session (POSIX systems): nothing of the class is
// left behind.

#include "TempFolder.h"
#include "TestProgram.h"

#include <QCoreApplication>
#include <QProcess>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

using namespace zeb::test;
namespace fs = std::filesystem;

namespace {

// The program itself, started as the desktop's "Open with" does, over a data folder of its own.
class RunningProgramTest : public ::testing::TestWithParam<int> {
protected:
    TempFolder data, files;
};

TEST_P(RunningProgramTest, TheEndOfTheSessionLeavesNoPupilData) {
    const fs::path exportFile = files / "classe.jad";
    writeFile(exportFile, ClassExportArchive(9));
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(data.path().string()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zeb06ce2"),
                  {QString::fromStdString(exportFile.string())});
    ASSERT_TRUE(program.waitForStarted());

    // The argument is loaded at start: the work files appear.
    const fs::path work = data / "zeb" / "TMP";
    for (int wait = 0; wait < 600 && !fs::exists(work / "Fichier2.c01"); ++wait)
        program.waitForFinished(50);
    ASSERT_TRUE(fs::exists(work / "Fichier2.c01")) << program.readAllStandardError().toStdString();

    ::kill(static_cast<pid_t>(program.processId()), GetParam());
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(fs::is_empty(work));
    EXPECT_FALSE(fs::exists(data / "zeb" / "extraction"));
}

INSTANTIATE_TEST_SUITE_P(Signals, RunningProgramTest, ::testing::Values(SIGTERM, SIGHUP));

} // namespace
