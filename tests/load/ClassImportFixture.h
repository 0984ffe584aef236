#pragma once

// What the import's tests share: export documents of a few pupils, and a program folder with
// the objective tables built, where a document is imported.

#include "TempFolder.h"
#include "core/ObjectiveTables.h"
#include "core/ProgramState.h"
#include "load/ClassImport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::test {

struct Pupil {
    std::string surname, firstName, french, maths;
};

// An export document listing the class once in French, then once in Mathematics.
inline std::string exportDocument(const std::vector<Pupil>& french, const std::vector<Pupil>& maths) {
    std::string doc = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<EXPORT>\r\n";
    auto list = [&doc](const std::vector<Pupil>& pupils, bool isFrench) {
        doc += isFrench ? "<DISCIPLINE code=\"FRA\">\r\n" : "<DISCIPLINE code=\"MAT\">\r\n";
        for (const Pupil& p : pupils) {
            doc += "  <MELEVE_MID>" + p.surname + "--" + p.firstName + " (F)</MELEVE_MID>\r\n";
            doc += "  <REPONSES><MCODES>" + (isFrench ? p.french : p.maths) + "</MCODES></REPONSES>\r\n";
        }
        doc += "</DISCIPLINE>\r\n";
    };
    list(french, true);
    list(maths, false);
    return doc + "</EXPORT>\r\n";
}

inline std::vector<Pupil> smallClass() {
    return {{"MARTIN", "L\\u00e9a", std::string(93, '1'), std::string(88, '9')},
            {"DUPONT", "Hugo", std::string(93, '0'), std::string(88, '2')},
            {"ABSENT", "Paul", std::string(93, 'A'), std::string(88, 'A')}};
}

class ClassImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        state = std::make_unique<ProgramState>();
        BuildObjectiveTables(*state);
    }
    std::filesystem::path document(std::string_view name, const std::string& contents) {
        writeFile(folder / name, contents);
        return folder / name;
    }
    void importOk(const std::string& contents) {
        ImportExportDocument(document("classe.xml", contents), program.path(), *state);
    }
    TempFolder folder;
    TempFolder program;
    std::unique_ptr<ProgramState> state;
};

} // namespace zeb::test
