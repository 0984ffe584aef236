#pragma once

// The system's printer through Qt's printing: what the printing module holds. The job itself
// (pages kept until complete, A4 in each page's orientation, the printer's own resolution, the
// printable area's corner) is the same on every system; what each printing system says of its
// queues and of a job it refuses is in PrintQueue.h.

#include "print/SheetPrinter.h"

#include <QFont>
#include <QPageLayout>
#include <QPointF>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class QPrinter;

namespace zeb {

// Where the printer's printable area starts, in device pixels from the corner of the paper.
// The sheet is laid out from the corner of what the printer can print, not of the paper, so
// that its left border and first letters never fall in the margin a printer cannot reach.
QPointF PrintableOrigin(const QPageLayout& layout, int dpiX, int dpiY);

// One job on a Qt printer. The pages are recorded as they are drawn and painted only at
// EndDoc, once complete: Qt sends whatever was painted and cannot take a page back, so an
// abandoned job never prints.
class QtSheetPrinter : public SheetPrinter {
public:
    QtSheetPrinter();
    ~QtSheetPrinter() override;

    void SetTitle(const QString& title) override;
    void BeginDoc() override;
    void SetFont(const QFont& font) override;
    void SetPageOrientation(PageOrientation orientation) override;
    void NewPage() override;
    Canvas& canvas() override;
    int PixelsPerInchX() const override;
    int PixelsPerInchY() const override;
    void EndDoc() override;
    void Abort() override;

protected:
    struct Opened {
        std::unique_ptr<QPrinter> printer; // at its own resolution
        std::string name;                  // as the teacher knows it, for the messages
    };
    // The printer of a new job. Throws PrintError (NoPrinterError without one).
    virtual Opened open() = 0;
    // Once painting has ended (`ended`: Qt took every page): throws PrintError when the job was
    // not accepted. The default trusts Qt.
    virtual void handedOver(bool ended, const std::string& name);

private:
    class RecordedPage;

    QString title_;
    std::string name_;
    std::unique_ptr<QPrinter> printer_;
    QFont font_;
    std::vector<RecordedPage> pages_;
};

// The system's default printer: a fresh one for each job.
std::unique_ptr<SheetPrinter> MakeDefaultPrinter();

} // namespace zeb
