#pragma once

#include "archive/Zip.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace zeb {

// The small window shown while an archive is extracted: the member being written, a bar
// over the bytes of the whole run, and a button to stop. Built in code, 300 x 100.
class TProgressForm final : public QDialog, public ProgressView {
    Q_OBJECT
public:
    // Centred over `mainWindow` (the application's main window when null).
    explicit TProgressForm(TZip& zip, QWidget* mainWindow = nullptr);

    void SetMax(std::int32_t value) override;
    void SetPosition(std::int32_t value) override;
    void SetStatusText(const std::string& cp1252) override;
    void Show() override { show(); }
    void Hide() override { hide(); }

    void CancelClick();

    QLabel* StatusLabel = nullptr;
    QPushButton* CancelButton = nullptr;
    QProgressBar* ProgressBar = nullptr;

private:
    TZip& Zip;
};

} // namespace zeb
