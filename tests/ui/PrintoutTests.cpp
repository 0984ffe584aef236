// Printing and PDF files, written once for every document the preview shows: pupils' sheets
// and the class synthesis differ only in their words.

#include "RecordingCanvas.h"
#include "print/SheetPrinter.h"
#include "qtkit/FileDialog.h"
#include "qtkit/MessageBox.h"
#include "sheet/Document.h"
#include "ui/Printout.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

using namespace zeb;

namespace {

class OnePage final : public Document {
public:
    int PageCount() const override { return 1; }
    PageOrientation Orientation(int) const override { return PageOrientation::Portrait; }
    void DrawPage(int, Canvas& canvas, const PageView&) const override { canvas.textOut(0, 0, "page"); }
};

// A printer whose job fails to begin as `fail` does.
class FailingPrinter final : public SheetPrinter {
public:
    explicit FailingPrinter(std::function<void()> fail) : fail_(std::move(fail)) {}
    void SetTitle(const QString&) override {}
    void BeginDoc() override { fail_(); }
    void SetFont(const QFont&) override {}
    void SetPageOrientation(PageOrientation) override {}
    void NewPage() override {}
    Canvas& canvas() override { return canvas_; }
    int PixelsPerInchX() const override { return 96; }
    int PixelsPerInchY() const override { return 96; }
    void EndDoc() override {}
    void Abort() override {}

private:
    std::function<void()> fail_;
    test::RecordingCanvas canvas_;
};

PrinterMaker failing(std::function<void()> fail) {
    return [fail] { return std::make_unique<FailingPrinter>(fail); };
}

// A printer's message is told for the one sheet it prints: it stands for a sheet, and the
// synthesis retells it with what was lost, in the error and in the offer of a PDF file.
TEST(PrintoutTest, APrintFailureIsToldForWhatWasLost) {
    const OnePage document;
    const struct {
        Printout printout;
        std::string retold;
    } cases[] = {
        {SheetsPrintout(document, Subject::French, 2, 2, 5, QStringLiteral("NOM Prénom"), QString()), ""},
        {SynthesisPrintout(document, Subject::French, QString()), "\nLa synthèse n'a pas été imprimée."},
    };
    for (const auto& [printout, retold] : cases) {
        SCOPED_TRACE(printout.named.toStdString());
        try {
            PrintOrOfferPdf(nullptr, printout, failing([] { throw PrintError("L'imprimante a calé."); }),
                            QFont());
            ADD_FAILURE() << "nothing thrown";
        } catch (const ZebError& error) {
            EXPECT_EQ(std::string(error.what()), "L'imprimante a calé." + retold);
        }
        MessageBox::setNextAnswer(MessageBox::Answer::No);
        PrintOrOfferPdf(nullptr, printout, failing([] { throw NoPrinterError("Aucune imprimante."); }),
                        QFont());
        EXPECT_EQ(MessageBox::lastText(), QString::fromStdString("Aucune imprimante." + retold) +
                                              QStringLiteral("\n\nVoulez-vous enregistrer ") +
                                              printout.named +
                                              QStringLiteral(" dans un fichier PDF, à imprimer plus tard ou "
                                                             "ailleurs ?"));
    }
}

// The synthesis's file is named after the class as the teacher reads it, in a name every system
// takes; the PDFs' titles name the class as the export does.
TEST(PrintoutTest, TheSynthesisFileIsNamedAfterTheClassAndTheSubject) {
    const OnePage document;
    const std::tuple<const char*, Subject, const char*, const char*> cases[] = {
        {"CE2 A", Subject::French, "synthese-CE2 A-francais", "CE2 A"},
        {" \t ", Subject::Mathematics, "synthese-mathematiques", nullptr},
        {"CE2/CM1 : \"Mme Dupré\"", Subject::French, "synthese-CE2_CM1 _ _Mme Dupré_-francais",
         "CE2/CM1 : \"Mme Dupré\""},
        {"..\\classe\t B. ", Subject::French, "synthese-_classe B-francais", "..\\classe B."},
    };
    for (const auto& [className, subject, fileName, titled] : cases) {
        const QString name = QString::fromUtf8(className);
        const Printout synthesis = SynthesisPrintout(document, subject, name);
        EXPECT_EQ(synthesis.fileName, QString::fromUtf8(fileName));
        const Printout sheets = SheetsPrintout(document, subject, 1, 3, 3, QString(), name);
        if (titled == nullptr) {
            EXPECT_EQ(synthesis.pdfTitle, QStringLiteral("Synthèse - EVALUATION CE2"));
            EXPECT_EQ(sheets.pdfTitle, QStringLiteral("Fiches de résultats - EVALUATION CE2"));
        } else {
            EXPECT_EQ(synthesis.pdfTitle,
                      QStringLiteral("Synthèse de la classe – ") + QString::fromUtf8(titled));
            EXPECT_EQ(sheets.pdfTitle, QStringLiteral("Fiches de résultats – ") + QString::fromUtf8(titled));
        }
    }
}

// The file is proposed in the documents folder, or at home while there is none; a cancel
// writes nothing.
TEST(PrintoutTest, TheSaveDialogProposesTheDocumentsFolderOrHome) {
    const OnePage document;
    const Printout printout = SynthesisPrintout(document, Subject::Mathematics, QString());
    const QDir documents(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    ASSERT_FALSE(documents.exists()) << "the private home has no documents folder";

    // Qt's own dialog is what shows the caption and the filter: shown for real, read and
    // cancelled once its loop runs. The queued name below answers without it.
    QString caption;
    QStringList filters;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        caption = dialog->windowTitle();
        filters = dialog->nameFilters();
        dialog->reject();
    });
    SaveAsPdf(nullptr, printout);
    EXPECT_EQ(caption, QStringLiteral("Enregistrer dans un fichier PDF"));
    EXPECT_EQ(filters, QStringList{QStringLiteral("Document PDF (*.pdf)")});
    EXPECT_EQ(FileDialog::lastProposal(),
              QDir::home().filePath(QStringLiteral("synthese-mathematiques.pdf")));
    EXPECT_FALSE(QDir::home().exists(QStringLiteral("synthese-mathematiques.pdf")));

    ASSERT_TRUE(QDir().mkpath(documents.path()));
    FileDialog::setNextFileName(QString()); // cancelled
    SaveAsPdf(nullptr, printout);
    EXPECT_EQ(FileDialog::lastProposal(), documents.filePath(QStringLiteral("synthese-mathematiques.pdf")));
    EXPECT_TRUE(documents.isEmpty());
    QDir(documents).removeRecursively();
}

} // namespace
