#pragma once

#include "Restorers.h"
#include "TempFolder.h"
#include "ZipBuilder.h"
#include "generator/ExportGenerator.h"
#include "qtkit/FileDialog.h"
#include "ui/Maj.h"
#include "ui/ProgramWindows.h"
#include "ui/Zeb2.h"
#include "ui/Zeb4.h"
#include "ui/Zebproj.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QString>
#include <QtTest/qtestspontaneevent.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace zeb::test {

// A close asked by the window manager (close box, Alt+F4), as it reaches the window.
inline void closeFromWindowManager(QWidget* window) {
    QCloseEvent close;
    QSpontaneKeyEvent::setSpontaneous(&close);
    QCoreApplication::instance()->notify(window, &close); // sendEvent would clear the flag
}

// The program's windows over a program folder of their own; the current folder, which a load
// changes, is put back after each test.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { program = std::make_unique<ProgramWindows>(programFolder()); }
    void TearDown() override { program.reset(); }

    std::filesystem::path programFolder() const { return data / "zeb"; }
    TForm1& form1() { return program->form1(); }
    TForm2& form2() { return *program->windows().Form2; }
    TForm4& form4() { return program->form4(); }
    TAboutBox& about() { return program->aboutBox(); }

    // A class export as J'ADE writes it: one document in a zip archive.
    std::string exportArchive(int pupils, const char* name = "classe.jad") {
        const std::string document = examples::GenerateClass({.pupils = pupils}).Document;
        writeFile(files / name, StoredZip({{"classe.xml", document, 0x0014}}));
        return (files / name).string();
    }
    // Through the open dialog, as the teacher does.
    void load(const std::string& path) {
        FileDialog::setNextFileName(QString::fromStdString(path));
        form1().SpeedButton1Click();
    }

    TempFolder data, files;
    CurrentFolderRestorer startFolder; // back there before the folders go
    std::unique_ptr<ProgramWindows> program;
};

} // namespace zeb::test
