#pragma once

#include "archive/Zip.h"
#include "archive/qt/QtZipPrompts.h"
#include "ui/AppWindows.h"

#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
class QPushButton;

namespace zeb {

// The main window: what the program does, the precautions for J'ADE data, and the four
// actions (load an export, retained items, help, quit).
class TForm1 final : public QWidget {
    Q_OBJECT
public:
    TForm1(AppWindows& windows, QWidget* parent = nullptr);
    ~TForm1() override;

    void FormCreate();
    void SpeedButton1Click(); // the load
    void BitBtn2Click();      // "&Items retenus"
    void BitBtn1Click();      // help
    void QuitterClick();

    // The open dialog; tests choose the file through it. Empty when the user cancels.
    std::function<QString()> ChooseExportFile;

    // The user's own data folder, where the work folder TMP and the extraction live.
    static std::filesystem::path ProgramFolder();

    QLineEdit* Edit1 = nullptr;
    QLabel* Label3 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* Quitter = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QPlainTextEdit* Memo3 = nullptr;
    QPlainTextEdit* MmListeRecherche = nullptr; // hidden: the words the scan looks for, one a line

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    AppWindows& windows_;
    QtZipPrompts prompts_{this};
    LinuxVolumeService volumes_;
    std::unique_ptr<TZip> zip_; // one per load, as the previous one is destroyed

    void removeWorkFiles();
};

} // namespace zeb
