// Printing for real: the preview's "Imprimer" and the selection window's "Tout imprimer" through
// Qt and CUPS to the private print server's capture queues, read back with poppler.

#include "Pdf.h"
#include "PrivateCups.h"
#include "Process.h"
#include "ProgramTest.h"
#include "core/Cp1252.h"
#include "core/ProgramState.h"
#include "print/SheetPrinter.h"
#include "qtkit/MessageBox.h"
#include "sheet/qt/SheetPdf.h"
#include "ui/Zeb2.h"
#include "ui/Zeb3.h"
#include "ui/Zebproj.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

using namespace zeb;
using namespace zeb::test;
namespace fs = std::filesystem;

namespace {

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

class PrintingTest : public ProgramTest {
protected:
    void SetUp() override {
        std::string whyNot;
        cups = zeb::testing::SharedCups(whyNot);
        if (cups == nullptr) {
            if (zeb::testing::CupsRequired())
                FAIL() << "the print server did not start: " << whyNot;
            GTEST_SKIP() << "no private print server: " << whyNot;
        }
        queue = "ZEB-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        cups->AddCaptureQueue(queue);
    }
    void TearDown() override {
        if (cups == nullptr)
            return;
        try {
            cups->RemoveQueue(queue);
        } catch (const std::exception&) {
            // already removed by the test
        }
    }

    // The sheet of one pupil as the PDF writer puts it on paper.
    fs::path referencePdf(std::int32_t pupil) {
        const fs::path pdf = files / ("reference-" + std::to_string(pupil) + ".pdf");
        WriteSheetsPdf(pdf, SheetSource::Of(*state), {state->CurrentSubject}, pupil, pupil);
        return pdf;
    }

    std::string surname(std::int32_t pupil) const {
        return trimmed(cp1252::toUtf8(state->Class.ClassResults[pupil].Surname));
    }

    // The error the print ends on, or "" when it goes through.
    template <typename Error = PrintError> std::string printError(const std::function<void()>& print) {
        try {
            print();
        } catch (const Error& error) {
            return error.what();
        }
        return {};
    }

    zeb::testing::PrivateCups* cups = nullptr;
    std::string queue;
    ProgramState* state = &TestProgram::state();
    TForm2* form2 = &TestProgram::form2();
    TForm3* form3 = &TestProgram::form3();
};

TEST_F(PrintingTest, ImprimerWhileZoomedAndScrolledPrintsThePaperSheet) {
    load(5, 2);
    form2->Apercu->click();
    form3->ZoomAVClick();
    form3->VBarre->triggerAction(QAbstractSlider::SliderPageStepAdd);
    form3->HBarre->triggerAction(QAbstractSlider::SliderPageStepAdd);
    const ViewState before = state->View;
    ASSERT_EQ(before.ZoomFactor, 0.8);
    ASSERT_EQ(before.VerticalOffset, 11);

    ASSERT_NO_THROW(form3->ImprimeClick());
    const auto jobs = cups->WaitForJobs(queue, 1, std::chrono::seconds(20));
    ASSERT_EQ(jobs.size(), 1u) << cups->ErrorLog();
    EXPECT_EQ(jobs[0].title, "Impression");
    const std::vector<PdfPage> pages = PdfPages(jobs[0].data);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].paper, "A4");
    // The sheet of zoom 1.0 without offsets; this queue prints from the paper's corner, the
    // PDF a quarter of an inch (18 points) in from it.
    const fs::path reference = referencePdf(2);
    const std::vector<PdfWord> words = PdfWords(jobs[0].data);
    EXPECT_TRUE(std::ranges::any_of(
        words, [&](const PdfWord& word) { return word.text.find(surname(2)) != std::string::npos; }));
    EXPECT_EQ(words.size(), PdfWords(reference).size());
    EXPECT_NEAR(PdfInkCorner(jobs[0].data).x + 18, PdfInkCorner(reference).x, 1);
    EXPECT_NEAR(PdfInkCorner(jobs[0].data).y + 18, PdfInkCorner(reference).y, 1);

    EXPECT_EQ(state->View, before);
    EXPECT_EQ(form3->PaintBox1->geometry(), QRect(28, 0, 499, 529));
}

TEST_F(PrintingTest, ToutImprimerFromTheThirdOfTenGivesEightJobsInOrder) {
    load(10, 3);
    form2->RadioMathematiques->click();
    form2->ToutImprimer->click();
    const auto jobs = cups->WaitForJobs(queue, 8, std::chrono::seconds(30));
    ASSERT_EQ(jobs.size(), 8u) << cups->ErrorLog();
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const auto pupil = static_cast<std::int32_t>(i + 3);
        EXPECT_EQ(jobs[i].title, "Impression");
        EXPECT_EQ(PdfPageCount(jobs[i].data), 1);
        const std::string sheet = PdfText(jobs[i].data);
        EXPECT_NE(sheet.find("RESULTATS DE MATHEMATIQUES"), std::string::npos);
        EXPECT_NE(sheet.find(surname(pupil)), std::string::npos) << "job " << i << " for pupil " << pupil;
    }
    EXPECT_EQ(state->Class.PupilSelection.Top, 10);
}

TEST_F(PrintingTest, SynthesisIsOneJobWithTheClassTableInLandscape) {
    load(25, 1);
    form2->Synthese->click();
    form3->Imprime->click();
    const auto jobs = cups->WaitForJobs(queue, 1, std::chrono::seconds(30));
    ASSERT_EQ(jobs.size(), 1u) << cups->ErrorLog();
    EXPECT_EQ(jobs[0].title, "Synthèse");
    // Each page's size as poppler sees it, rotation included: the table lies on its side.
    const std::vector<PdfPage> pages = PdfPages(jobs[0].data);
    EXPECT_EQ(static_cast<int>(pages.size()), form3->ShownPageCount());
    ASSERT_GE(pages.size(), 2u);
    EXPECT_TRUE(pages[0].landscape());
    EXPECT_FALSE(pages[1].landscape());
    const std::string printed = PdfText(jobs[0].data);
    for (const char* title : {"TABLEAU DE LA CLASSE", "SYNTHESE DE LA CLASSE", "GROUPES DE BESOIN"})
        EXPECT_NE(printed.find(title), std::string::npos) << title;
}

TEST_F(PrintingTest, NoPrinterAtAllIsSaidAndAPdfOffered) {
    load(4, 2);
    cups->RemoveQueue(queue);
    const std::string message = printError<NoPrinterError>([this] { form3->ImprimeClick(); });
    EXPECT_NE(message.find("Aucune imprimante n'est configurée"), std::string::npos) << message;

    MessageBox::setNextAnswer(MessageBox::Answer::No);
    form2->ToutImprimer->click();
    const QString asked = MessageBox::lastText();
    EXPECT_TRUE(asked.startsWith(QStringLiteral("Aucune imprimante")));
    EXPECT_EQ(state->Class.PupilSelection.Top, 2);
}

TEST_F(PrintingTest, QueuesWithoutADefaultAreNamedAndTheRunToldForTheClass) {
    load(4, 1);
    cups->ClearDefault();
    const std::string message = printError<NoPrinterError>([this] { form3->ImprimeClick(); });
    EXPECT_EQ(message.rfind("Aucune imprimante n'est choisie par défaut : la fiche n'a pas été imprimée.\n"
                            "Imprimantes installées : " +
                                queue,
                            0),
              0u)
        << message;
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    form2->ToutImprimer->click();
    const QString asked = MessageBox::lastText();
    EXPECT_TRUE(asked.contains(QStringLiteral("aucune fiche de la classe n'a été imprimée.")))
        << asked.toStdString();
    EXPECT_TRUE(asked.contains(QStringLiteral("les fiches de toute la classe dans un fichier PDF")));
    EXPECT_TRUE(cups->Jobs(queue).empty());
}

TEST_F(PrintingTest, QueueRefusingJobsIsSaidAndNothingIsSent) {
    load(3, 1);
    cups->RejectJobs(queue);
    const std::string message = printError([this] { form3->ImprimeClick(); });
    EXPECT_NE(message.find("refuse les travaux"), std::string::npos) << message;
    EXPECT_NE(message.find(queue), std::string::npos) << message;

    cups->AcceptJobs(queue);
    cups->Pause(queue);
    const std::string paused = printError([this] { form3->ImprimeClick(); });
    EXPECT_NE(paused.find("est en pause"), std::string::npos) << paused;

    cups->Resume(queue);
    EXPECT_EQ(printError([this] { form3->ImprimeClick(); }), "");
    EXPECT_EQ(cups->WaitForJobs(queue, 1, std::chrono::seconds(20)).size(), 1u);
}

TEST_F(PrintingTest, JobRefusedWhenHandedOverIsSaid) {
    // A queue that takes jobs but whose quota is spent after the first: CUPS refuses the
    // second job itself, which Qt would report as printed.
    load(3, 1);
    ASSERT_EQ(RunShell(cups->AdminCommand() + " -p " + queue + " -o job-quota-period=86400 -o job-k-limit=1")
                  .exitCode,
              0);
    EXPECT_EQ(printError([this] { form3->ImprimeClick(); }), "");
    ASSERT_EQ(cups->WaitForJobs(queue, 1, std::chrono::seconds(20)).size(), 1u);
    const std::string refused = printError([this] { form3->ImprimeClick(); });
    EXPECT_NE(refused.find("n'a pas accepté le travail d'impression : la fiche n'a pas été imprimée"),
              std::string::npos)
        << refused;
}

TEST_F(PrintingTest, PrinterThatCannotReachTheEdgesStillGetsTheWholeSheetOnA4) {
    // A PostScript printer with a 12-point margin all round that defaults to Letter: the
    // sheet is A4 all the same, and starts where the printer can print, not at the paper's
    // corner where its border and first letters would be lost.
    load(3, 1);
    ASSERT_EQ(RunShell(cups->AdminCommand() + " -p " + queue +
                       " -m drv:///sample.drv/generic.ppd -o PageSize=Letter")
                  .exitCode,
              0);
    EXPECT_EQ(printError([this] { form3->ImprimeClick(); }), "");
    const auto jobs = cups->WaitForJobs(queue, 1, std::chrono::seconds(30));
    ASSERT_EQ(jobs.size(), 1u) << cups->ErrorLog();
    const std::string postscript = readFile(jobs[0].data);
    EXPECT_NE(postscript.find("%%HiResBoundingBox: 0 0 595.00 842.00"), std::string::npos);

    const fs::path printed = files / "printed.pdf";
    ASSERT_EQ(RunShell("ps2pdf " + ShellQuoted(jobs[0].data.string()) + " " + ShellQuoted(printed.string()))
                  .exitCode,
              0);
    // The PDF places the sheet for an 18-point margin; this printer starts at 12 points.
    const PdfPixel onPaper = PdfInkCorner(printed);
    const PdfPixel drawn = PdfInkCorner(referencePdf(1));
    EXPECT_NEAR(onPaper.x, drawn.x - 18 + 12, 1);
    EXPECT_NEAR(onPaper.y, drawn.y - 18 + 12, 1);
}

TEST_F(PrintingTest, AnAbortedJobSendsNothing) {
    load(3, 1);
    {
        const std::unique_ptr<SheetPrinter> printer = MakeSystemPrinter();
        printer->SetTitle(QStringLiteral("Abandon"));
        PrintJob job(*printer);
        printer->canvas().textOut(10, 10, "moitie de fiche");
    } // dropped without End()
    EXPECT_EQ(printError([this] { form3->ImprimeClick(); }), "");
    const auto jobs = cups->WaitForJobs(queue, 1, std::chrono::seconds(20));
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].title, "Impression");
}

} // namespace
