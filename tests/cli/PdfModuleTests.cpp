#include "Process.h"
#include "TempFolder.h"
#include "pdfmodule/PdfModule.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

using zeb::test::ProcessRun;
using zeb::test::readFile;
using zeb::test::RunShell;
using zeb::test::ShellQuoted;
using zeb::test::TempFolder;
using zeb::test::writeFile;
namespace fs = std::filesystem;

namespace {

// Runs the program with its work folder under tmp; extraEnvironment comes before it.
ProcessRun run(const fs::path& program, const std::string& arguments, const TempFolder& tmp,
               const std::string& extraEnvironment = "") {
    return RunShell("cd " + ShellQuoted(tmp.path().string()) + " && TMPDIR=. " + extraEnvironment + " " +
                    ShellQuoted(program.string()) + " " + arguments);
}

const std::string Sample = std::string(ZEB_EXAMPLES_DIR) + "/classe-ce2-exemple.jad";

} // namespace

// Qt is a dependency of the PDF writing only, libzip (and the crypto library it needs) of
// encrypted or unusually compressed members only: the scores of an export come without them.
TEST(PdfModule, OnlyAPdfRunLoadsQt) {
    TempFolder tmp;
    const ProcessRun csv = run(ZEB_FICHES, "--csv scores.csv '" + Sample + "'", tmp, "LD_DEBUG=files");
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(csv.err.find("libQt6"), std::string::npos);
    EXPECT_NE(csv.err.find("libunzdll"), std::string::npos);
    EXPECT_EQ(csv.err.find("libzip"), std::string::npos);
    EXPECT_EQ(csv.err.find("libcrypto"), std::string::npos);
    const ProcessRun pdf = run(ZEB_FICHES, "--pdf fiches.pdf '" + Sample + "'", tmp, "LD_DEBUG=files");
    ASSERT_EQ(pdf.exitCode, 0) << pdf.err;
    EXPECT_NE(pdf.err.find("libQt6Gui"), std::string::npos);
}

// A program copied without its PDF module, or beside a damaged one, still writes its CSV files;
// a PDF run says why it cannot and writes nothing.
TEST(PdfModule, WithoutAWorkingModuleOnlyPdfRunsFail) {
    const struct {
        const char* moduleContents; // nullptr: no module
        const char* reason;
    } cases[] = {{nullptr, "est introuvable"}, {"pas une bibliothèque", "ne se charge pas"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        TempFolder tmp;
        fs::create_directory(tmp / "bin");
        fs::copy_file(ZEB_FICHES, tmp / "bin/zeb-fiches");
        fs::copy_file(ZEB_UNZDLL, tmp / "bin" / fs::path(ZEB_UNZDLL).filename());
        if (c.moduleContents != nullptr)
            writeFile(tmp / "bin" / zeb::pdfmodule::FileName, c.moduleContents);

        const ProcessRun csv = run(tmp / "bin/zeb-fiches", "--csv scores.csv '" + Sample + "'", tmp);
        EXPECT_EQ(csv.exitCode, 0) << csv.err;
        EXPECT_TRUE(fs::exists(tmp / "scores.csv"));
        fs::remove(tmp / "scores.csv");

        const ProcessRun pdf =
            run(tmp / "bin/zeb-fiches", "--csv scores.csv --pdf fiches.pdf '" + Sample + "'", tmp);
        EXPECT_EQ(pdf.exitCode, 1);
        EXPECT_NE(pdf.err.find("l'écriture des fichiers PDF n'est pas disponible"), std::string::npos)
            << pdf.err;
        EXPECT_NE(pdf.err.find(c.reason), std::string::npos) << pdf.err;
        EXPECT_NE(pdf.err.find("seules les options qui n'écrivent que des fichiers CSV"), std::string::npos);
        EXPECT_FALSE(fs::exists(tmp / "fiches.pdf"));
        EXPECT_FALSE(fs::exists(tmp / "scores.csv"));
        // Nor is an older file replaced, nor a school's folder begun.
        writeFile(tmp / "ancien.csv", "ancien");
        for (const std::string arguments : {"--csv ancien.csv --synthese s.pdf", "--dossier ecole"})
            EXPECT_EQ(run(tmp / "bin/zeb-fiches", arguments + " '" + Sample + "'", tmp).exitCode, 1)
                << arguments;
        EXPECT_EQ(readFile(tmp / "ancien.csv"), "ancien");
        EXPECT_FALSE(fs::exists(tmp / "ecole"));
    }
}

// A module from another build is refused: the objects that cross would not be the same.
TEST(PdfModule, EntryPointRefusesAnotherVersion) {
    void* handle = ::dlopen(ZEB_PDF_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << ::dlerror();
    const auto entry =
        reinterpret_cast<zeb::pdfmodule::EntryFunction>(::dlsym(handle, zeb::pdfmodule::EntryName));
    ASSERT_NE(entry, nullptr);
    const zeb::pdfmodule::Functions* functions = entry(zeb::pdfmodule::Version);
    ASSERT_NE(functions, nullptr);
    EXPECT_EQ(functions->version, zeb::pdfmodule::Version);
    EXPECT_EQ(entry(zeb::pdfmodule::Version + 1), nullptr);
    EXPECT_EQ(entry(zeb::pdfmodule::Version - 1), nullptr);
}
