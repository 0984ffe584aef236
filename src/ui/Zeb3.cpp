#include "ui/Zeb3.h"

#include "core/ProgramState.h"
#include "print/SheetPrinter.h"
#include "qttext/QtText.h"
#include "sheet/ClassPages.h"
#include "sheet/ResultSheet.h"
#include "sheet/SynthesisPages.h"
#include "sheet/qt/QPainterCanvas.h"
#include "ui/Artwork.h"
#include "ui/ErrorBox.h"
#include "ui/NameBox.h"
#include "ui/PageBox.h"
#include "ui/Printout.h"
#include "ui/WindowKit.h"
#include "ui/Zeb2.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>

namespace zeb {

namespace {

constexpr int PageLeft = 48;   // the paint box's left edge at the smallest zoom
constexpr int PageWidth = 479; // and its width
constexpr int PageHeight = 537;
constexpr int ZoomGrowth = 20; // pixels the page grows on each side per zoom step
constexpr std::array<double, 3> ZoomSteps = {0.6, 0.8, 1.0};
constexpr int RowPageStep = 10;      // added to the bar's own step of 1 by a vertical page step
constexpr int PixelPageStep = 50;    // and by a horizontal one
constexpr int SheetRowRange = 30;    // how far a sheet scrolls: rows
constexpr int SheetPixelRange = 200; // and pixels
constexpr int WindowWidth = 737;
// A readable step across a class page: one objective's column of the class table, as one row
// (LinePitch) is the step down it.
constexpr int ColumnPitch = 2 * LinePitch;

// The zoom is kept to exactly the three factors: stepping by adding 0.2 in floating point
// would come back from 0.8 to 0.6000000000000001, which is not 0.6 and would zoom out again.
int zoomStep(double factor) {
    return static_cast<int>(std::lround((factor - ZoomSteps.front()) / 0.2));
}

// The paint box's width that shows a whole page of that orientation at that zoom.
int pageBoxWidth(PageOrientation orientation, double zoom) {
    const int width =
        (orientation == PageOrientation::Landscape ? A4LongSide : A4ShortSide) - 2 * PrintableInset;
    return static_cast<int>(std::ceil(width * zoom)) + 2;
}

QPushButton* makeButton(QWidget* parent, const QString& text, const QIcon& icon, const QString& tip,
                        int top) {
    auto* button = new QPushButton(icon, text, parent);
    button->setToolTip(tip);
    button->setGeometry(584, top, 129, 28);
    return button;
}

QToolButton* makeArrow(QWidget* parent, Qt::ArrowType arrow, int top) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true); // held down, it goes on through the class
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(0, top, 20, 11);
    return button;
}

} // namespace

TForm3::TForm3(AppWindows& windows, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), windows_(windows) {
    setWindowTitle(QStringLiteral(" EVALUATION CE2 - Aperçu avant impression"));
    setFixedSize(WindowWidth, 545);
    setFont(PixelFont(QStringLiteral("Times New Roman"), 13));

    buildPage();
    buildPupilControls();
    buildPagePanel();
    buildButtons();
    connectButtons();
    addKeys();
    MakePrinter = [] { return MakeSystemPrinter(); };

    if (const QScreen* shown = screen())
        setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), shown->availableGeometry()));
}

// The paint box and its two bars.
void TForm3::buildPage() {
    auto* page = new PageBox(this, [this](QPainter& painter) { PaintPage(painter); });
    PaintBox1 = page;
    PaintBox1->setFont(PixelFont(QStringLiteral("Times New Roman"), 13));
    PaintBox1->setGeometry(0, 0, 519, 529);

    VBarre = new NotifyingScrollBar(Qt::Vertical, this,
                                    [this](ScrollCode code, int& position) { VBarreScroll(code, position); });
    VBarre->setGeometry(528, 0, 17, 529);
    VBarre->setAccessibleName(QStringLiteral("Défilement vertical de la page"));
    VBarre->setRange(0, SheetRowRange);
    VBarre->setSingleStep(1);
    VBarre->setPageStep(1);
    page->wheelTarget = VBarre;

    HBarre = new NotifyingScrollBar(Qt::Horizontal, this,
                                    [this](ScrollCode code, int& position) { HBarreScroll(code, position); });
    HBarre->setGeometry(0, 528, 481, 17);
    HBarre->setAccessibleName(QStringLiteral("Défilement horizontal de la page"));
    HBarre->setRange(0, SheetPixelRange);
    HBarre->setSingleStep(1);
    HBarre->setPageStep(1);
}

// The silver panel on the right, then the pupil's arrows and name on it.
void TForm3::buildPupilControls() {
    // Created before the controls it stands behind.
    Shape2 = new QFrame(this);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    Shape2->setStyleSheet(QStringLiteral("#Shape2 { background-color: silver; border: 1px dotted navy; }"));
    Shape2->setGeometry(552, 0, 177, 545);

    SpinButton1 = new QWidget(this);
    SpinButton1->setGeometry(560, 32, 20, 22);
    SpinUp = makeArrow(SpinButton1, Qt::UpArrow, 0);
    SpinUp->setAccessibleName(QStringLiteral("Élève précédent"));
    SpinDown = makeArrow(SpinButton1, Qt::DownArrow, 11);
    SpinDown->setAccessibleName(QStringLiteral("Élève suivant"));

    Edit1 = new NameBox(this);
    Edit1->setGeometry(580, 32, 141, 23);
    Edit1->setToolTip(QStringLiteral("Liste des élèves"));
    Edit1->setAccessibleName(QStringLiteral("Nom de l'élève"));
    // It only shows the pupil's name: nothing typed there would ever be read.
    Edit1->setReadOnly(true);
}

// In the pupil controls' place while the synthesis is shown.
void TForm3::buildPagePanel() {
    PagePanel = new QWidget(this);
    PagePanel->setGeometry(560, 32, 161, 23);
    PagePrevious = makeArrow(PagePanel, Qt::LeftArrow, 0);
    PagePrevious->setGeometry(0, 0, 20, 23);
    PagePrevious->setToolTip(QStringLiteral("Page précédente"));
    PagePrevious->setAccessibleName(QStringLiteral("Page précédente"));
    PageNext = makeArrow(PagePanel, Qt::RightArrow, 0);
    PageNext->setGeometry(141, 0, 20, 23);
    PageNext->setToolTip(QStringLiteral("Page suivante"));
    PageNext->setAccessibleName(QStringLiteral("Page suivante"));
    PageLabel = new QLabel(PagePanel);
    PageLabel->setGeometry(20, 0, 121, 23);
    PageLabel->setAlignment(Qt::AlignCenter);
    PagePanel->hide();
}

void TForm3::buildButtons() {
    ZoomAV = makeButton(this, QStringLiteral("Zoom A&vant"), artwork::ZoomInGlyph(), QString(), 80);
    ZoomAR = makeButton(this, QStringLiteral("&Zoom Arrière"), artwork::ZoomOutGlyph(), QString(), 112);
    Imprime = makeButton(this, QStringLiteral("&Imprimer"), artwork::PrintGlyph(),
                         QStringLiteral("Imprime la fiche"), 168);
    Pdf = makeButton(this, QStringLiteral("Fichier &PDF"), artwork::PdfGlyph(),
                     QStringLiteral("Enregistre la fiche dans un fichier PDF"), 204);
    Retour = makeButton(this, QStringLiteral("&Retour"), artwork::BackGlyph(),
                        QStringLiteral("Retour au traitement des résultats"), 240);
}

void TForm3::connectButtons() {
    connect(SpinUp, &QToolButton::clicked, this, [this] { SpinButton1UpClick(); });
    connect(SpinDown, &QToolButton::clicked, this, [this] { SpinButton1DownClick(); });
    connect(PagePrevious, &QToolButton::clicked, this, [this] { PreviousPageClick(); });
    connect(PageNext, &QToolButton::clicked, this, [this] { NextPageClick(); });
    connect(ZoomAV, &QPushButton::clicked, this, [this] { ZoomAVClick(); });
    connect(ZoomAR, &QPushButton::clicked, this, [this] { ZoomARClick(); });
    connect(Imprime, &QPushButton::clicked, this, [this] { Guarded(this, [this] { printShown(); }); });
    connect(Pdf, &QPushButton::clicked, this, [this] { Guarded(this, [this] { PdfClick(); }); });
    connect(Retour, &QPushButton::clicked, this, [this] { RetourClick(); });
}

// The keys a teacher reaches for, whichever control has the focus: Page Up and Page Down
// step through the class as the spin button's arrows do, the arrows scroll as the bars'
// own arrows do, through the same handlers, so every offset is the one a click gives.
void TForm3::addKeys() {
    const auto onKey = [this](QKeySequence key, auto action) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    onKey(QKeySequence(Qt::Key_PageUp),
          [this] { content_ == Content::Synthesis ? PreviousPageClick() : SpinButton1UpClick(); });
    onKey(QKeySequence(Qt::Key_PageDown),
          [this] { content_ == Content::Synthesis ? NextPageClick() : SpinButton1DownClick(); });
    onKey(QKeySequence(Qt::Key_Up), [this] { VBarre->triggerAction(QAbstractSlider::SliderSingleStepSub); });
    onKey(QKeySequence(Qt::Key_Down),
          [this] { VBarre->triggerAction(QAbstractSlider::SliderSingleStepAdd); });
    onKey(QKeySequence(Qt::Key_Left),
          [this] { HBarre->triggerAction(QAbstractSlider::SliderSingleStepSub); });
    onKey(QKeySequence(Qt::Key_Right),
          [this] { HBarre->triggerAction(QAbstractSlider::SliderSingleStepAdd); });
}

TForm3::~TForm3() = default;

void TForm3::SetPupilName(const QString& name) {
    Edit1->setText(name);
    Edit1->setCursorPosition(0); // the surname first, not the end of the padded first name
}

void TForm3::ShowPreview() {
    showContent(Content::Sheet);
}

void TForm3::ShowSynthesis() {
    showContent(Content::Synthesis);
}

void TForm3::showContent(Content content) {
    content_ = content;
    // The figures and the pages' flow are computed once per showing: the class cannot change
    // while the preview is up, and every repaint draws from them.
    const ProgramState& state = *windows_.State;
    synthesis_ = content == Content::Synthesis && state.Class.PupilCount > 0
                     ? std::make_unique<SynthesisDocument>(state.CurrentSubject, SheetSource::Of(state))
                     : nullptr;
    page_ = 0;
    const bool sheet = content == Content::Sheet;
    SpinButton1->setVisible(sheet);
    Edit1->setVisible(sheet);
    PagePanel->setVisible(!sheet);
    Imprime->setToolTip(sheet ? QStringLiteral("Imprime la fiche") : QStringLiteral("Imprime la synthèse"));
    Pdf->setToolTip(sheet ? QStringLiteral("Enregistre la fiche dans un fichier PDF")
                          : QStringLiteral("Enregistre la synthèse dans un fichier PDF"));
    if (!sheet)
        startAtCorner();
    widen(synthesis_ != nullptr ? synthesisWidening(*synthesis_) : 0);
    show(); // FormShow runs first, from the show event
    raise();
    activateWindow();
    spoken_.reset(); // the class may have been loaded again meanwhile
    showPage(0);
    announcePage(); // a sheet's showing paints nothing of its own before the window's paint
}

void TForm3::startAtCorner() {
    HBarre->setValue(0);
    VBarre->setValue(0);
    windows_.State->View.HorizontalOffset = 0;
    windows_.State->View.VerticalOffset = 0;
}

int TForm3::ShownPageCount() const {
    const Document* document = shownDocument();
    return document != nullptr ? document->PageCount() : 0;
}

const Document* TForm3::shownDocument() const {
    if (content_ == Content::Synthesis)
        return synthesis_.get();
    // The sheet follows the selected pupil; it is only references, made anew for each use.
    const ProgramState& state = *windows_.State;
    const std::int32_t pupil = state.Class.PupilSelection.Top;
    if (pupil < 1 || pupil > state.Class.PupilCount)
        return nullptr;
    sheet_ = std::make_unique<SheetDocument>(sheets(pupil, pupil));
    return sheet_.get();
}

PageView TForm3::pageView(double scaleX, double scaleY) const {
    const ViewState& view = windows_.State->View;
    return {view.ZoomFactor, view.HorizontalOffset, view.VerticalOffset, scaleX, scaleY};
}

void TForm3::PreviousPageClick() {
    showPage(page_ - 1);
}

void TForm3::NextPageClick() {
    showPage(page_ + 1);
}

void TForm3::showPage(int page) {
    if (content_ != Content::Synthesis)
        return;
    const int count = ShownPageCount();
    const int shown = std::clamp(page, 0, std::max(count - 1, 0));
    const bool moved = shown != page_;
    page_ = shown;
    PageLabel->setText(QStringLiteral("Page %1 sur %2").arg(page_ + 1).arg(count));
    PagePrevious->setEnabled(page_ > 0);
    PageNext->setEnabled(page_ + 1 < count);
    if (moved)
        startAtCorner(); // a new page is seen from its top-left corner
    fitScrollRanges();
    PaintBox1Paint();
}

void TForm3::fitScrollRanges() {
    ViewState& view = windows_.State->View;
    const Document* document = shownDocument();
    if (content_ != Content::Synthesis || document == nullptr || page_ >= document->PageCount())
        return;
    int rows = SheetRowRange;
    int pixels = SheetPixelRange;
    if (view.ZoomFactor > 0) {
        const PageOrientation orientation = document->Orientation(page_);
        const double height =
            (orientation == PageOrientation::Landscape ? A4ShortSide : A4LongSide) - 2 * PrintableInset;
        const double zoom = view.ZoomFactor;
        pixels = std::max(0, pageBoxWidth(orientation, zoom) - PaintBox1->width());
        rows = std::max(
            0, static_cast<int>(std::ceil((height * zoom - PaintBox1->height()) / (LinePitch * zoom))) + 1);
        // An arrow moves by a row or a column of the table, a click beside the thumb by the
        // box's worth less one row or column, kept in sight to read on from.
        const int column = std::max(1, static_cast<int>(std::lround(ColumnPitch * zoom)));
        HBarre->setSingleStep(column);
        HBarre->setPageStep(std::max(1, PaintBox1->width() - column));
        VBarre->setPageStep(std::max(1, static_cast<int>(PaintBox1->height() / (LinePitch * zoom)) - 1));
    }
    HBarre->setRange(0, pixels);
    VBarre->setRange(0, rows);
    // A shorter range may have pulled the bars back: the page follows them.
    view.HorizontalOffset = HBarre->value();
    view.VerticalOffset = VBarre->value();
}

void TForm3::FormShow() {
    ViewState& view = windows_.State->View;
    // The window cannot be resized, so its size at showing and at painting are the same and
    // the page's scale is the zoom factor. The client size is taken rather than the frame's:
    // under X the window manager adds its frame only after the window is shown.
    view.ShownWidth = width();
    view.ShownHeight = height();
    view.ZoomFactor = ZoomSteps.front();
    view.ZoomOffset = 0;
    placePage();
}

void TForm3::PaintBox1Paint() {
    PaintBox1->repaint();
    announcePage();
}

void TForm3::PaintPage(QPainter& painter) {
    const ViewState& view = windows_.State->View;
    // The white page and its black border, cut to the paint box.
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::white);
    painter.drawRect(0, 0, PageWidth + 2 * view.ZoomOffset + widening_ - 1, PageHeight - 1);
    if (view.ShownWidth <= 0 || view.ShownHeight <= 0)
        return; // hidden since "Retour": nothing to scale to
    const double scaleX = width() * view.ZoomFactor / view.ShownWidth;
    const double scaleY = height() * view.ZoomFactor / view.ShownHeight;
    const Document* document = shownDocument();
    if (document == nullptr)
        return;
    QPainterCanvas canvas(painter, PaintBox1->font());
    document->DrawPage(content_ == Content::Synthesis ? page_ : 0, canvas, pageView(scaleX, scaleY));
}

void TForm3::ZoomAVClick() {
    ViewState& view = windows_.State->View;
    if (view.ZoomFactor >= ZoomSteps.back())
        return;
    const int step = std::min(zoomStep(view.ZoomFactor) + 1, static_cast<int>(ZoomSteps.size()) - 1);
    view.ZoomFactor = ZoomSteps[static_cast<std::size_t>(step)];
    view.ZoomOffset += ZoomGrowth;
    placePage();
    if (content_ == Content::Synthesis)
        fitScrollRanges();
    PaintBox1Paint();
}

void TForm3::ZoomARClick() {
    ViewState& view = windows_.State->View;
    if (view.ZoomFactor <= ZoomSteps.front())
        return;
    const int step = std::max(zoomStep(view.ZoomFactor) - 1, 0);
    view.ZoomFactor = ZoomSteps[static_cast<std::size_t>(step)];
    view.ZoomOffset -= ZoomGrowth;
    placePage();
    if (content_ == Content::Synthesis)
        fitScrollRanges();
    PaintBox1Paint();
}

void TForm3::VBarreScroll(ScrollCode code, int& scrollPos) {
    // A sheet's page step is the bar's own step of 1 and this; a class page's is the bar's.
    const int step = content_ == Content::Sheet ? RowPageStep : 0;
    if (code == ScrollCode::PageUp)
        scrollPos -= step;
    else if (code == ScrollCode::PageDown)
        scrollPos += step;
    windows_.State->View.VerticalOffset = scrollPos;
    PaintBox1Paint();
}

void TForm3::HBarreScroll(ScrollCode code, int& scrollPos) {
    const int step = content_ == Content::Sheet ? PixelPageStep : 0;
    if (code == ScrollCode::PageUp)
        scrollPos -= step;
    else if (code == ScrollCode::PageDown)
        scrollPos += step;
    windows_.State->View.HorizontalOffset = scrollPos;
    PaintBox1Paint();
}

void TForm3::SpinButton1UpClick() {
    GridRect& selection = windows_.State->Class.PupilSelection;
    if (selection.Top <= 1)
        return;
    --selection.Top;
    --selection.Bottom;
    showPupilName();
    PaintBox1Paint();
}

void TForm3::SpinButton1DownClick() {
    GridRect& selection = windows_.State->Class.PupilSelection;
    if (selection.Bottom >= windows_.State->Class.PupilCount)
        return;
    ++selection.Top;
    ++selection.Bottom;
    showPupilName();
    PaintBox1Paint();
}

void TForm3::ImprimeClick() {
    // The selected pupil's sheet, whatever the window shows: this is the print run's step.
    const std::int32_t pupil = windows_.State->Class.PupilSelection.Top;
    const SheetDocument sheet = sheets(pupil, pupil);
    Print(sheetsPrintout(sheet, pupil, pupil), MakePrinter, printFont());
}

void TForm3::printShown() {
    if (content_ == Content::Synthesis) {
        if (const Document* synthesis = shownDocument())
            PrintOrOfferPdf(this, synthesisPrintout(*synthesis), MakePrinter, printFont());
        return;
    }
    const std::int32_t pupil = windows_.State->Class.PupilSelection.Top;
    const SheetDocument sheet = sheets(pupil, pupil);
    PrintOrOfferPdf(this, sheetsPrintout(sheet, pupil, pupil), MakePrinter, printFont());
}

void TForm3::RetourClick() {
    if (content_ == Content::Synthesis) { // the bars and the window are the sheet's again
        startAtCorner();
        HBarre->setRange(0, SheetPixelRange);
        VBarre->setRange(0, SheetRowRange);
        HBarre->setSingleStep(1);
        HBarre->setPageStep(1);
        VBarre->setPageStep(1);
        widen(0);
        content_ = Content::Sheet;
        synthesis_.reset();
    }
    if (windows_.Form2 != nullptr)
        windows_.Form2->ApplySelection(); // the grid shows the last previewed pupil
    ViewState& view = windows_.State->View;
    view.HorizontalOffset = 0;
    view.VerticalOffset = 0;
    view.ZoomOffset = 0;
    view.ShownWidth = 0;
    view.ShownHeight = 0;
    view.ZoomFactor = 0.0;
    PaintBox1->setGeometry(0, PaintBox1->y(), 0, PaintBox1->height());
    HBarre->setGeometry(0, HBarre->y(), 0, HBarre->height());
    hide();
    if (windows_.Form2 != nullptr)
        static_cast<QWidget*>(windows_.Form2)->show();
}

void TForm3::PdfClick() {
    if (content_ == Content::Synthesis) {
        if (const Document* synthesis = shownDocument())
            SaveAsPdf(this, synthesisPrintout(*synthesis));
        return;
    }
    const std::int32_t pupil = windows_.State->Class.PupilSelection.Top;
    const SheetDocument sheet = sheets(pupil, pupil);
    SaveAsPdf(this, sheetsPrintout(sheet, pupil, pupil));
}

void TForm3::OfferPdfInstead(const std::string& reason, std::int32_t firstPupil, std::int32_t lastPupil) {
    const SheetDocument run = sheets(firstPupil, lastPupil);
    OfferPdf(this, reason, sheetsPrintout(run, firstPupil, lastPupil));
}

void TForm3::showEvent(QShowEvent* event) {
    // Coming back from a minimised state is no new showing.
    if (!event->spontaneous())
        FormShow();
    QWidget::showEvent(event);
}

void TForm3::closeEvent(QCloseEvent* event) {
    CloseAsBack(event, [this] { RetourClick(); });
}

void TForm3::placePage() {
    const int growth = windows_.State->View.ZoomOffset;
    const int width = PageWidth + growth + widening_;
    PaintBox1->setGeometry(PageLeft - growth, PaintBox1->y(), width, PaintBox1->height());
    HBarre->setGeometry(PageLeft - growth, HBarre->y(), width, HBarre->height());
}

int TForm3::synthesisWidening(const Document& document) const {
    int widest = PageWidth;
    for (int page = 0; page < document.PageCount(); ++page)
        widest = std::max(widest, pageBoxWidth(document.Orientation(page), ZoomSteps.front()));
    // No wider than the screen: the bar reaches the rest.
    const QScreen* shown = screen();
    const int frame = frameGeometry().width() - width();
    const int room = shown != nullptr ? shown->availableGeometry().width() - frame - WindowWidth : 0;
    return std::clamp(widest - PageWidth, 0, std::max(room, 0));
}

void TForm3::widen(int widening) {
    const int by = widening - widening_;
    if (by == 0)
        return;
    widening_ = widening;
    for (QWidget* control : std::initializer_list<QWidget*>{VBarre, Shape2, SpinButton1, Edit1, PagePanel,
                                                            ZoomAV, ZoomAR, Imprime, Pdf, Retour})
        control->move(control->x() + by, control->y());
    setFixedSize(WindowWidth + widening, height());
    // The window keeps its centre, inside the screen.
    int left = x() - by / 2;
    if (const QScreen* shown = screen()) {
        const QRect screenArea = shown->availableGeometry();
        left = std::max(screenArea.left(), std::min(left, screenArea.right() + 1 - frameGeometry().width()));
    }
    move(left, y());
    placePage();
}

void TForm3::announcePage() {
    if (!isVisible())
        return; // told again when next shown
    const ProgramState& state = *windows_.State;
    const QString subject = state.CurrentSubject == Subject::French ? QStringLiteral("français")
                                                                    : QStringLiteral("mathématiques");
    PageSpeech speech;
    speech.description =
        QStringLiteral("Zoom %1").arg(QLocale(QLocale::French).toString(state.View.ZoomFactor, 'f', 1));
    const Document* document = shownDocument();
    if (content_ == Content::Synthesis) {
        speech.name = QStringLiteral("Synthèse de %1").arg(subject);
        if (document != nullptr)
            speech.name += QStringLiteral(", page %1 sur %2").arg(page_ + 1).arg(document->PageCount());
    } else {
        speech.name = QStringLiteral("Fiche de %1").arg(subject);
        const std::int32_t pupil = state.Class.PupilSelection.Top;
        if (document != nullptr)
            speech.name += QStringLiteral(", %1, élève %2 sur %3")
                               .arg(toQString(classpages::pupilName(state.Class.ClassResults[pupil])))
                               .arg(pupil)
                               .arg(state.Class.PupilCount);
    }
    const SpokenPage shown{
        content_, state.CurrentSubject, state.CurrentTreatment, state.Class.PupilSelection.Top,
        page_,    synthesis_.get()};
    if (spoken_ != shown) {
        spokenText_ = document != nullptr
                          ? toQString(document->PageText(content_ == Content::Synthesis ? page_ : 0))
                          : QString();
        spoken_ = shown;
    }
    speech.text = spokenText_;
    static_cast<PageBox*>(PaintBox1)->SetSpeech(std::move(speech));
}

void TForm3::showPupilName() {
    if (windows_.Form2 != nullptr)
        SetPupilName(windows_.Form2->PupilName(windows_.State->Class.PupilSelection.Top));
}

SheetDocument TForm3::sheets(std::int32_t firstPupil, std::int32_t lastPupil) const {
    const ProgramState& state = *windows_.State;
    return {state.CurrentSubject, SheetSource::Of(state), firstPupil, lastPupil};
}

Printout TForm3::sheetsPrintout(const Document& sheets, std::int32_t firstPupil,
                                std::int32_t lastPupil) const {
    const QString pupilName = firstPupil == lastPupil && windows_.Form2 != nullptr
                                  ? windows_.Form2->PupilName(firstPupil)
                                  : QString();
    return SheetsPrintout(sheets, windows_.State->CurrentSubject, firstPupil, lastPupil,
                          windows_.State->Class.PupilCount, pupilName,
                          toQString(TrimTrailingSpaces(windows_.State->Class.Info.ClassName)));
}

Printout TForm3::synthesisPrintout(const Document& synthesis) const {
    const ProgramState& state = *windows_.State;
    return SynthesisPrintout(synthesis, state.CurrentSubject,
                             toQString(TrimTrailingSpaces(state.Class.Info.ClassName)));
}

QFont TForm3::printFont() const {
    return windows_.Form1 != nullptr ? static_cast<QWidget*>(windows_.Form1)->font() : SheetFont();
}

} // namespace zeb
