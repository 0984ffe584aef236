#include "Zebproj.h"

#include "archive/Zip.h"
#include "archive/qt/ProgressForm.h"
#include "archive/qt/QtZipPrompts.h"
#include "core/Errors.h"
#include "core/ExportScan.h"
#include "core/ObjectiveTables.h"
#include "core/WorkFiles.h"
#include "load/ClassImport.h"
#include "load/ExportLoad.h"
#include "platform/Platform.h"
#include "qtkit/FileDialog.h"
#include "qttext/QtText.h"
#include "ui/Accessibility.h"
#include "ui/Artwork.h"
#include "ui/ErrorBox.h"
#include "ui/WindowKit.h"
#include "ui/Zeb2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QUrl>
#include <optional>

namespace zeb {
namespace fs = std::filesystem;

namespace {

constexpr const char* ExtractionFolderName = "extraction";

// `name`: what the notice holds, for a screen reader.
QPlainTextEdit* memo(QWidget* parent, const QRect& geometry, const QString& name, const QString& text,
                     const QColor& colour, int pixels) {
    auto* edit = new QPlainTextEdit(text, parent);
    edit->setAccessibleName(name);
    edit->setGeometry(geometry);
    edit->setReadOnly(true);
    // A notice, not a field: Tab goes from button to button.
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setFrameShape(QFrame::NoFrame);
    edit->setFont(PixelFont(QStringLiteral("Arial"), pixels));
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->viewport()->setCursor(Qt::ArrowCursor);
    edit->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: transparent; color: %1; }").arg(colour.name()));
    return edit;
}

QFrame* shape(QWidget* parent, const QRect& geometry, const QString& fill, const QString& outline) {
    auto* frame = new QFrame(parent);
    frame->setGeometry(geometry);
    frame->setStyleSheet(
        QStringLiteral("QFrame { background: %1; border: 1px dotted %2; }").arg(fill, outline));
    return frame;
}

// The one export a drop carries, if it carries exactly one local .jad file.
QString droppedExport(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QUrl url = data->urls().front();
    if (!url.isLocalFile() || !url.toLocalFile().endsWith(QStringLiteral(".jad"), Qt::CaseInsensitive))
        return {};
    return url.toLocalFile();
}

// A write interrupted before its rename leaves ".NAME.XXXXXX" beside NAME.
bool isWorkFileTemporary(const std::string& name) {
    for (std::string_view work : {TempFileName, FrenchFileName, MathsFileName}) {
        const std::string prefix = "." + std::string(work) + ".";
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
            return true;
    }
    return false;
}

} // namespace

TForm1::TForm1(AppWindows& windows, fs::path programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      windows_(windows), programFolder_(std::move(programFolder)) {
    setWindowTitle(QStringLiteral("EVALUATION CE2"));
    setAcceptDrops(true);
    setFixedSize(798, 596);
    setFont(PixelFont(QStringLiteral("Times New Roman"), 13));
    setAutoFillBackground(true);
    setPalette(QApplication::palette());

    buildBanner();
    buildFileBox();
    buildButtons();
    buildNotice();
    buildSearchWords();
    connectButtons();

    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate();

    runLock_ = std::make_unique<QLockFile>(QStringFromPath(ProgramFolder() / ".zeb.lock"));
    if (runLock_->tryLock(0))
        RemoveWorkFiles();
}

// Bevel4 and Label5, the white band at the top, with the banner and the logo over it.
void TForm1::buildBanner() {
    auto* band = new QFrame(this);
    band->setGeometry(5, 5, 788, 92);
    band->setFrameShape(QFrame::Panel);
    band->setFrameShadow(QFrame::Raised);
    band->setStyleSheet(QStringLiteral("QFrame { background: white; }"));
    auto* banner = new QLabel(this); // Image1
    banner->setGeometry(104, 16, 585, 81);
    banner->setPixmap(artwork::Banner(585, 81));
    banner->setAccessibleName(QStringLiteral("ZEB v2 – Évaluation CE2"));
    auto* logo = new QLabel(this); // Image2
    logo->setGeometry(112, 8, 145, 65);
    logo->setScaledContents(true);
    logo->setPixmap(artwork::Logo(145, 65));
    logo->setAccessibleName(QStringLiteral("Logo de ZEB"));
}

// "Fichier d'entrée": the export's path and the button that asks for it.
void TForm1::buildFileBox() {
    auto* group = new QGroupBox(QStringLiteral("Fichier d'entrée"), this); // GroupBox1
    group->setGeometry(5, 112, 788, 45);
    Edit1 = new QLineEdit(group);
    Edit1->setGeometry(8, 16, 729, 23);
    Edit1->setAcceptDrops(false); // a dropped export is loaded by the window, not typed in
    SpeedButton1 = new QToolButton(group);
    SpeedButton1->setGeometry(744, 16, 31, 22);
    SpeedButton1->setIcon(artwork::OpenGlyph());
    SpeedButton1->setToolTip(QStringLiteral("Parcourir"));
    SpeedButton1->setAccessibleName(QStringLiteral("Parcourir")); // not its group box's title
}

void TForm1::buildButtons() {
    shape(this, QRect(5, 160, 788, 41), QStringLiteral("silver"), QStringLiteral("navy")); // Shape2
    BitBtn2 = new QPushButton(artwork::ListGlyph(), QStringLiteral("&Items retenus"), this);
    BitBtn2->setGeometry(16, 168, 137, 25);
    BitBtn2->setToolTip(QStringLiteral("Liste des items retenus (Français - Mathématiques)"));
    Quitter = new QPushButton(artwork::QuitGlyph(), QStringLiteral("&Quitter"), this);
    Quitter->setGeometry(608, 168, 137, 25);
    Quitter->setToolTip(QStringLiteral("Quitter ZEB v2"));
    BitBtn1 = new QPushButton(artwork::HelpGlyph(), QString(), this);
    BitBtn1->setGeometry(752, 168, 31, 25);
    BitBtn1->setToolTip(QStringLiteral("Aide ZEB v2"));
    BitBtn1->setAccessibleName(QStringLiteral("Aide"));
}

// The grey panel: the evaluation's date, what the program does, the precautions for J'ADE
// data and the signature; the credits under it.
void TForm1::buildNotice() {
    shape(this, QRect(5, 204, 788, 360), QStringLiteral("gray"), QStringLiteral("black")); // Shape1
    Label3 = new QLabel(this);
    Label3->setGeometry(13, 216, 724, 33);
    Label3->setFont(PixelFont(QStringLiteral("Arial"), 19, true));
    Label3->setStyleSheet(QStringLiteral("QLabel { color: white; }"));
    Memo2 =
        memo(this, QRect(16, 248, 721, 68), QStringLiteral("Présentation du programme"),
             QStringLiteral("Ce programme permet d'éditer deux feuilles de présentation des résultats des "
                            "évaluations au CE2.\nIl fonctionne à partir des fichiers export de J'ADE.\n"
                            "Il présente aussi la synthèse de la classe, ses groupes de besoin et "
                            "l'analyse des items."),
             Qt::white, 16);
    Memo3 = memo(
        this, QRect(48, 288, 689, 209), QStringLiteral("Précautions à prendre avec J'ADE"),
        QStringLiteral("\n\nATTENTION .:: Précautions à prendre ::.\n\n"
                       "1) Dans J'ade, il ne doit pas y avoir d'espace dans les noms, il faut les remplacer "
                       "par le caractère '_'.\n"
                       "    Exemple : LE GALL devient LE_GALL\n\n"
                       "2) Dans J'ade, il ne doit pas y avoir d'espace dans les prénoms, il faut les "
                       "remplacer par les caractères '_' ou '-'.\n"
                       "    Exemple : Jean Pierre devient Jean-Pierre\n\n"
                       "3) Le programme ZEB ne fonctionne pas pour des classes de plus de 30 élèves (C'est "
                       "déjà pas mal!!). \n"
                       "    Si malheureusement vous avez plus d'élèves il faut créer deux classes sous "
                       "J'ADE."),
        Qt::yellow, 13);
    auto* signature = memo(this, QRect(32, 496, 681, 41), QStringLiteral("Signature"),
                           QStringLiteral("Bonne utilisation,\nL'équipe ZEB"), Qt::white, 15); // Memo1
    signature->document()->setDefaultTextOption(QTextOption(Qt::AlignRight));
    auto* credits =
        new QLabel(QStringLiteral("  ZEB v2 - résultats de l'évaluation nationale CE2, à partir des "
                                  "exports J'ADE - logiciel libre"),
                   this); // Panel1
    credits->setGeometry(5, 568, 788, 25);
    credits->setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

// Working controls, never shown, nor read out by a screen reader: the scan's search words.
void TForm1::buildSearchWords() {
    auto* words = new QGroupBox(QStringLiteral("Liste des mots recherchés"), this); // GroupBox2
    words->setGeometry(5, 600, 200, 80);
    words->hide();
    KeepFromAssistiveTechnology(words);
    MmListeRecherche =
        new QPlainTextEdit(toQString(PupilWord) + QLatin1Char('\n') + toQString(CodesWord), words);
    MmListeRecherche->setGeometry(8, 16, 184, 56);
}

void TForm1::connectButtons() {
    connect(SpeedButton1, &QToolButton::clicked, this,
            [this] { Guarded(this, [this] { SpeedButton1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { Guarded(this, [this] { BitBtn2Click(); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded(this, [this] { BitBtn1Click(); }); });
    connect(Quitter, &QPushButton::clicked, this, [this] { Guarded(this, [this] { QuitterClick(); }); });
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    BuildObjectiveTables(*windows_.State);
    Label3->setText(toQString(EvaluationDate));
}

fs::path TForm1::ProgramFolder() const {
    std::error_code ignored;
    if (!fs::exists(programFolder_, ignored)) {
        fs::create_directories(programFolder_, ignored);
        fs::permissions(programFolder_, fs::perms::owner_all, ignored);
    }
    return programFolder_;
}

void TForm1::SpeedButton1Click() {
    Edit1->clear();
    const QString chosen = FileDialog::openFileName(
        this, QString(), QString(), QStringLiteral("Exportation d'une évaluation J'ADE (*.jad)"));
    if (chosen.isEmpty())
        return;
    LoadExport(chosen);
}

void TForm1::LoadExport(const QString& chosen) {
    // As the system writes paths: C:\Users\... on Windows, whatever the dialog or the drop gave.
    Edit1->setText(QDir::toNativeSeparators(chosen));

    const fs::path programFolder = ProgramFolder();
    const fs::path source = fs::absolute(PathFromQString(chosen));
    // The program's folder is the current one, where ZEB.CFG is read and written; the load
    // comes back to it however it ends.
    std::error_code ignored;
    fs::current_path(programFolder, ignored);
    // The component is made anew for every load; its questions go to message boxes.
    zip_.reset();
    zip_ = std::make_unique<TZip>(prompts_, volumes_);
    zip_->MakeProgressForm = [this](TZip& zip) { return std::make_unique<TProgressForm>(zip, this); };
    std::vector<std::string> searchWords;
    for (const QString& word : MmListeRecherche->toPlainText().split(QLatin1Char('\n')))
        searchWords.push_back(fromQString(word));
    std::optional<WaitCursor> hourglass;
    zeb::LoadExport(*zip_, source, {programFolder / ExtractionFolderName, programFolder}, *windows_.State,
                    searchWords, [&hourglass] { hourglass.emplace(); });

    setWindowState(Qt::WindowNoState);
    QCoreApplication::processEvents();
    hourglass->restore();
    hide();
    if (windows_.Form2 != nullptr) {
        windows_.Form2->FillPupilGrid();
        windows_.Form2->show();
    }
}

void TForm1::BitBtn2Click() {
    if (windows_.Form4 != nullptr)
        windows_.Form4->show();
    hide();
}

void TForm1::BitBtn1Click() {
    if (windows_.AboutBox != nullptr) {
        windows_.AboutBox->show();
        windows_.AboutBox->raise();
    }
}

void TForm1::RemoveWorkFiles() {
    const fs::path programFolder = ProgramFolder();
    DeleteWorkFiles(programFolder);
    std::error_code ignored;
    fs::remove_all(programFolder / ExtractionFolderName, ignored);
    // A TMP that is a link is not ours to sweep (the work files refuse to go through it).
    const fs::path work = WorkFolder(programFolder);
    if (fs::is_symlink(work, ignored))
        return;
    for (fs::directory_iterator entry(work, ignored), end; !ignored && entry != end; entry.increment(ignored))
        if (isWorkFileTemporary(Utf8FromPath(entry->path().filename()))) {
            std::error_code notRemoved;
            fs::remove(entry->path(), notRemoved);
        }
}

void TForm1::QuitterClick() {
    RemoveWorkFiles();
    close();
    QApplication::quit();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The close box quits too, and the work files hold children's names and results.
    RemoveWorkFiles();
    event->accept();
    QApplication::quit();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedExport(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString path = droppedExport(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // After the drop is done: the drag's source must not wait on an error box.
    QMetaObject::invokeMethod(
        this, [this, path] { Guarded(this, [this, &path] { LoadExport(path); }); }, Qt::QueuedConnection);
}

} // namespace zeb
