// The preview's page read by assistive technology: its accessible text, name and description,
// and the events that announce their changes.

#include "ProgramTest.h"
#include "core/ProgramState.h"
#include "qttext/QtText.h"
#include "ui/PageBox.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"

#include <QAccessible>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace zeb;
using namespace zeb::test;

namespace {

// The accessibility events the preview's page sends while a test listens, and the new text of
// the last text update.
struct Announcements {
    explicit Announcements(QWidget* box) : page(static_cast<PageBox*>(box)) {
        page->announced = [this](QAccessibleEvent& event) {
            seen.push_back(event.type());
            if (event.type() == QAccessible::TextUpdated)
                inserted = static_cast<QAccessibleTextUpdateEvent&>(event).textInserted();
        };
    }
    ~Announcements() { page->announced = nullptr; }
    void clear() { seen.clear(), inserted.clear(); }
    bool has(QAccessible::Event type) const {
        return std::find(seen.begin(), seen.end(), type) != seen.end();
    }

    PageBox* page;
    std::vector<QAccessible::Event> seen;
    QString inserted;
};

class PreviewReadingTest : public ProgramTest {
protected:
    QAccessibleInterface* page() const { return QAccessible::queryAccessibleInterface(form3->PaintBox1); }
    // What a screen reader gets of the text interface: GetText(0, -1).
    QStringList lines() const {
        QAccessibleTextInterface* text = page()->textInterface();
        return text->text(0, text->characterCount()).split(u'\n');
    }
    QString statement(std::int32_t objective) const {
        return toQString(state->FrenchTable.ObjectiveTexts[objective]).trimmed();
    }
    QString pupilName(std::int32_t pupil) const {
        const PupilRecord& record = state->Class.ClassResults[pupil];
        return toQString(record.Surname).trimmed() + u' ' + toQString(record.FirstName).trimmed();
    }
    // The result of one French objective said in the treatment, from the stored texts.
    QString said(std::int32_t objective, std::int32_t pupil, bool percent) const {
        const auto& scores = state->Class.ObjectiveResults.French;
        const QString sr = toQString(scores.SR[objective][pupil]).trimmed();
        if (percent)
            return QStringLiteral("SR %1, SE %2, SNR %3")
                .arg(sr, toQString(scores.SE[objective][pupil]).trimmed(),
                     toQString(scores.SNR[objective][pupil]).trimmed());
        if (sr == u"Abs")
            return QStringLiteral("absent(e)");
        const int value = sr.section(u' ', 0, 0).toInt();
        return value >= 75 ? QStringLiteral("A") : value >= 50 ? QStringLiteral("ECA") : QStringLiteral("NA");
    }

    ProgramState* state = &TestProgram::state();
    TForm2* form2 = &TestProgram::form2();
    TForm3* form3 = &TestProgram::form3();
};

TEST_F(PreviewReadingTest, TheSheetSaysEachObjectivesResultInTheChosenTreatment) {
    load(6, 3);
    for (const bool percent : {false, true}) {
        SCOPED_TRACE(percent ? "pourcentages" : "codage");
        (percent ? form2->RadioPourcentage : form2->RadioCodage)->click();
        form2->Apercu->click();
        ASSERT_TRUE(form3->isVisible());
        EXPECT_EQ(page()->role(), QAccessible::Document);
        EXPECT_TRUE(page()->state().readOnly);
        EXPECT_EQ(page()->text(QAccessible::Name),
                  QStringLiteral("Fiche de français, %1, élève 3 sur 6").arg(pupilName(3)));
        EXPECT_EQ(page()->text(QAccessible::Description), QStringLiteral("Zoom 0,6"));
        const QStringList text = lines();
        ASSERT_GE(text.size(), 2);
        EXPECT_EQ(text[0], QStringLiteral("Résultats de français"));
        EXPECT_EQ(text[1], QStringLiteral("Élève : ") + pupilName(3));
        EXPECT_TRUE(text.contains(QStringLiteral("Domaine 1 : COMPREHENSION")));
        for (const std::int32_t n : {1, 3, 8, 16})
            EXPECT_TRUE(text.contains(
                QStringLiteral("Objectif %1, %2 : %3").arg(n).arg(statement(n), said(n, 3, percent))))
                << "objectif " << n << " dans :\n"
                << text.join(u'\n').toStdString();
        form3->RetourClick();
    }
}

TEST_F(PreviewReadingTest, ThePageSaysWhatChangesAndAnnouncesIt) {
    load(6, 3);
    form2->Apercu->click();
    Announcements events(form3->PaintBox1);

    form3->SpinDown->click(); // the next pupil
    EXPECT_EQ(page()->text(QAccessible::Name),
              QStringLiteral("Fiche de français, %1, élève 4 sur 6").arg(pupilName(4)));
    EXPECT_EQ(lines().value(1), QStringLiteral("Élève : ") + pupilName(4));
    EXPECT_TRUE(events.has(QAccessible::NameChanged));
    EXPECT_EQ(events.inserted, lines().join(u'\n'));

    events.clear();
    form3->ZoomAV->click();
    EXPECT_EQ(page()->text(QAccessible::Description), QStringLiteral("Zoom 0,8"));
    EXPECT_EQ(events.seen, std::vector{QAccessible::DescriptionChanged}); // the same words

    form3->RetourClick();
    form2->Synthese->click();
    const int pages = form3->ShownPageCount();
    EXPECT_EQ(page()->text(QAccessible::Name),
              QStringLiteral("Synthèse de français, page 1 sur %1").arg(pages));
    const QStringList table = lines();
    EXPECT_TRUE(table.contains(QStringLiteral("TABLEAU DE LA CLASSE")));
    // The key, drawn in columns, is read column by column.
    const qsizetype domain = table.indexOf(QStringLiteral("Domaine 2 : RECONNAISSANCE DES MOTS"));
    ASSERT_GT(domain, 0);
    EXPECT_EQ(table.value(domain + 1), QStringLiteral("6 : ") + statement(6));

    events.clear();
    form3->PageNext->click();
    EXPECT_EQ(page()->text(QAccessible::Name),
              QStringLiteral("Synthèse de français, page 2 sur %1").arg(pages));
    const QStringList synthesis = lines();
    EXPECT_TRUE(synthesis.contains(QStringLiteral("SYNTHESE DE LA CLASSE")));
    EXPECT_FALSE(synthesis.contains(QStringLiteral("TABLEAU DE LA CLASSE")));
    EXPECT_TRUE(events.has(QAccessible::NameChanged));
    EXPECT_EQ(events.inserted, synthesis.join(u'\n'));
}

} // namespace
