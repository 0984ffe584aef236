// The windows as a screen reader meets them, through Qt's accessibility interfaces: every
// control named, nothing hidden by design reachable, and Tab going round every window.

#include "ProgramTest.h"
#include "WindowEvents.h"
#include "archive/qt/ProgressForm.h"
#include "archive/qt/QtZipPrompts.h"
#include "core/FixedText.h"
#include "core/ProgramState.h"
#include "qtkit/MessageBox.h"
#include "qttext/QtText.h"
#include "ui/Maj.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"
#include "ui/Zeb4.h"
#include "ui/Zebproj.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <tuple>
#include <vector>

using namespace zeb;
using namespace zeb::test;

namespace {

void collect(QAccessibleInterface* iface, std::vector<QAccessibleInterface*>& all) {
    all.push_back(iface);
    for (int i = 0; i < iface->childCount(); ++i)
        if (QAccessibleInterface* child = iface->child(i))
            collect(child, all);
}

std::vector<QAccessibleInterface*> treeOf(QWidget* window) {
    std::vector<QAccessibleInterface*> all;
    collect(QAccessible::queryAccessibleInterface(window), all);
    return all;
}

// The focus, one key press after another, from `start` until it comes back (or sticks).
std::vector<QWidget*> focusWalk(QWidget* start, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    start->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> walk{start};
    while (walk.size() < 40) {
        KeyClick(QApplication::focusWidget(), key, modifiers);
        if (QApplication::focusWidget() == start)
            break;
        walk.push_back(QApplication::focusWidget());
    }
    return walk;
}

class AccessibilityTest : public ProgramTest {
protected:
    // Every window the teacher may meet, open in turn, each checked while open.
    void forEachWindow(const std::function<void(const char*, QWidget*)>& check) {
        form1().show();
        check("principale", &form1());
        load(12, 3);
        check("sélection", &form2());
        for (QPushButton* content : {form2().Apercu, form2().Synthese}) {
            content->click();
            check(content == form2().Apercu ? "aperçu d'une fiche" : "aperçu de la synthèse", &form3());
            form3().RetourClick();
        }
        for (QWidget* window : {static_cast<QWidget*>(&about()), static_cast<QWidget*>(&form4())}) {
            window->show();
            check(window == &about() ? "aide" : "objectifs", window);
            window->hide();
        }
        whileModal("message", check, [this] {
            MessageBox::ask(&form1(), MessageBox::Icon::Question, QStringLiteral("Continuer ?"),
                            {MessageBox::Answer::Yes, MessageBox::Answer::No}, MessageBox::Answer::Yes);
        });
        QtZipPrompts prompts(&form1());
        whileModal("mot de passe", check,
                   [&prompts] { prompts.passwordBox("Le mot de passe est nécessaire"); });
        LinuxVolumeService volumes;
        TZip zip(prompts, volumes);
        TProgressForm progress(zip, &form1());
        progress.show();
        check("progression", &progress);
    }

    // Checks the modal box that `open` shows, then closes it.
    static void whileModal(const char* name, const std::function<void(const char*, QWidget*)>& check,
                           const std::function<void()>& open) {
        QTimer::singleShot(0, [name, &check] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr) << name;
            check(name, box);
            box->close();
        });
        open();
    }
};

} // namespace

TEST_F(AccessibilityTest, EveryControlIsNamedAndNothingHiddenByDesignIsExposed) {
    const std::set<QObject*> hidden = {form1().MmListeRecherche->parentWidget(),
                                       form1().MmListeRecherche,
                                       about().Button1,
                                       form4().Label1,
                                       form4().DateEdit,
                                       form4().Label2,
                                       form4().VersionEdit,
                                       form4().Enregistrer,
                                       form4().Charger,
                                       form4().ListBox1};
    forEachWindow([&hidden](const char* window, QWidget* shown) {
        int controls = 0;
        for (QAccessibleInterface* iface : treeOf(shown)) {
            EXPECT_FALSE(hidden.contains(iface->object())) << window;
            const auto* widget = qobject_cast<QWidget*>(iface->object());
            if (widget == nullptr || !iface->state().focusable)
                continue; // a grid's cells are its content, named by their text
            ++controls;
            EXPECT_FALSE(iface->text(QAccessible::Name).trimmed().isEmpty())
                << window << ": " << widget->metaObject()->className();
        }
        EXPECT_GT(controls, 0) << window;
    });
}

// A glyph is named by what it means, a grid by what it lists, a field by its label, not by the box
// around it; the hint is the description.
TEST_F(AccessibilityTest, GlyphsGridsAndFieldsSayWhatTheyAre) {
    const std::vector<std::tuple<QWidget*, const char*, const char*>> named = {
        {form1().SpeedButton1, "Parcourir", "Parcourir"},
        {form1().BitBtn1, "Aide", "Aide ZEB v2"},
        {form2().StringGrid1, "Liste des élèves", "Cliquer sur l'élève désiré"},
        {form4().VersionEdit, "et la version", ""},
    };
    for (const auto& [control, name, description] : named) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
        EXPECT_EQ(iface->text(QAccessible::Name), QString::fromUtf8(name));
        EXPECT_EQ(iface->text(QAccessible::Description), QString::fromUtf8(description)) << name;
    }
}

// The grid reads as a table of numbers and names; the pupils' codes, which it carries unseen,
// are never read out, even when the keyboard puts the current cell on them.
TEST_F(AccessibilityTest, ThePupilGridReadsItsNamesAndNeverItsCodes) {
    load(5, 2);
    QTableWidget* grid = form2().StringGrid1;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    ASSERT_NE(table->tableInterface(), nullptr);
    EXPECT_EQ(table->tableInterface()->columnCount(), 3);
    EXPECT_EQ(table->childCount(), (5 + 1) * 3);
    const auto firstName = [this](int pupil) {
        return toQString(TrimTrailingSpaces(state().Class.ClassResults[pupil].FirstName));
    };

    QStringList heard;
    for (QAccessibleInterface* iface : treeOf(grid))
        heard << iface->text(QAccessible::Name);
    EXPECT_EQ(heard.mid(1, 6),
              (QStringList{QStringLiteral("N°"), QStringLiteral("Nom"), QStringLiteral("Prénom"),
                           QStringLiteral("1"), form2().PupilName(1).section(u' ', 0, 0), firstName(1)}));
    for (int pupil = 1; pupil <= 5; ++pupil) {
        const PupilRecord& record = state().Class.ClassResults[pupil];
        EXPECT_FALSE(heard.contains(toQString(record.FrenchCodes)) ||
                     heard.contains(toQString(record.MathsCodes)));
    }

    grid->setCurrentCell(1, 4); // the second pupil's mathematics codes
    ASSERT_NE(table->focusChild(), nullptr);
    EXPECT_EQ(table->focusChild()->text(QAccessible::Name), firstName(2));
    EXPECT_TRUE(table->focusChild()->state().focused);
    KeyClick(grid, Qt::Key_Down);
    EXPECT_EQ(table->focusChild()->text(QAccessible::Name), firstName(3));
}

// Tab visits every control of every window (of radio buttons, the checked one: the arrows choose
// among them) and comes back to the first; Shift+Tab goes the same round the other way.
TEST_F(AccessibilityTest, TabGoesRoundEveryWindow) {
    forEachWindow([](const char* window, QWidget* shown) {
        shown->activateWindow();
        ASSERT_TRUE(WaitForActiveWindow(shown)) << window;
        std::set<QWidget*> stops;
        for (QWidget* w : shown->findChildren<QWidget*>()) {
            const auto* radio = qobject_cast<QRadioButton*>(w);
            if (w->isVisibleTo(shown) && w->isEnabled() &&
                (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && (radio == nullptr || radio->isChecked()))
                stops.insert(w);
        }
        ASSERT_FALSE(stops.empty()) << window;
        const std::vector<QWidget*> forth = focusWalk(*stops.begin(), Qt::Key_Tab, Qt::NoModifier);
        EXPECT_EQ(std::set<QWidget*>(forth.begin(), forth.end()), stops) << window;
        EXPECT_EQ(forth.size(), stops.size()) << window << ": the focus sticks";
        std::vector<QWidget*> back = focusWalk(*stops.begin(), Qt::Key_Backtab, Qt::ShiftModifier);
        std::reverse(back.begin() + 1, back.end());
        EXPECT_EQ(back, forth) << window;
    });
}
