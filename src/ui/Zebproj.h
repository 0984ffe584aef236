#pragma once

#include "archive/Zip.h"
#include "archive/qt/QtZipPrompts.h"
#include "ui/AppWindows.h"

#include <QString>
#include <QWidget>
#include <filesystem>
#include <memory>

class QLabel;
class QLockFile;
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
    // programFolder: where the work folder TMP and the extraction live (the user's own data
    // folder in the program).
    TForm1(AppWindows& windows, std::filesystem::path programFolder, QWidget* parent = nullptr);
    ~TForm1() override;

    void FormCreate();
    void SpeedButton1Click(); // the load of the export chosen in the open dialog (FileDialog)
    // The load of this file, as if chosen in the open dialog (a file given to the program or
    // dropped on the window).
    void LoadExport(const QString& path);
    void BitBtn2Click(); // "&Items retenus"
    void BitBtn1Click(); // help
    void QuitterClick();

    // Made when missing, private to the user.
    std::filesystem::path ProgramFolder() const;
    // The work files and the extraction, also those a run that did not end left behind;
    // ZEB.CFG and anything else of the user's stay.
    void RemoveWorkFiles();

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
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The constructor's steps, from the top of the window down.
    void buildBanner();
    void buildFileBox();
    void buildButtons();
    void buildNotice();
    void buildSearchWords();
    void connectButtons();

    AppWindows& windows_;
    std::filesystem::path programFolder_;
    // Held while the program runs, so that a second copy started beside it leaves this one's
    // work files alone.
    std::unique_ptr<QLockFile> runLock_;
    QtZipPrompts prompts_{this};
    LinuxVolumeService volumes_;
    std::unique_ptr<TZip> zip_; // one per load, as the previous one is destroyed
};

} // namespace zeb
