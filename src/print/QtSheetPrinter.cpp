#include "print/QtSheetPrinter.h"

#include "sheet/qt/QPainterCanvas.h"

#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <array>
#include <utility>

namespace zeb {
namespace {

QPageLayout::Orientation qtOrientation(PageOrientation orientation) {
    return orientation == PageOrientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

} // namespace

// A page's drawing calls, kept to be painted on the printer in one go.
class QtSheetPrinter::RecordedPage final : public Canvas {
public:
    PageOrientation orientation = PageOrientation::Portrait;

    void setFontSize(int points) override { calls_.push_back({Kind::FontSize, {points, 0, 0, 0}, {}}); }
    void setFontSizeF(double points) override {
        calls_.push_back({Kind::FontSizeF, {}, {}, Fill::Light, points});
    }
    void textOut(int x, int y, std::string_view cp1252) override {
        calls_.push_back({Kind::Text, {x, y, 0, 0}, std::string(cp1252)});
    }
    void line(int x1, int y1, int x2, int y2) override {
        calls_.push_back({Kind::Line, {x1, y1, x2, y2}, {}});
    }
    void fillRect(int x, int y, int width, int height, Fill fill) override {
        calls_.push_back({Kind::Fill, {x, y, width, height}, {}, fill});
    }
    void setTextOpaque(bool opaque) override {
        calls_.push_back({Kind::Opaque, {opaque ? 1 : 0, 0, 0, 0}, {}});
    }

    void replay(Canvas& canvas) const {
        for (const Call& call : calls_) {
            const auto& [a, b, c, d] = call.values;
            switch (call.kind) {
            case Kind::FontSize:
                canvas.setFontSize(a);
                break;
            case Kind::FontSizeF:
                canvas.setFontSizeF(call.points);
                break;
            case Kind::Text:
                canvas.textOut(a, b, call.text);
                break;
            case Kind::Line:
                canvas.line(a, b, c, d);
                break;
            case Kind::Fill:
                canvas.fillRect(a, b, c, d, call.fill);
                break;
            case Kind::Opaque:
                canvas.setTextOpaque(a != 0);
                break;
            }
        }
    }

private:
    enum class Kind { FontSize, FontSizeF, Text, Line, Fill, Opaque };
    struct Call {
        Kind kind;
        std::array<int, 4> values;
        std::string text;
        Fill fill = Fill::Light;
        double points = 0;
    };
    std::vector<Call> calls_;
};

QtSheetPrinter::QtSheetPrinter() = default;
QtSheetPrinter::~QtSheetPrinter() = default;

void QtSheetPrinter::SetTitle(const QString& title) {
    title_ = title;
}

void QtSheetPrinter::BeginDoc() {
    Opened opened = open();
    printer_ = std::move(opened.printer);
    name_ = std::move(opened.name);
    printer_->setDocName(title_);
    // Page size and orientation alone: a whole layout with margins narrower than the printer
    // can print is refused, and with it the A4 size.
    printer_->setPageSize(QPageSize(QPageSize::A4));
    printer_->setPageOrientation(QPageLayout::Portrait);
    printer_->setFullPage(true); // the painter's origin is the corner of the paper
    pages_.assign(1, RecordedPage{});
    font_ = SheetFont();
}

void QtSheetPrinter::SetFont(const QFont& font) {
    font_ = font;
}

void QtSheetPrinter::SetPageOrientation(PageOrientation orientation) {
    pages_.back().orientation = orientation;
}

void QtSheetPrinter::NewPage() {
    pages_.emplace_back();
}

Canvas& QtSheetPrinter::canvas() {
    return pages_.back();
}

int QtSheetPrinter::PixelsPerInchX() const {
    return printer_->logicalDpiX();
}

int QtSheetPrinter::PixelsPerInchY() const {
    return printer_->logicalDpiY();
}

void QtSheetPrinter::EndDoc() {
    const std::unique_ptr<QPrinter> printer = std::move(printer_);
    const std::vector<RecordedPage> pages = std::move(pages_);
    pages_.clear();
    printer->setPageOrientation(qtOrientation(pages.front().orientation));
    QPainter painter;
    if (!painter.begin(printer.get()))
        throw PrintError("L'impression sur « " + name_ + " » n'a pas pu commencer", "");
    for (std::size_t k = 0; k < pages.size(); ++k) {
        // A new orientation takes effect from the next page on.
        if (k > 0) {
            printer->setPageOrientation(qtOrientation(pages[k].orientation));
            if (!printer->newPage()) {
                printer->abort(); // never half a document
                painter.end();
                throw PrintError("L'impression sur « " + name_ + " » s'est arrêtée à la page " +
                                     std::to_string(k + 1),
                                 "");
            }
        }
        painter.save();
        painter.translate(
            PrintableOrigin(printer->pageLayout(), printer->logicalDpiX(), printer->logicalDpiY()));
        QPainterCanvas canvas(painter, font_);
        pages[k].replay(canvas);
        painter.restore();
    }
    handedOver(painter.end(), name_); // the job is handed to the system here
}

void QtSheetPrinter::Abort() {
    pages_.clear();
    printer_.reset();
}

void QtSheetPrinter::handedOver(bool ended, const std::string& name) {
    if (!ended)
        throw PrintError("L'imprimante « " + name + " » n'a pas accepté le travail d'impression", "");
}

QPointF PrintableOrigin(const QPageLayout& layout, int dpiX, int dpiY) {
    QPageLayout inPoints = layout;
    inPoints.setUnits(QPageLayout::Point);
    const QMarginsF unprintable = inPoints.minimumMargins();
    constexpr double PointsPerInch = 72.0;
    return {unprintable.left() * dpiX / PointsPerInch, unprintable.top() * dpiY / PointsPerInch};
}

} // namespace zeb
