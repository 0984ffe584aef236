// zeb-genclass, the tool that writes the bundled sample, run as a script would run it.

#include "Process.h"
#include "TempFolder.h"
#include "generator/ExportGenerator.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;
using zeb::examples::GenerateClass;
using zeb::test::ProcessRun;
using zeb::test::readFile;
using zeb::test::RunShell;
using zeb::test::ShellQuoted;
using zeb::test::TempFolder;

class GenClassTool : public ::testing::Test {
protected:
    int run(const std::string& arguments) {
        last = RunShell(ShellQuoted(ZEB_GENCLASS_EXE) + " " + arguments);
        return last.exitCode;
    }

    TempFolder folder_;
    ProcessRun last;
    const std::string target_ = ShellQuoted((folder_ / "classe.xml").string());
};

TEST_F(GenClassTool, WritesTheRequestedClassAndLeavesNoTemporaryFile) {
    ASSERT_EQ(run(target_), 0) << last.err;
    EXPECT_TRUE(readFile(folder_ / "classe.xml") == GenerateClass().Document);

    ASSERT_EQ(run("--eleves 31 --graine=9 --absent 0 --lignes 2000 --noms-longs " + target_), 0);
    EXPECT_TRUE(readFile(folder_ / "classe.xml") == GenerateClass({31, 9, 0, true, 2000}).Document);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path()), fs::directory_iterator()), 1);

    // Fewer pupils than the default absent number: the class simply has no absent pupil.
    ASSERT_EQ(run("--eleves 5 " + target_), 0);
    EXPECT_TRUE(readFile(folder_ / "classe.xml") == GenerateClass({5, 2006, 0, false, 0}).Document);
}

TEST_F(GenClassTool, ArchivesHoldTheDocumentNamedAfterThem) {
    ASSERT_EQ(run(ShellQuoted((folder_ / "ce2-b.jad").string())), 0) << last.err;
    const ProcessRun listing = RunShell("unzip -Z1 " + ShellQuoted((folder_ / "ce2-b.jad").string()));
    ASSERT_EQ(listing.exitCode, 0);
    EXPECT_EQ(listing.out, "ce2-b.xml\n");
    // The bundled archive holds the bundled document, byte for byte.
    const ProcessRun extract =
        RunShell("unzip -p " + ShellQuoted(ZEB_EXAMPLES_DIR "/classe-ce2-exemple.jad"));
    ASSERT_EQ(extract.exitCode, 0);
    EXPECT_TRUE(extract.out == readFile(fs::path(ZEB_EXAMPLES_DIR) / "classe-ce2-exemple.xml"));
}

TEST_F(GenClassTool, BadArgumentsExitWithTwoBeforeWritingAnything) {
    for (const std::string& arguments :
         {"--eleves 100 " + target_, "--eleves douze " + target_, "--eleves " + target_,
          "--graine 4294967296 " + target_, "--absent 8 --eleves 7 " + target_, "--lignes -3 " + target_,
          "--couleur " + target_, target_ + " " + target_, std::string()}) {
        SCOPED_TRACE(arguments);
        EXPECT_EQ(run(arguments), 2);
        EXPECT_TRUE(last.err.starts_with("zeb-genclass : "));
    }
    EXPECT_FALSE(fs::exists(folder_ / "classe.xml"));
    EXPECT_EQ(run("--aide"), 0);
    EXPECT_NE(last.out.find("--eleves"), std::string::npos);
}

} // namespace
