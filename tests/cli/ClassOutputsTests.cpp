// The one path from a loaded class to its files, in process, with a PDF writer that only
// records what it is given.

#include "ClassOutputs.h"
#include "TempFolder.h"
#include "core/ObjectiveTables.h"
#include "generator/ExportGenerator.h"
#include "load/ClassImport.h"

#include <gtest/gtest.h>
#include <mutex>

using namespace zeb;
using namespace zeb::cli;
namespace fs = std::filesystem;

namespace {

struct RecordingWriter final : PdfWriter {
    struct Call {
        std::string file, title;
        std::size_t documents = 0;
        int pages = 0;
    };
    int Write(const fs::path& file, const std::vector<const Document*>& documents,
              std::string_view title) const override {
        Call call{file.filename().string(), std::string(title), documents.size(), 0};
        for (const Document* document : documents)
            call.pages += document->PageCount();
        calls.push_back(call);
        return call.pages;
    }
    mutable std::vector<Call> calls;
};

} // namespace

TEST(ClassOutputs, EachFileOnceInOrderWithItsDocumentsAndTitle) {
    test::TempFolder folder;
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    test::writeFile(folder / "classe.xml", examples::GenerateClass({.pupils = 3}).Document);
    ImportExportDocument(folder / "classe.xml", folder.path(), *state);

    struct Case {
        std::vector<Subject> subjects;
        bool doubleSided;
        std::size_t sheetDocuments; // one per subject, or one pupil by pupil
        int sheetPages;             // a blank page after each pupil's odd count when double-sided
    };
    for (const Case& c : {Case{{Subject::French, Subject::Mathematics}, false, 2, 6},
                          Case{{Subject::Mathematics}, true, 1, 6}, Case{{Subject::French}, false, 1, 3}}) {
        const ClassOutputs outputs{.scores = folder / "scores.csv",
                                   .synthesisCsv = folder / "synthese.csv",
                                   .groups = folder / "groupes.csv",
                                   .items = folder / "items.csv",
                                   .sheets = folder / "fiches.pdf",
                                   .synthesis = folder / "synthese.pdf",
                                   .subjects = c.subjects,
                                   .doubleSided = c.doubleSided};
        RecordingWriter pdf;
        std::vector<std::string> order;
        WriteClassOutputs(*state, outputs, &pdf,
                          [&order](const fs::path& file) { order.push_back(file.filename().string()); });
        EXPECT_EQ(order, (std::vector<std::string>{"scores.csv", "synthese.csv", "groupes.csv", "items.csv",
                                                   "fiches.pdf", "synthese.pdf"}));
        ASSERT_EQ(pdf.calls.size(), 2u);
        EXPECT_EQ(pdf.calls[0].title, "Fiches de résultats – CE2 A");
        EXPECT_EQ(pdf.calls[0].documents, c.sheetDocuments);
        EXPECT_EQ(pdf.calls[0].pages, c.sheetPages);
        EXPECT_EQ(pdf.calls[1].title, "Synthèse de la classe – CE2 A");
        EXPECT_EQ(pdf.calls[1].documents, c.subjects.size());
        EXPECT_TRUE(test::readFile(folder / "scores.csv").starts_with("\xEF\xBB\xBFnumero;nom;prenom;"));
    }
}
