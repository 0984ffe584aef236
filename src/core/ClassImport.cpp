#include "ClassImport.h"

#include "ClassSplit.h"
#include "ExportScan.h"
#include "WorkFiles.h"

namespace zeb {

void ImportExportDocument(const std::filesystem::path& document, const std::filesystem::path& programFolder,
                          ProgramState& state, const std::vector<std::string>& searchWords) {
    const std::string text = ReadWholeFile(document);
    const ScanResult scan = ScanExport(SplitLines(text), searchWords);

    // Everything that can be wrong with the document is found before a file is written.
    const SplitResult split = SplitClass(scan.WorkFile, scan.PupilCounter);
    CheckSameNames(ReadStudentLines(split.French, FrenchCodesCapacity),
                   ReadStudentLines(split.Maths, MathsCodesCapacity));

    CreateWorkFolder(programFolder);
    const std::filesystem::path work = WorkFolder(programFolder);
    WriteWorkFile(work / TempFileName, scan.WorkFile);
    WriteWorkFile(work / FrenchFileName, split.French);
    WriteWorkFile(work / MathsFileName, split.Maths);

    LoadedClass fresh = state.Class;
    LireFichierMaths(work / MathsFileName, fresh, state.MathsTable);
    LireFichierFrancais(work / FrenchFileName, fresh, state.FrenchTable);
    state.Class = std::move(fresh);
}

} // namespace zeb
