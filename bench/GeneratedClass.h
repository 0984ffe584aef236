#pragma once

#include "TempFolder.h"
#include "core/ObjectiveTables.h"
#include "generator/ExportGenerator.h"
#include "load/ClassImport.h"
#include "platform/Platform.h"

#include <memory>

namespace zeb::test {

// A generated class of `pupils`, loaded as the program loads it, in the given treatment.
inline std::unique_ptr<ProgramState> GeneratedLoadedClass(int pupils = 30,
                                                          TreatmentMode treatment = TreatmentMode::Codage) {
    test::TempFolder folder;
    WriteWorkFile(folder / "classe.xml", examples::GenerateClass({.pupils = pupils}).Document);
    auto state = std::make_unique<ProgramState>();
    BuildObjectiveTables(*state);
    ImportExportDocument(folder / "classe.xml", folder.path(), *state);
    state->CurrentTreatment = treatment;
    return state;
}

} // namespace zeb::test
