#include "TestProgram.h"

#include "ZipBuilder.h"
#include "generator/ExportGenerator.h"
#include "qtkit/FileDialog.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"
#include "ui/Zebproj.h"

#include <QTableWidget>

namespace zeb::test {

std::string ClassExportArchive(int pupils) {
    const std::string document = examples::GenerateClass({.pupils = pupils}).Document;
    return StoredZip({{.name = "classe.xml", .data = document, .versionMadeBy = 0x0014}}); // MS-DOS, as J'ADE
}

TestProgram::TestProgram() : program_(programFolder()) {}

TForm3& TestProgram::form3() {
    return dynamic_cast<TForm3&>(*program_.windows().Form3);
}

std::string TestProgram::exportArchive(int pupils, const char* name) {
    writeFile(files / name, ClassExportArchive(pupils));
    return (files / name).string();
}

void TestProgram::load(const std::string& archive) {
    FileDialog::setNextFileName(QString::fromStdString(archive));
    form1().SpeedButton1Click();
}

void TestProgram::load(int pupils, int pupil) {
    load(exportArchive(pupils));
    form2().StringGrid1->setCurrentCell(pupil - 1, 1);
}

} // namespace zeb::test
