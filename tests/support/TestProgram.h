#pragma once

// The program's windows over a program folder of their own, with a class loaded as the teacher
// loads it: for the tests of the windows and of printing, and the benchmarks of the program.
// Part of zeb_test_program, which links the windows; zeb_test_support does without them.

#include "Restorers.h"
#include "TempFolder.h"
#include "ui/ProgramWindows.h"

#include <filesystem>
#include <string>

namespace zeb::test {

// A class export as J'ADE writes it: a generated class of `pupils`, alone in a zip archive.
std::string ClassExportArchive(int pupils);

// None of the windows is shown until a test shows it or a load does. The current folder, which
// a load changes, is put back when the program goes.
class TestProgram {
public:
    TestProgram();

    std::filesystem::path programFolder() const { return data / "zeb"; }
    ProgramState& state() { return program_.state(); }
    AppWindows& windows() { return program_.windows(); }
    TForm1& form1() { return program_.form1(); }
    TForm2& form2() { return *program_.windows().Form2; }
    TForm3& form3();
    TForm4& form4() { return program_.form4(); }
    TAboutBox& about() { return program_.aboutBox(); }

    // ClassExportArchive(pupils) written as `name` in `files`; its path.
    std::string exportArchive(int pupils, const char* name = "classe.jad");
    // Through the open dialog, as the teacher does.
    void load(const std::string& archive);
    // A class of `pupils` loaded, then the selection window on pupil `pupil`.
    void load(int pupils, int pupil = 1);

    TempFolder data, files;

private:
    CurrentFolderRestorer startFolder_; // back there before the folders go
    ProgramWindows program_;
};

} // namespace zeb::test
