// A test never reaches the teacher's own folders: whatever it builds on the program's default
// folder, and whatever Qt takes from the environment, lies in this run's private home.

#include "FileAccess.h"
#include "PrivateHome.h"
#include "ui/ProgramWindows.h"

#include <QStandardPaths>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

bool inside(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_normal().lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

TEST(PrivateHome, TheProgramsFolderAndQtsAreThisRunsOwn) {
    const fs::path home = zeb::test::PrivateHome();
    ASSERT_TRUE(fs::is_directory(home));
    EXPECT_TRUE(zeb::test::ReadableByUserOnly(home));
    EXPECT_TRUE(inside(zeb::ProgramWindows::DefaultProgramFolder(), home))
        << zeb::ProgramWindows::DefaultProgramFolder();
    // Named zeb as earlier versions' folder is, so that their files are found; here, inside the
    // run's private home.
    EXPECT_EQ(zeb::ProgramWindows::DefaultProgramFolder().filename(), "zeb");
    for (const auto location : {QStandardPaths::HomeLocation, QStandardPaths::AppLocalDataLocation,
                                QStandardPaths::GenericDataLocation, QStandardPaths::ConfigLocation,
                                QStandardPaths::GenericCacheLocation, QStandardPaths::DocumentsLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        EXPECT_TRUE(inside(folder.toStdString(), home)) << folder.toStdString();
    }
}

} // namespace
