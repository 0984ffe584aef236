#include "Zeb4.h"

#include "Accessibility.h"
#include "Artwork.h"
#include "WindowKit.h"

#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringList>

namespace zeb {
namespace {

QString indented(int spaces, const char* utf8) {
    return QString(spaces, QLatin1Char(' ')) + QString::fromUtf8(utf8);
}

// The help text, line by line. The trailing spaces are those of the lines the text was
// first typed as; they are kept so the text reads the same wherever it wraps.
QString helpText() {
    const QStringList lines{
        QString(),
        indented(30, ".:: COMMENT UTILISER ZEB v2 ::."),
        QString(),
        QString::fromUtf8("a) Exporter les résultats de J'ade."),
        indented(4, "Pour exporter le fichier '.jad', ouvrez J'ADE, puis :"),
        indented(7, "- configuration"),
        indented(7, "- évaluations, sélectionnez l'évaluation concernée"),
        indented(7, "- cliquez sur exporter"),
        indented(7, "- prenez 'exportation de l'évaluation sélectionnée (.jad)'"),
        indented(7, "- choisissez le groupe d'élèves, validez, nommez le fichier et exportez."),
        QString(),
        QString::fromUtf8("b) Ensuite, relancez ce programme et chargez les résultats de la classe "),
        QString::fromUtf8("concernée."),
        indented(3, "Choisissez ensuite le type de traitement souhaité :"),
        indented(8, "- codage : classique A, ECA, NA"),
        indented(8, "- pourcentage : scores des réussites, des échecs et des non-réponses"),
        QString(),
        QString::fromUtf8("Si vous souhaitez imprimer rapidement les feuilles de maths et de français, il "),
        QString::fromUtf8("faut se positionner sur le premier élève et cliquer "),
        QString::fromUtf8("sur le bouton \"Tout imprimer\". Vous pouvez néanmoins imprimer une seule "),
        QString::fromUtf8("feuille en passant par l'aperçu mais il faut auparavant "),
        QString::fromUtf8("sélectionner la matière et le type de traitement."),
        QString(),
        QString::fromUtf8("c) Pour voir les résultats de toute la classe, choisissez la matière et "
                          "cliquez sur \"Synthèse\". L'aperçu montre, page après page :"),
        indented(8, "- le tableau de la classe : un élève par ligne, un objectif par colonne ;"),
        indented(8, "- la synthèse : le nombre d'élèves A, ECA et NA par objectif ;"),
        indented(8, "- les groupes de besoin : les élèves NA et ECA de chaque objectif ;"),
        indented(8, "- l'analyse des items : la réussite de la classe à chaque item ;"),
        indented(8, "- les items les moins réussis, avec les élèves qui les ont manqués ou "
                    "n'y ont pas répondu."),
        indented(3, "\"Imprimer\" imprime toutes ces pages, \"Fichier PDF\" les enregistre dans "
                    "un fichier."),
    };
    return lines.join(QLatin1Char('\n'));
}

} // namespace

TAboutBox::TAboutBox(AppWindows& windows, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), windows_(windows) {
    setWindowTitle(QStringLiteral(" A propos"));
    setWindowIcon(artwork::AppIcon());
    setFixedSize(487, 439);
    setFont(PixelFont(QStringLiteral("Times New Roman"), 13));
    setModal(false);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(7, 7, 473, 185);
    Panel1->setFrameShape(QFrame::Box);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);

    // The pictures are drawn when the box is first shown (most sessions never open it).
    Image1 = new QLabel(Panel1);
    Image1->setGeometry(80, 16, 369, 49);
    Image1->setAccessibleName(QStringLiteral("ZEB v2 – Évaluation CE2"));
    Image2 = new QLabel(Panel1);
    Image2->setGeometry(56, 16, 89, 49);
    Image2->setAccessibleName(QStringLiteral("Logo de ZEB"));
    Image2->raise(); // the mark sits on the banner's blank left end

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(7, 196, 473, 203);
    Memo1->setAccessibleName(QStringLiteral("Comment utiliser ZEB v2"));
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setFont(PixelFont(QStringLiteral("Arial"), 13));
    QPalette grey = Memo1->palette();
    grey.setColor(QPalette::Base, QColor(0x80, 0x80, 0x80));
    grey.setColor(QPalette::Text, Qt::white);
    Memo1->setPalette(grey);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setPlainText(helpText());
    Memo1->setReadOnly(true);
    // After setReadOnly, which would put the text cursor back: this is a notice, not a field.
    Memo1->viewport()->setCursor(Qt::ArrowCursor);

    OKButton = new QPushButton(artwork::OkGlyph(), QStringLiteral("OK"), this);
    OKButton->setGeometry(203, 405, 81, 27);
    OKButton->setFont(PixelFont(QStringLiteral("Times New Roman"), 13));
    OKButton->setDefault(true);

    Button1 = new QPushButton(QStringLiteral("Consulter les objectifs et les items retenus"), this);
    Button1->setGeometry(7, 405, 185, 27);
    Button1->hide();
    KeepFromAssistiveTechnology(Button1);

    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TAboutBox::OKButtonClick() {
    hide();
}

void TAboutBox::Button1Click() {
    if (windows_.Form4 != nullptr)
        windows_.Form4->show();
    if (windows_.Form1 != nullptr)
        windows_.Form1->hide();
}

void TAboutBox::showEvent(QShowEvent* event) {
    if (Image1->pixmap().isNull()) {
        Image1->setPixmap(artwork::Banner(Image1->width(), Image1->height()));
        Image2->setPixmap(artwork::Logo(Image2->width(), Image2->height()));
    }
    QDialog::showEvent(event);
    OKButton->setFocus(Qt::OtherFocusReason);
}

} // namespace zeb
