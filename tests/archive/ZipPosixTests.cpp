// What only a POSIX system has: modes that refuse writing, named pipes and devices, glibc's
// iconv in a shell.

#include "Process.h"
#include "ScriptedPrompts.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "archive/Zip.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zeb;
using namespace zeb::test;

namespace {

class ZipPosixTest : public ::testing::Test {
protected:
    ScriptedPrompts prompts;
    FakeVolumes volumes;
    TZip zip{prompts, volumes};
};

} // namespace

TEST_F(ZipPosixTest, AFolderThatCannotTakeTheFilesIsSaidWhy) {
    TempFolder folder;
    writeFile(folder / "a.jad", StoredZip({{"a.xml", "1"}}));
    zip.SetZipFileName((folder / "a.jad").string());
    writeFile(folder / "fichier", "x");
    const std::filesystem::path locked = folder / "lecture";
    std::filesystem::create_directory(locked);
    ::chmod(locked.c_str(), 0500);
    struct Case {
        std::filesystem::path dir;
        std::string reason;
        bool writeRefusedToAll; // the superuser writes anywhere
    };
    const Case cases[] = {
        {folder / "absent", "Ce dossier n'existe pas.", false},
        {folder / "fichier", "Ce n'est pas un dossier.", false},
        {locked, "Impossible d'écrire dans ce dossier : accès refusé.", true},
        {locked / "extraction",
         "Ce dossier n'existe pas et ne peut pas être créé dans \"" + locked.string() + "\" : accès refusé.",
         true},
    };
    for (const Case& c : cases) {
        if (c.writeRefusedToAll && ::geteuid() == 0)
            continue;
        SCOPED_TRACE(c.dir);
        zip.ExtractDir = c.dir.string();
        zip.FileSpecs = {"a.xml"};
        EXPECT_EQ(zip.Extract(), 0);
        EXPECT_EQ(prompts.asked.back().text,
                  "Impossible d'extraire le(s) fichier(s) vers :\n\"" + zip.ExtractDir + "\"\n" + c.reason);
    }
}

TEST_F(ZipPosixTest, AnArchiveNameThatIsNoPlainFileIsNamedWithoutBeingOpened) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "dossier.jad");
    ASSERT_EQ(::mkfifo((folder / "tube.jad").c_str(), 0600), 0); // opening it would wait for a writer
    std::filesystem::create_symlink(folder / "tube.jad", folder / "lien.jad");
    const std::pair<std::filesystem::path, std::string> cases[] = {
        {folder / "dossier.jad", "est un dossier, pas une archive Zip."},
        {folder / "tube.jad", "n'est pas un fichier ordinaire : c'est un tube nommé, pas une archive Zip."},
        {folder / "lien.jad", "n'est pas un fichier ordinaire : c'est un tube nommé, pas une archive Zip."},
        {"/dev/null", "n'est pas un fichier ordinaire : c'est un périphérique, pas une archive Zip."},
    };
    for (const auto& [path, says] : cases) {
        try {
            zip.SetZipFileName(path.string());
            ADD_FAILURE() << path;
        } catch (const ZipException& error) {
            EXPECT_EQ(error.what(), "\"" + path.string() + "\"\n" + says);
        }
    }
}

TEST(OemToAnsi, MatchesTheSystemsCodePage850) {
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string oem(1, static_cast<char>(byte));
        // What glibc's iconv makes of the byte, as Windows-1252 when 1252 has it.
        char octal[8];
        std::snprintf(octal, sizeof octal, "\\%03o", byte);
        const ProcessRun iconv = RunShell("printf '" + std::string(octal) + "' | iconv -f CP850 -t CP1252");
        const bool representable = iconv.exitCode == 0 && iconv.out.size() == 1;
        EXPECT_EQ(OemToAnsi(oem), representable ? iconv.out : std::string("_")) << std::hex << byte;
    }
    EXPECT_EQ(OemToAnsi("abc/\\"), "abc/\\");
}
