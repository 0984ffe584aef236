#include "ProgramTest.h"
#include "RecordingCanvas.h"
#include "WindowEvents.h"
#include "core/ProgramState.h"
#include "print/SheetPrinter.h"
#include "qtkit/FileDialog.h"
#include "qtkit/MessageBox.h"
#include "qttext/QtText.h"
#include "sheet/ResultSheet.h"
#include "sheet/SynthesisPages.h"
#include "sheet/qt/QPainterCanvas.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"
#include "ui/Zebproj.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTableWidget>
#include <QToolButton>
#include <QWheelEvent>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace zeb;
using namespace zeb::test;
namespace fs = std::filesystem;

namespace {

// What the fake printers of a test saw, one entry per job.
struct PrintLog {
    struct Job {
        QString title;
        std::int32_t pupil = 0;
        Subject subject = Subject::French;
        QString family;
        RecordingCanvas canvas; // every page's calls
        std::vector<PageOrientation> pages{PageOrientation::Portrait};
        bool ended = false;
        bool aborted = false;
    };
    std::vector<Job> jobs;
    int failEndAt = 0;  // job number (from 1) whose end is refused
    int failFontAt = 0; // job number whose drawing fails half-way
    bool noPrinter = false;
};

constexpr int FakeDpi = 192; // twice the layout's 96: scale 2

class FakePrinter final : public SheetPrinter {
public:
    FakePrinter(PrintLog& log, const ProgramState& state) : log_(log), state_(state) {}
    void SetTitle(const QString& title) override { title_ = title; }
    void BeginDoc() override {
        if (log_.noPrinter)
            throw NoPrinterError("Aucune imprimante n'est configurée sur cet ordinateur.");
        PrintLog::Job job;
        job.title = title_;
        job.pupil = state_.Class.PupilSelection.Top;
        job.subject = state_.CurrentSubject;
        log_.jobs.push_back(std::move(job));
    }
    void SetFont(const QFont& font) override {
        job().family = font.family();
        if (number() == log_.failFontAt)
            throw PrintError("panne au milieu de la fiche");
    }
    void SetPageOrientation(PageOrientation orientation) override { job().pages.back() = orientation; }
    void NewPage() override { job().pages.push_back(PageOrientation::Portrait); }
    Canvas& canvas() override { return job().canvas; }
    int PixelsPerInchX() const override { return FakeDpi; }
    int PixelsPerInchY() const override { return FakeDpi; }
    void EndDoc() override {
        job().ended = true;
        if (number() == log_.failEndAt)
            throw PrintError("L'imprimante « Salle 2 » n'a pas accepté la fiche.");
    }
    void Abort() override { job().aborted = true; }

private:
    PrintLog::Job& job() { return log_.jobs.back(); }
    int number() const { return static_cast<int>(log_.jobs.size()); }
    PrintLog& log_;
    const ProgramState& state_;
    QString title_;
};

// A question or a file dialog the test did not answer beforehand fails it, and is closed rather
// than left waiting for a teacher who is not there.
class UnansweredDialogs final : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show)
            return false;
        const auto* box = qobject_cast<QMessageBox*>(watched);
        if (qobject_cast<QFileDialog*>(watched) == nullptr &&
            (box == nullptr || box->icon() != QMessageBox::Question))
            return false;
        ADD_FAILURE() << (box != nullptr ? "unexpected question: " + box->text().toStdString()
                                         : "unexpected dialog");
        QMetaObject::invokeMethod(static_cast<QDialog*>(watched), &QDialog::reject, Qt::QueuedConnection);
        return false;
    }
};

// A click on one part of a scroll bar (page area, arrow), pressed and released as a mouse does.
void pressOn(QScrollBar* bar, QStyle::SubControl part, bool release = true) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    const QPoint at = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, bar->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(bar, &press);
    if (!release)
        return;
    QMouseEvent up(QEvent::MouseButtonRelease, at, bar->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                   Qt::NoModifier);
    QApplication::sendEvent(bar, &up);
}

void releaseOn(QScrollBar* bar) {
    QMouseEvent up(QEvent::MouseButtonRelease, QPoint(1, 1), bar->mapToGlobal(QPoint(1, 1)), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &up);
}

// The preview's geometry at each zoom step, as laid down for the window: the factor that scales
// the sheet, its fonts and positions alike; how far the page grows on each side; the paint box's
// left edge and width; and the width of the white page with its border, which the box cuts from
// the second step on.
struct ZoomStep {
    double factor;
    int growth, left, boxWidth, pageWidth;
};
constexpr ZoomStep Small{0.6, 0, 48, 479, 479}, Medium{0.8, 20, 28, 499, 519}, Large{1.0, 40, 8, 519, 559};

class PreviewTest : public ProgramTest {
protected:
    void SetUp() override {
        form3->MakePrinter = [this] { return std::make_unique<FakePrinter>(log, *state); };
        QApplication::instance()->installEventFilter(&unanswered);
    }

    // A generated class loaded as the teacher does, then the selection window on pupil `pupil`.
    void load(int pupils, int pupil = 1) {
        ProgramTest::load(pupils, pupil);
        ASSERT_TRUE(form2->isVisible());
    }
    void preview() {
        form2->Apercu->click();
        ASSERT_TRUE(form3->isVisible());
    }

    // The page as the window shows it now; as it should be at a zoom step, `draw` drawing on it
    // at that step's scale and the view's offsets; and as the sheet of `pupil` looks so.
    QImage shownPage() const {
        return form3->PaintBox1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    QImage expectedImage(const ZoomStep& zoom,
                         const std::function<void(Canvas&, const PageView&)>& draw) const {
        QImage image(zoom.boxWidth, 529, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(QPen(Qt::black, 0));
        painter.drawRect(0, 0, zoom.pageWidth - 1, 536);
        QPainterCanvas canvas(painter, form3->PaintBox1->font());
        draw(canvas, PageView{zoom.factor, state->View.HorizontalOffset, state->View.VerticalOffset,
                              zoom.factor, zoom.factor});
        painter.end();
        return image;
    }
    // A zoom step in the window as wide as it is now (wider for the synthesis).
    ZoomStep widened(ZoomStep step) const {
        const int widening = form3->width() - 737;
        step.boxWidth += widening;
        step.pageWidth += widening;
        return step;
    }
    QImage expectedPage(std::int32_t pupil, Subject subject, const ZoomStep& zoom = Small) const {
        return expectedImage(zoom, [&](Canvas& canvas, const PageView& view) {
            DrawResultSheet(subject, canvas, view, pupil, SheetSource::Of(*state));
        });
    }

    // The texts of the sheet of `pupil` on paper at the fake printer's resolution.
    std::vector<RecordingCanvas::Text> paperTexts(std::int32_t pupil, Subject subject) const {
        RecordingCanvas canvas;
        DrawResultSheet(subject, canvas, PageView::Paper(FakeDpi, FakeDpi), pupil, SheetSource::Of(*state));
        return canvas.texts;
    }

    ProgramState* state = &TestProgram::state();
    TForm2* form2 = &TestProgram::form2();
    TForm3* form3 = &TestProgram::form3();
    PrintLog log;
    UnansweredDialogs unanswered;
};

bool sameTexts(const std::vector<RecordingCanvas::Text>& a, const std::vector<RecordingCanvas::Text>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.x == y.x && x.y == y.y && x.size == y.size && x.text == y.text;
    });
}

// ---- Showing, zooming, painting ---------------------------------------------------------------

TEST_F(PreviewTest, FirstShowingIsTheSmallPageOfTheSelectedPupil) {
    load(6, 3);
    preview();
    EXPECT_FALSE(form2->isVisible());
    EXPECT_EQ(form3->windowTitle(), QStringLiteral(" EVALUATION CE2 - Aperçu avant impression"));
    EXPECT_FALSE(form3->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(form3->size(), QSize(737, 545));
    EXPECT_EQ(form3->minimumSize(), form3->maximumSize());
    EXPECT_EQ(state->View.ZoomFactor, 0.6);
    EXPECT_EQ(state->View.ZoomOffset, 0);
    EXPECT_EQ(state->View.ShownWidth, 737);
    EXPECT_EQ(state->View.ShownHeight, 545);
    EXPECT_EQ(form3->PaintBox1->geometry(), QRect(48, 0, 479, 529));
    EXPECT_EQ(form3->HBarre->geometry(), QRect(48, 528, 479, 17));
    EXPECT_EQ(form3->Edit1->text(), form2->PupilName(3));
    EXPECT_TRUE(form3->Edit1->text().startsWith(form2->StringGrid1->item(2, 1)->text()));
    EXPECT_EQ(form3->Imprime->text(), QStringLiteral("&Imprimer"));
    EXPECT_EQ(form3->Retour->toolTip(), QStringLiteral("Retour au traitement des résultats"));

    EXPECT_EQ(shownPage(), expectedPage(3, Subject::French));
    EXPECT_NE(shownPage(), expectedPage(2, Subject::French));
    // The page's right border is inside the paint box at this zoom only.
    const QImage page = shownPage();
    EXPECT_EQ(page.pixelColor(478, 520), QColor(Qt::black));
    EXPECT_EQ(page.pixelColor(0, 520), QColor(Qt::black));
}

TEST_F(PreviewTest, MathematicsIsDrawnWhenChosen) {
    load(4, 2);
    form2->RadioMathematiques->click();
    preview();
    EXPECT_EQ(shownPage(), expectedPage(2, Subject::Mathematics));
}

TEST_F(PreviewTest, ZoomStepsFollowTheTableAndStopAtBothEnds) {
    load(3);
    preview();
    auto expectStep = [&](const ZoomStep& step) {
        EXPECT_EQ(state->View.ZoomFactor, step.factor); // exactly one of the three
        EXPECT_EQ(state->View.ZoomOffset, step.growth);
        EXPECT_EQ(form3->PaintBox1->geometry(), QRect(step.left, 0, step.boxWidth, 529));
        EXPECT_EQ(form3->HBarre->geometry(), QRect(step.left, 528, step.boxWidth, 17));
    };
    form3->ZoomAV->click();
    expectStep(Medium);
    EXPECT_EQ(shownPage(), expectedPage(1, Subject::French, Medium));
    form3->ZoomAV->click();
    expectStep(Large);
    EXPECT_EQ(shownPage(), expectedPage(1, Subject::French, Large));
    form3->ZoomAV->click();
    expectStep(Large);
    form3->ZoomAR->click();
    expectStep(Medium);
    form3->ZoomAR->click();
    expectStep(Small);
    form3->ZoomAR->click(); // 0.8 - 0.2 in floating point is not 0.6: this must not go below
    expectStep(Small);
    EXPECT_EQ(shownPage(), expectedPage(1, Subject::French));
}

// ---- Scrolling ------------------------------------------------------------------------------

TEST_F(PreviewTest, PageStepsAddTheirOwnStepAndTheEndOfScrollStoresTheBarsPosition) {
    load(3);
    preview();
    QScrollBar* bar = form3->VBarre;
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 30);
    pressOn(bar, QStyle::SC_ScrollBarAddPage);
    EXPECT_EQ(state->View.VerticalOffset, 11);
    EXPECT_EQ(bar->value(), 11);
    EXPECT_EQ(shownPage(), expectedPage(1, Subject::French));

    pressOn(bar, QStyle::SC_ScrollBarAddLine);
    EXPECT_EQ(state->View.VerticalOffset, 12);

    // Page up from 5: the offset goes to -6 for a moment, the bar stops at 0, and the end of
    // the scroll brings the offset to the bar's own position.
    bar->setValue(5);
    pressOn(bar, QStyle::SC_ScrollBarSubPage, false);
    EXPECT_EQ(state->View.VerticalOffset, -6);
    EXPECT_EQ(bar->value(), 0);
    releaseOn(bar);
    EXPECT_EQ(state->View.VerticalOffset, 0);

    bar->setValue(25);
    pressOn(bar, QStyle::SC_ScrollBarAddPage, false);
    EXPECT_EQ(state->View.VerticalOffset, 36);
    EXPECT_EQ(bar->value(), 30);
    releaseOn(bar);
    EXPECT_EQ(state->View.VerticalOffset, 30);

    // The wheel over the page scrolls it as over its bar.
    const QPoint middle = form3->PaintBox1->rect().center();
    QWheelEvent wheel(middle, form3->PaintBox1->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(form3->PaintBox1, &wheel);
    EXPECT_LT(bar->value(), 30);
    EXPECT_EQ(state->View.VerticalOffset, bar->value());
}

TEST_F(PreviewTest, HorizontalBarStepsByFiftyPixelsAndTracksItsThumb) {
    load(3);
    preview();
    QScrollBar* bar = form3->HBarre;
    EXPECT_EQ(bar->maximum(), 200);
    pressOn(bar, QStyle::SC_ScrollBarAddPage);
    EXPECT_EQ(state->View.HorizontalOffset, 51);
    EXPECT_EQ(shownPage(), expectedPage(1, Subject::French));
    bar->setValue(190);
    pressOn(bar, QStyle::SC_ScrollBarAddPage);
    EXPECT_EQ(state->View.HorizontalOffset, 200);
    EXPECT_EQ(bar->value(), 200);

    // Dragging the thumb reports each position, then the release.
    bar->setSliderDown(true);
    bar->setSliderPosition(17);
    EXPECT_EQ(state->View.HorizontalOffset, 17);
    bar->setSliderDown(false);
    EXPECT_EQ(state->View.HorizontalOffset, 17);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(state->View.HorizontalOffset, 200);

    int position = 0;
    form3->HBarreScroll(ScrollCode::PageUp, position);
    EXPECT_EQ(position, -50);
    EXPECT_EQ(state->View.HorizontalOffset, -50);
}

// ---- From pupil to pupil, and back --------------------------------------------------------------

TEST_F(PreviewTest, SpinButtonsStepThroughTheClassAndStopAtItsEnds) {
    load(3);
    preview();
    const QString first = form3->Edit1->text();
    form3->SpinUp->click();
    EXPECT_EQ(state->Class.PupilSelection, (GridRect{1, 1, 2, 1}));
    EXPECT_EQ(form3->Edit1->text(), first);

    form3->SpinDown->click();
    EXPECT_EQ(state->Class.PupilSelection.Top, 2);
    EXPECT_EQ(state->Class.PupilSelection.Bottom, 2);
    EXPECT_EQ(form3->Edit1->text(), form2->PupilName(2));
    EXPECT_EQ(shownPage(), expectedPage(2, Subject::French));
    form3->SpinDown->click();
    form3->SpinDown->click();
    EXPECT_EQ(state->Class.PupilSelection.Top, 3);
    EXPECT_EQ(form3->Edit1->text(), form2->PupilName(3));
    form3->SpinUp->click();
    EXPECT_EQ(state->Class.PupilSelection.Top, 2);
    EXPECT_EQ(shownPage(), expectedPage(2, Subject::French));
}

TEST_F(PreviewTest, KeysStepThroughTheClassAndScrollAsTheBarsDo) {
    load(4, 2);
    preview();
    form3->activateWindow();
    ASSERT_TRUE(WaitForActiveWindow(form3));
    // Reached with Tab, the name box keeps the surname in view instead of selecting it all.
    form3->Edit1->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(form3->Edit1->hasFocus());
    EXPECT_FALSE(form3->Edit1->hasSelectedText());
    EXPECT_EQ(form3->Edit1->cursorPosition(), 0);

    const struct {
        QWidget* focus;
        Qt::Key key;
        std::int32_t pupil;
        int rows, pixels;
    } steps[] = {
        {form3->Edit1, Qt::Key_PageDown, 3, 0, 0},  {form3->ZoomAV, Qt::Key_PageDown, 4, 0, 0},
        {form3->ZoomAV, Qt::Key_PageDown, 4, 0, 0}, {form3->Retour, Qt::Key_PageUp, 3, 0, 0},
        {form3->Edit1, Qt::Key_Down, 3, 1, 0},      {form3->Imprime, Qt::Key_Down, 3, 2, 0},
        {form3->Imprime, Qt::Key_Up, 3, 1, 0},      {form3->Edit1, Qt::Key_Right, 3, 1, 1},
        {form3->ZoomAR, Qt::Key_Left, 3, 1, 0},     {form3->ZoomAR, Qt::Key_Left, 3, 1, 0},
    };
    int number = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(++number);
        step.focus->setFocus();
        KeyClick(step.focus, step.key);
        EXPECT_EQ(state->Class.PupilSelection.Top, step.pupil);
        EXPECT_EQ(form3->Edit1->text(), form2->PupilName(step.pupil));
        EXPECT_EQ(state->View.VerticalOffset, step.rows);
        EXPECT_EQ(form3->VBarre->value(), step.rows);
        EXPECT_EQ(state->View.HorizontalOffset, step.pixels);
        EXPECT_EQ(form3->HBarre->value(), step.pixels);
    }
    EXPECT_EQ(shownPage(), expectedPage(3, Subject::French));
}

TEST_F(PreviewTest, RetourResetsTheViewButTheBarsKeepTheirPositions) {
    load(5, 2);
    preview();
    form3->ZoomAV->click();
    pressOn(form3->VBarre, QStyle::SC_ScrollBarAddPage);
    form3->SpinDown->click();
    form3->Retour->click();
    EXPECT_FALSE(form3->isVisible());
    EXPECT_TRUE(form2->isVisible());
    EXPECT_EQ(form2->StringGrid1->currentRow(), 2); // the last previewed pupil
    EXPECT_EQ(state->View, ViewState{});
    EXPECT_EQ(form3->PaintBox1->geometry(), QRect(0, 0, 0, 529));
    EXPECT_EQ(form3->HBarre->geometry(), QRect(0, 528, 0, 17));

    preview();
    EXPECT_EQ(state->View.ZoomFactor, 0.6);
    EXPECT_EQ(state->View.VerticalOffset, 0);
    EXPECT_EQ(form3->VBarre->value(), 11);
    EXPECT_EQ(form3->PaintBox1->geometry(), QRect(48, 0, 479, 529));
    EXPECT_EQ(shownPage(), expectedPage(3, Subject::French));
}

// ---- Printing -------------------------------------------------------------------------------

TEST_F(PreviewTest, PrintDrawsThePaperSheetAndLeavesThePreviewsView) {
    load(4, 2);
    form2->RadioMathematiques->click();
    preview();
    form3->ZoomAV->click();
    pressOn(form3->VBarre, QStyle::SC_ScrollBarAddPage);
    pressOn(form3->HBarre, QStyle::SC_ScrollBarAddLine);
    const ViewState before = state->View;
    form3->Imprime->click();

    ASSERT_EQ(log.jobs.size(), 1u);
    const PrintLog::Job& job = log.jobs[0];
    EXPECT_EQ(job.title, QStringLiteral("Impression"));
    EXPECT_EQ(job.pages.size(), 1u);
    EXPECT_EQ(job.family, windows().Form1->font().family());
    EXPECT_TRUE(job.ended);
    EXPECT_FALSE(job.aborted);
    EXPECT_TRUE(sameTexts(job.canvas.texts, paperTexts(2, Subject::Mathematics)));

    EXPECT_EQ(state->View, before);
    EXPECT_EQ(form3->PaintBox1->geometry(), QRect(28, 0, 499, 529));
}

TEST_F(PreviewTest, FailedPrintsGiveTheViewBackAndSayWhy) {
    load(3);
    preview();
    form3->ZoomAV->click();
    pressOn(form3->HBarre, QStyle::SC_ScrollBarAddPage);
    const ViewState before = state->View;

    log.failEndAt = 1; // the queue refuses the job
    MessageBox::setNextAnswer(MessageBox::Answer::Ok);
    form3->Imprime->click();
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("L'imprimante « Salle 2 » n'a pas accepté la fiche."));
    EXPECT_EQ(state->View, before);
    EXPECT_FALSE(log.jobs[0].aborted);

    log.failFontAt = 2; // a failure half-way through drawing: nothing reaches the printer
    MessageBox::setNextAnswer(MessageBox::Answer::Ok);
    form3->Imprime->click();
    EXPECT_EQ(MessageBox::lastText(), QStringLiteral("panne au milieu de la fiche"));
    EXPECT_TRUE(log.jobs[1].aborted);
    EXPECT_FALSE(log.jobs[1].ended);
    EXPECT_EQ(state->View, before);
    EXPECT_EQ(shownPage(), expectedPage(1, Subject::French, Medium));
}

TEST_F(PreviewTest, PrintAllFromTheThirdPupilGivesOneJobPerPupilAtPaperSize) {
    load(10, 3);
    preview();
    form3->ZoomAV->click();
    form3->Retour->click();
    form2->ToutImprimer->click();
    ASSERT_EQ(log.jobs.size(), 8u);
    for (std::size_t i = 0; i < log.jobs.size(); ++i) {
        const PrintLog::Job& job = log.jobs[i];
        const auto pupil = static_cast<std::int32_t>(i + 3);
        EXPECT_EQ(job.pupil, pupil);
        EXPECT_EQ(job.title, QStringLiteral("Impression"));
        EXPECT_TRUE(sameTexts(job.canvas.texts, paperTexts(pupil, Subject::French))) << pupil;
    }
    EXPECT_EQ(state->Class.PupilSelection.Top, 10);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PreviewTest, PrintAllStoppedPartWayLeavesTheFailedPupilSelected) {
    load(6, 2);
    log.failEndAt = 3; // the third sheet: pupil 4
    MessageBox::setNextAnswer(MessageBox::Answer::Ok);
    form2->ToutImprimer->click();
    EXPECT_EQ(log.jobs.size(), 3u);
    const QString message = MessageBox::lastText();
    EXPECT_TRUE(message.startsWith(QStringLiteral("L'imprimante « Salle 2 » n'a pas accepté la fiche.\n")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral(
        "Les fiches des élèves 2 à 3 ont été imprimées, celles des élèves 4 à 6 ne l'ont pas été")))
        << message.toStdString();
    EXPECT_EQ(state->Class.PupilSelection.Top, 4);
    EXPECT_EQ(form2->StringGrid1->currentRow(), 3);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// ---- No printer: a PDF file instead -----------------------------------------------------------

TEST_F(PreviewTest, WithNoPrinterTheTeacherMayKeepTheSheetsInAPdfFile) {
    load(5, 2);
    log.noPrinter = true;
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    const fs::path chosen = files / "fiches";
    FileDialog::setNextFileName(QString::fromStdString(chosen.string()));
    form2->ToutImprimer->click();
    QString question = MessageBox::lastText();
    const QString suggested = FileDialog::lastProposal();
    EXPECT_TRUE(question.startsWith(QStringLiteral("Aucune imprimante")));
    EXPECT_TRUE(question.contains(QStringLiteral("Aucune des fiches des élèves 2 à 5 n'a été imprimée")));
    EXPECT_TRUE(question.contains(QStringLiteral("les fiches des élèves 2 à 5 dans un fichier PDF")));
    EXPECT_TRUE(suggested.endsWith(QStringLiteral("fiches-francais-eleves-2-a-5.pdf")));
    const std::string pdf = readFile(fs::path(chosen.string() + ".pdf"));
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    EXPECT_EQ(state->Class.PupilSelection.Top, 2);

    // One sheet from the preview; a "no" writes nothing.
    preview();
    MessageBox::setNextAnswer(MessageBox::Answer::No); // no file dialog follows
    form3->Imprime->click();
    question = MessageBox::lastText();
    EXPECT_TRUE(question.contains(QStringLiteral("la fiche dans un fichier PDF")));
    EXPECT_EQ(state->View.ZoomFactor, 0.6);
}

TEST_F(PreviewTest, PdfButtonSavesThePreviewedSheetUnderThePupilsName) {
    load(3, 3);
    preview();
    FileDialog::setNextFileName(QString::fromStdString((files / "une-fiche.PDF").string()));
    form3->Pdf->click();
    const QString suggested = FileDialog::lastProposal();
    EXPECT_TRUE(suggested.contains(QStringLiteral("fiche-francais-")));
    EXPECT_FALSE(suggested.contains(QLatin1Char(' ')));
    EXPECT_EQ(readFile(files / "une-fiche.PDF").substr(0, 5), "%PDF-");
    EXPECT_FALSE(fs::exists(files / "une-fiche.PDF.pdf"));
}

// ---- Class synthesis ---------------------------------------------------------------------------

TEST_F(PreviewTest, SynthesisPagesAreSteppedPrintedAsOneJobAndSavedAsPdf) {
    load(12, 4);
    state->Class.Info.ClassName = "CE2 \xC9toiles"; // Windows-1252, as the export gives it
    form2->RadioMathematiques->click();
    EXPECT_EQ(form2->Synthese->text(), QStringLiteral("&Synthèse"));
    form2->Synthese->click();
    ASSERT_TRUE(form3->isVisible());
    EXPECT_FALSE(form2->isVisible());
    EXPECT_FALSE(form3->SpinButton1->isVisible());
    EXPECT_FALSE(form3->Edit1->isVisible());
    const SynthesisDocument expected(Subject::Mathematics, SheetSource::Of(*state));
    const int pages = expected.PageCount();
    ASSERT_GE(pages, 3);
    EXPECT_EQ(form3->ShownPageCount(), pages);
    EXPECT_EQ(form3->PageLabel->text(), QStringLiteral("Page 1 sur %1").arg(pages));
    EXPECT_FALSE(form3->PagePrevious->isEnabled());

    // Page Down steps through the pages and stops at the last; the page shown is the one drawn.
    form3->activateWindow();
    ASSERT_TRUE(WaitForActiveWindow(form3));
    form3->ZoomAV->setFocus();
    KeyClick(form3->ZoomAV, Qt::Key_PageDown);
    EXPECT_EQ(form3->ShownPage(), 1);
    for (int k = 0; k < pages; ++k)
        form3->NextPageClick();
    EXPECT_EQ(form3->ShownPage(), pages - 1);
    EXPECT_FALSE(form3->PageNext->isEnabled());
    form3->PreviousPageClick();
    form3->ZoomAVClick();
    EXPECT_GT(form3->VBarre->maximum(), 0);
    pressOn(form3->VBarre, QStyle::SC_ScrollBarAddPage);
    EXPECT_EQ(state->View.VerticalOffset, form3->VBarre->value());
    EXPECT_EQ(shownPage(), expectedImage(widened(Medium), [&](Canvas& canvas, const PageView& view) {
                  expected.DrawPage(pages - 2, canvas, view);
              }));

    // One job titled "Synthèse" with every page, the class table in landscape.
    form3->Imprime->click();
    ASSERT_EQ(log.jobs.size(), 1u);
    const PrintLog::Job& job = log.jobs[0];
    EXPECT_EQ(job.title, QStringLiteral("Synthèse"));
    EXPECT_TRUE(job.ended);
    ASSERT_EQ(job.pages.size(), static_cast<std::size_t>(pages));
    EXPECT_EQ(job.pages[0], PageOrientation::Landscape);
    EXPECT_EQ(job.pages[1], PageOrientation::Portrait);
    RecordingCanvas paper;
    for (int k = 0; k < pages; ++k)
        expected.DrawPage(k, paper, PageView::Paper(FakeDpi, FakeDpi));
    EXPECT_TRUE(sameTexts(job.canvas.texts, paper.texts));

    // No printer: the teacher is offered the synthesis as a PDF file instead, and told where it went.
    log.noPrinter = true;
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    MessageBox::setNextAnswer(MessageBox::Answer::Ok);
    const fs::path chosen = files / "synthese";
    FileDialog::setNextFileName(QStringFromPath(chosen));
    form3->Imprime->click();
    EXPECT_EQ(QFileInfo(FileDialog::lastProposal()).fileName(),
              QStringLiteral("synthese-CE2 Étoiles-mathematiques.pdf"));
    EXPECT_EQ(readFile(files / "synthese.pdf").substr(0, 5), "%PDF-");
    EXPECT_EQ(MessageBox::lastText(),
              QStringLiteral("La synthèse a été enregistrée dans :\n") +
                  QDir::toNativeSeparators(QStringFromPath(chosen) + QStringLiteral(".pdf")));

    // Back to the selection window; the next preview is a pupil's sheet with its own bars.
    form3->Retour->click();
    EXPECT_TRUE(form2->isVisible());
    preview();
    EXPECT_TRUE(form3->SpinButton1->isVisible());
    EXPECT_FALSE(form3->PagePanel->isVisible());
    EXPECT_EQ(form3->Retour->geometry(), QRect(584, 240, 129, 28)); // in a window of the sheet's width
    EXPECT_EQ(form3->VBarre->maximum(), 30);
    EXPECT_EQ(form3->HBarre->maximum(), 200);
    EXPECT_EQ(form3->HBarre->singleStep(), 1);
    EXPECT_EQ(shownPage(), expectedPage(4, Subject::Mathematics));
}

// The landscape class table is seen whole: the window grows to show it at the first zoom, as far
// as the screen allows, and the horizontal bar reaches the rest at every zoom. The arrows step by
// a row or a column of the table, a click beside the thumb by the box's worth less one row.
TEST_F(PreviewTest, TheWholeClassTableIsInReachAndTheArrowsStepByItsRowsAndColumns) {
    load(25);
    form2->Synthese->click();
    const SynthesisDocument expected(Subject::French, SheetSource::Of(*state));
    const int widening = form3->width() - 737, needed = 168; // a landscape page at 0.6: 647 pixels
    EXPECT_EQ(widening, std::min(needed, form3->screen()->availableGeometry().width() - 737));
    EXPECT_EQ(form3->Retour->geometry(), QRect(584 + widening, 240, 129, 28));
    for (const ZoomStep& zoom : {Small, Medium, Large}) {
        form3->HBarre->triggerAction(QAbstractSlider::SliderToMaximum);
        RecordingCanvas page;
        expected.DrawPage(0, page,
                          PageView{zoom.factor, state->View.HorizontalOffset, 0, zoom.factor, zoom.factor});
        int right = 0; // the table's last rule
        for (const auto& line : page.lines)
            right = std::max({right, line.x1, line.x2});
        EXPECT_LT(right, form3->PaintBox1->width()) << zoom.factor;
        form3->ZoomAVClick();
    }
    form3->activateWindow();
    ASSERT_TRUE(WaitForActiveWindow(form3));
    form3->HBarre->triggerAction(QAbstractSlider::SliderToMinimum);
    const std::pair<Qt::Key, QPoint> keys[] = {
        {Qt::Key_Right, {32, 0}}, {Qt::Key_Down, {32, 1}}, {Qt::Key_Left, {0, 1}}, {Qt::Key_Up, {0, 0}}};
    for (const auto& [key, offsets] : keys) {
        KeyClick(form3->ZoomAV, key);
        EXPECT_EQ(QPoint(state->View.HorizontalOffset, state->View.VerticalOffset), offsets);
    }
    form3->NextPageClick(); // portrait, taller than the box at 1.0
    pressOn(form3->VBarre, QStyle::SC_ScrollBarAddPage);
    EXPECT_EQ(state->View.VerticalOffset, 529 / 16 - 1);
}

TEST_F(PreviewTest, SynthesisNeedsAClassAndShowsThePreviousOneAfterAFailedLoad) {
    EXPECT_FALSE(form2->Synthese->isEnabled());
    load(5);
    EXPECT_TRUE(form2->Synthese->isEnabled());
    const ClassResultsTable before = state->Class.ClassResults;
    writeFile(files / "abime.jad", "ceci n'est pas une archive");
    FileDialog::setNextFileName(QString::fromStdString((files / "abime.jad").string()));
    EXPECT_THROW(form1().SpeedButton1Click(), std::exception);
    EXPECT_EQ(state->Class.PupilCount, 5);
    EXPECT_TRUE(state->Class.ClassResults == before);
    form2->show();
    form2->Synthese->click();
    form3->Imprime->click();
    ASSERT_EQ(log.jobs.size(), 1u);
    const std::string fifth = state->Class.ClassResults[5].Surname.str();
    const auto& texts = log.jobs[0].canvas.texts;
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const auto& text) {
        return text.text.find(fifth.substr(0, fifth.find_last_not_of(' ') + 1)) != std::string::npos;
    }));
}

} // namespace
