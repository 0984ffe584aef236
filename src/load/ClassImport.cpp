#include "ClassImport.h"

#include "core/ClassSplit.h"
#include "core/ExportScan.h"
#include "core/WorkFiles.h"
#include "platform/Platform.h"

namespace zeb {

void ImportExportDocument(const std::filesystem::path& document, const std::filesystem::path& programFolder,
                          ProgramState& state, const std::vector<std::string>& searchWords) {
    const std::string text = ReadWholeFile(document);
    const std::vector<std::string_view> lines = SplitLines(text);
    const ScanResult scan = ScanExport(lines, searchWords);

    // Everything that can be wrong with the document is found before a file is written.
    const SplitResult split = SplitClass(scan.WorkFile, scan.PupilCounter);
    CheckSubjectOrder(split);
    CheckSameNames(ReadStudentLines(split.French, FrenchCodesCapacity),
                   ReadStudentLines(split.Maths, MathsCodesCapacity));

    const WorkFolderHandle work(WorkFolder(programFolder));
    work.write(TempFileName, scan.WorkFile);
    work.write(FrenchFileName, split.French);
    work.write(MathsFileName, split.Maths);

    LoadedClass fresh = state.Class;
    ReadMathsList(work.read(MathsFileName), fresh, state.MathsTable);
    ReadFrenchList(work.read(FrenchFileName), fresh, state.FrenchTable);
    fresh.Info = ReadClassInfo(lines);
    state.Class = std::move(fresh);
}

void DeleteWorkFiles(const std::filesystem::path& programFolder) {
    RemoveFilesIn(WorkFolder(programFolder), {TempFileName, FrenchFileName, MathsFileName});
}

} // namespace zeb
