#include "ProgramTest.h"
#include "ui/Artwork.h"
#include "ui/Maj.h"
#include "ui/ProgramWindows.h"
#include "ui/Zeb4.h"
#include "ui/Zebproj.h"

#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace zeb;
using namespace zeb::test;

namespace {

class AboutBoxTest : public ProgramTest {
protected:
    TAboutBox* box = &about();
};

std::string spaces(std::size_t count) {
    return std::string(count, ' ');
}

} // namespace

TEST_F(AboutBoxTest, HelpTextLineByLine) {
    const std::vector<std::string> expected{
        "",
        spaces(30) + ".:: COMMENT UTILISER ZEB v2 ::.",
        "",
        "a) Exporter les résultats de J'ade.",
        spaces(4) + "Pour exporter le fichier '.jad', ouvrez J'ADE, puis :",
        spaces(7) + "- configuration",
        spaces(7) + "- évaluations, sélectionnez l'évaluation concernée",
        spaces(7) + "- cliquez sur exporter",
        spaces(7) + "- prenez 'exportation de l'évaluation sélectionnée (.jad)'",
        spaces(7) + "- choisissez le groupe d'élèves, validez, nommez le fichier et exportez.",
        "",
        "b) Ensuite, relancez ce programme et chargez les résultats de la classe ",
        "concernée.",
        spaces(3) + "Choisissez ensuite le type de traitement souhaité :",
        spaces(8) + "- codage : classique A, ECA, NA",
        spaces(8) + "- pourcentage : scores des réussites, des échecs et des non-réponses",
        "",
        "Si vous souhaitez imprimer rapidement les feuilles de maths et de français, il ",
        "faut se positionner sur le premier élève et cliquer ",
        "sur le bouton \"Tout imprimer\". Vous pouvez néanmoins imprimer une seule ",
        "feuille en passant par l'aperçu mais il faut auparavant ",
        "sélectionner la matière et le type de traitement.",
        "",
    };
    const QTextDocument* document = box->Memo1->document();
    ASSERT_GT(document->blockCount(), 23);
    int number = 0;
    for (QTextBlock block = document->begin(); number < 23; block = block.next(), ++number)
        EXPECT_EQ(block.text().toStdString(), expected[static_cast<std::size_t>(number)])
            << "line " << number + 1;
    // Then how to see the whole class: its synthesis and its items.
    for (const QString& named : {QStringLiteral("\"Synthèse\""), QStringLiteral("l'analyse des items"),
                                 QStringLiteral("les items les moins réussis")})
        EXPECT_TRUE(box->Memo1->toPlainText().contains(named)) << named.toStdString();
}

TEST_F(AboutBoxTest, TheMemoIsAReadOnlyNotice) {
    QPlainTextEdit* memo = box->Memo1;
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->viewport()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(memo->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(memo->font().pixelSize(), 13);
    EXPECT_EQ(memo->palette().color(QPalette::Text), QColor(Qt::white));
    const QColor base = memo->palette().color(QPalette::Base);
    EXPECT_TRUE(base.red() == base.green() && base.green() == base.blue() && base != QColor(Qt::white));
}

TEST_F(AboutBoxTest, WindowAndLayout) {
    EXPECT_EQ(box->windowTitle(), QStringLiteral(" A propos"));
    EXPECT_EQ(box->windowType(), Qt::Dialog);
    EXPECT_TRUE(box->windowFlags().testFlag(Qt::CustomizeWindowHint));
    EXPECT_FALSE(box->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(box->windowFlags().testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->minimumSize(), QSize(487, 439));
    EXPECT_EQ(box->maximumSize(), QSize(487, 439));
    EXPECT_EQ(box->font().family(), QStringLiteral("Times New Roman"));
    EXPECT_EQ(box->font().pixelSize(), 13);
    EXPECT_FALSE(box->windowIcon().isNull());
    EXPECT_TRUE(box->isHidden());
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((box->geometry().center() - screenCentre).manhattanLength(), 1);

    EXPECT_EQ(box->Panel1->geometry(), QRect(7, 7, 473, 185));
    EXPECT_EQ(box->Memo1->size(), QSize(473, 203));
    EXPECT_GT(box->Memo1->y(), box->Panel1->geometry().bottom());
    EXPECT_TRUE(box->rect().contains(box->Memo1->geometry()));
    EXPECT_TRUE(box->rect().contains(box->OKButton->geometry()));
    EXPECT_GT(box->OKButton->y(), box->Memo1->geometry().bottom());

    // The mark lies over the banner's left end, and above it.
    EXPECT_EQ(box->Image1->parentWidget(), box->Panel1);
    EXPECT_EQ(box->Image1->geometry(), QRect(80, 16, 369, 49));
    EXPECT_EQ(box->Image2->geometry(), QRect(56, 16, 89, 49));
    const QObjectList& stack = box->Panel1->children();
    EXPECT_GT(stack.indexOf(box->Image2), stack.indexOf(box->Image1));
    // Drawn for the box's first showing.
    box->show();
    EXPECT_EQ(box->Image1->pixmap().size(), QSize(369, 49));
    EXPECT_EQ(box->Image2->pixmap().size(), QSize(89, 49));
}

TEST_F(AboutBoxTest, OkHasTheFocusAndHidesTheBox) {
    EXPECT_EQ(box->OKButton->text(), QStringLiteral("OK"));
    EXPECT_TRUE(box->OKButton->isDefault());
    box->show();
    EXPECT_EQ(box->focusWidget(), box->OKButton);
    box->Memo1->setFocus();
    box->OKButton->click();
    EXPECT_TRUE(box->isHidden());
    // Shown again it is the same window, and OK has the focus once more.
    box->show();
    box->show();
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->focusWidget(), box->OKButton);
    box->OKButtonClick();
    EXPECT_TRUE(box->isHidden());
}

TEST_F(AboutBoxTest, HiddenButtonOpensTheObjectivesInsteadOfTheMainWindow) {
    EXPECT_TRUE(box->Button1->isHidden());
    EXPECT_EQ(box->Button1->text(), QStringLiteral("Consulter les objectifs et les items retenus"));
    QWidget* main = windows().Form1;
    QWidget* objectives = windows().Form4;
    main->show();
    box->show();
    box->Button1Click();
    EXPECT_TRUE(objectives->isVisible());
    EXPECT_TRUE(main->isHidden());
    EXPECT_TRUE(box->isVisible());
}

// ---- Artwork ---------------------------------------------------------------------------

// Icons are drawn when first asked for; they must then look as Qt's own icon of the same
// pictures, in every mode, and through every copy Qt makes of them.
TEST(Artwork, IconsDrawnOnDemandPaintAsTheirPixmaps) {
    const QIcon icon = artwork::PrintGlyph();
    const QIcon copy = icon;
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
        EXPECT_EQ(copy.actualSize(QSize(24, 24), mode), QSize(24, 24));
        QImage painted(24, 24, QImage::Format_ARGB32_Premultiplied), drawn = painted;
        painted.fill(Qt::transparent);
        drawn.fill(Qt::transparent);
        QPainter(&drawn).drawPixmap(0, 0, icon.pixmap(QSize(24, 24), mode));
        QPainter painter(&painted);
        copy.paint(&painter, painted.rect(), Qt::AlignCenter, mode);
        painter.end();
        EXPECT_EQ(painted, drawn) << mode;
    }
    EXPECT_NE(icon.pixmap(16, QIcon::Disabled).toImage(), icon.pixmap(16).toImage());
}

TEST(Artwork, EveryPictureHasTheSizeAskedFor) {
    for (const QSize size : {QSize(369, 49), QSize(89, 49), QSize(1, 1)}) {
        EXPECT_EQ(artwork::Banner(size.width(), size.height()).size(), size);
        EXPECT_EQ(artwork::Logo(size.width(), size.height()).size(), size);
    }
    const QIcon app = artwork::AppIcon();
    for (int side : {16, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(app.availableSizes().contains(QSize(side, side))) << side;
    for (const QIcon& glyph : {artwork::OpenGlyph(), artwork::ListGlyph(), artwork::QuitGlyph(),
                               artwork::HelpGlyph(), artwork::OkGlyph(), artwork::BackGlyph()}) {
        ASSERT_FALSE(glyph.isNull());
        EXPECT_EQ(glyph.pixmap(16, 16).size(), QSize(16, 16));
    }
}
