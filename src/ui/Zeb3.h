#pragma once

#include "core/Evaluation.h"
#include "ui/AppWindows.h"
#include "ui/NotifyingScrollBar.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QFont;
class QFrame;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QScrollBar;
class QToolButton;

namespace zeb {

class Document;
class SheetDocument;
class SheetPrinter;
struct PageView;
struct Printout;

// The preview ("Aperçu avant impression"): it shows a Document, one pupil's sheet or the
// synthesis pages of the class in one subject, on a white page that can be enlarged in two
// steps, scrolled, and stepped from pupil to pupil (or page to page). For the synthesis the
// window grows, as far as the screen allows, to show its landscape class table whole at the
// first zoom, and the arrows step by a row or a column of the table. "Imprimer" and "Fichier
// PDF" hand the shown document, as a Printout, to the one way documents are printed or saved
// (ui/Printout.h). While hidden it also prints one sheet for each step of the selection
// window's print run, and offers the run's sheets as a PDF file without a printer. Its view
// state lives in the program-wide state; the drawing sees only the view value made of it. The
// page box, the scroll bars and the name box are widgets of their own (PageBox.h,
// NotifyingScrollBar.h, NameBox.h).
class TForm3 final : public QWidget, public PreviewWindow {
    Q_OBJECT
public:
    TForm3(AppWindows& windows, QWidget* parent = nullptr);
    ~TForm3() override;

    // The selection window's side.
    void SetPupilName(const QString& name) override;
    void ShowPreview() override;
    void ShowSynthesis() override;
    void ImprimeClick() override;
    void OfferPdfInstead(const std::string& reason, std::int32_t firstPupil, std::int32_t lastPupil) override;

    void FormShow();
    void PaintBox1Paint(); // repaints the page now (when shown)
    void ZoomAVClick();
    void ZoomARClick();
    // scrollPos: the position the bar proposes; the bar takes what the handler leaves there.
    void VBarreScroll(ScrollCode code, int& scrollPos);
    void HBarreScroll(ScrollCode code, int& scrollPos);
    void SpinButton1UpClick();   // previous pupil
    void SpinButton1DownClick(); // next pupil
    void RetourClick();
    void PdfClick();          // the previewed sheet as a PDF file, for a teacher without a printer
    void PreviousPageClick(); // the synthesis's pages
    void NextPageClick();

    enum class Content { Sheet, Synthesis };
    Content Shown() const { return content_; }
    int ShownPage() const { return page_; } // 0-based
    int ShownPageCount() const;

    // The page as the paint box shows it: the white sheet, then the pupil's results.
    void PaintPage(QPainter& painter);

    // The printer of each job; tests put theirs in. The PDF file's name and the teacher's
    // answers go through FileDialog and MessageBox.
    std::function<std::unique_ptr<SheetPrinter>()> MakePrinter;

    QWidget* PaintBox1 = nullptr;
    QScrollBar* VBarre = nullptr;
    QScrollBar* HBarre = nullptr;
    QFrame* Shape2 = nullptr;
    QWidget* SpinButton1 = nullptr;
    QToolButton* SpinUp = nullptr;   // SpinButton1's upper arrow
    QToolButton* SpinDown = nullptr; // and its lower one
    QLineEdit* Edit1 = nullptr;
    QPushButton* ZoomAV = nullptr;
    QPushButton* ZoomAR = nullptr;
    QPushButton* Imprime = nullptr;
    QPushButton* Pdf = nullptr;
    QPushButton* Retour = nullptr;
    QWidget* PagePanel = nullptr; // in the pupil controls' place while the synthesis is shown
    QToolButton* PagePrevious = nullptr;
    QToolButton* PageNext = nullptr;
    QLabel* PageLabel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The constructor's steps, in the order the controls stack.
    void buildPage();
    void buildPupilControls();
    void buildPagePanel();
    void buildButtons();
    void connectButtons();
    void addKeys();

    const Document* shownDocument() const; // null when there is nothing to show
    PageView pageView(double scaleX, double scaleY) const;
    void showContent(Content content);
    void showPage(int page);
    void startAtCorner();
    void fitScrollRanges(); // the synthesis's pages are wider and taller than a sheet
    void placePage();       // the paint box and the horizontal bar follow the zoom
    // How much wider than a sheet's the window is made to show every page of the synthesis
    // whole at the first zoom, as far as the screen allows; and the making.
    int synthesisWidening(const Document& document) const;
    void widen(int widening);
    void showPupilName();
    // Tells the page box what a screen reader says of the page now: which page or pupil, the
    // zoom, the page's words (PageBox::SetSpeech announces what changed).
    void announcePage();
    void printShown(); // "Imprimer": the shown document, or a PDF file without a printer
    // The sheets of pupils first..last in the chosen subject, and their words as a printout.
    SheetDocument sheets(std::int32_t firstPupil, std::int32_t lastPupil) const;
    Printout sheetsPrintout(const Document& sheets, std::int32_t firstPupil, std::int32_t lastPupil) const;
    Printout synthesisPrintout(const Document& synthesis) const;
    QFont printFont() const; // the main window's, as the sheets were always printed

    AppWindows& windows_;
    Content content_ = Content::Sheet;
    int page_ = 0;
    int widening_ = 0;                        // pixels the window and the page box are wider than a sheet's
    std::unique_ptr<Document> synthesis_;     // while the synthesis is shown
    mutable std::unique_ptr<Document> sheet_; // the selected pupil's, as last asked for
    // The page whose words were last made, and those words: scrolling and zooming keep them.
    struct SpokenPage {
        Content content;
        Subject subject;
        TreatmentMode treatment;
        std::int32_t pupil;
        int page;
        const Document* synthesis;
        friend bool operator==(const SpokenPage&, const SpokenPage&) = default;
    };
    std::optional<SpokenPage> spoken_;
    QString spokenText_;
};

} // namespace zeb
