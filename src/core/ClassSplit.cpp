#include "ClassSplit.h"

#include "Cp1252.h"
#include "Errors.h"
#include "ExportScan.h"
#include "Scoring.h"
#include "WorkFiles.h"

#include <optional>

namespace zeb {
namespace {

std::string_view field(std::string_view line, std::size_t first, std::size_t width) {
    if (first >= line.size())
        return {};
    return line.substr(first, std::min(width, line.size() - first));
}

std::string displayName(const StudentLine& line) {
    std::string name = cp1252::toUtf8(TrimTrailingSpaces(line.Surname));
    const std::string first = cp1252::toUtf8(TrimTrailingSpaces(line.FirstName));
    if (!first.empty())
        name += (name.empty() ? "" : " ") + first;
    return "« " + name + " »";
}

void storeIdentity(PupilRecord& record, const StudentLine& line) {
    record.Number = line.Number;
    record.Surname = line.Surname;
    record.FirstName = line.FirstName;
}

// The subject every line of a list has the codes length of, or nothing when the lengths
// are mixed or belong to neither subject.
std::optional<Subject> subjectOf(std::string_view list) {
    constexpr std::size_t codesStart = 2 + SurnameWidth + FirstNameWidth;
    std::optional<std::size_t> width;
    for (std::string_view line : SplitLines(list)) {
        const std::size_t codes = line.size() > codesStart ? line.size() - codesStart : 0;
        if (width && *width != codes)
            return std::nullopt;
        width = codes;
    }
    if (width == FrenchCodesCapacity)
        return Subject::French;
    if (width == MathsCodesCapacity)
        return Subject::Mathematics;
    return std::nullopt;
}

} // namespace

void CheckSubjectOrder(const SplitResult& split) {
    const std::optional<Subject> first = subjectOf(split.French);
    const std::optional<Subject> second = subjectOf(split.Maths);
    if (!first || !second || (first == Subject::French && second == Subject::Mathematics))
        return;
    const std::string french = std::to_string(FrenchCodesCapacity) + " codes du français";
    const std::string maths = std::to_string(MathsCodesCapacity) + " codes des mathématiques";
    const char* notLoaded = " Vérifiez l'export dans J'ADE ; la classe n'a pas été chargée.";
    if (first != second)
        throw ZebError("Les deux listes du document d'export sont dans le mauvais ordre : la première porte "
                       "les " +
                       maths + " et la seconde les " + french +
                       ", alors que ZEB attend le français d'abord, puis les mathématiques." + notLoaded);
    const bool bothFrench = first == Subject::French;
    throw ZebError("Le document d'export contient deux fois la même matière : les deux listes portent les " +
                   (bothFrench ? french : maths) + " ; il manque la liste " +
                   (bothFrench ? "de mathématiques." : "de français.") + notLoaded);
}

SplitResult SplitClass(std::string_view workFile, std::int32_t pupilLines) {
    if (pupilLines <= 0)
        throw ZebError("Le document d'export ne contient aucun élève : aucune ligne d'identification "
                       "d'élève (<MELEVE_MID>) n'y a été trouvée.");
    if (pupilLines % 2 != 0)
        throw ZebError(
            "Le document d'export contient " +
            CountOf(pupilLines, "ligne d'identification d'élève", "lignes d'identification d'élève") +
            ", un nombre impair : il doit lister la classe "
            "une fois pour le français puis une fois pour les mathématiques.");
    if (pupilLines / 2 > MaxPupils)
        throw ZebError("Cette classe compte " + std::to_string(pupilLines / 2) +
                       " élèves : ZEB ne prend pas en charge les classes de plus de 30 élèves. "
                       "Créez deux classes sous J'ADE.");
    const std::vector<std::string_view> lines = SplitLines(workFile);
    SplitResult result;
    for (std::int32_t i = 0; i < pupilLines; ++i) {
        std::string& target = i < pupilLines / 2 ? result.French : result.Maths;
        const auto index = static_cast<std::size_t>(i);
        if (index < lines.size())
            target.append(lines[index]);
        target.append("\r\n");
    }
    return result;
}

std::vector<StudentLine> ReadStudentLines(std::string_view contents, std::size_t codesWidth) {
    const std::vector<std::string_view> lines = SplitLines(contents);
    if (lines.size() > static_cast<std::size_t>(MaxPupils))
        throw ZebError("La liste compte " + std::to_string(lines.size()) +
                       " élèves : ZEB ne prend pas en charge les classes de plus de 30 élèves.");
    std::vector<StudentLine> result;
    result.reserve(lines.size());
    for (std::string_view line : lines) {
        // Built from its fields rather than assigned into a default one: the fields are
        // never empty strings overwritten in place, which GCC 12 at -O3 cannot prove
        // initialised.
        result.push_back(StudentLine{.Number = field(line, 0, 2),
                                     .Surname = field(line, 2, 25),
                                     .FirstName = field(line, 27, 15),
                                     .Codes = std::string(field(line, 42, codesWidth))});
    }
    return result;
}

void CheckSameNames(const std::vector<StudentLine>& french, const std::vector<StudentLine>& maths) {
    const std::size_t common = std::min(french.size(), maths.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (french[i].Surname == maths[i].Surname && french[i].FirstName == maths[i].FirstName)
            continue;
        throw ZebError("Les listes de français et de mathématiques ne nomment pas le même élève à la place " +
                       std::to_string(i + 1) + " : " + displayName(french[i]) + " en français, " +
                       displayName(maths[i]) +
                       " en mathématiques. Vérifiez l'export dans J'ADE ; la classe n'a pas été chargée.");
    }
    if (french.size() != maths.size())
        throw ZebError("La liste de français compte " +
                       CountOf(static_cast<long long>(french.size()), "élève", "élèves") +
                       " et celle de mathématiques " + std::to_string(maths.size()) +
                       " ; la classe n'a pas été chargée.");
}

void ReadMathsList(std::string_view contents, LoadedClass& loaded, const MathsObjectiveTable& table) {
    const std::vector<StudentLine> lines = ReadStudentLines(contents, MathsCodesCapacity);
    std::int32_t slot = 1;
    for (const StudentLine& line : lines) {
        PupilRecord& record = loaded.ClassResults[slot];
        storeIdentity(record, line);
        record.MathsCodes = line.Codes;
        CalculerScoresMaths(loaded, table, slot);
        ++slot;
    }
    loaded.PupilCount = slot - 1;
}

void ReadFrenchList(std::string_view contents, LoadedClass& loaded, const FrenchObjectiveTable& table) {
    const std::vector<StudentLine> lines = ReadStudentLines(contents, FrenchCodesCapacity);
    std::int32_t slot = 1;
    for (const StudentLine& line : lines) {
        PupilRecord& record = loaded.ClassResults[slot];
        storeIdentity(record, line);
        record.FrenchCodes = line.Codes;
        CalculerScoresFrancais(loaded, table, slot);
        ++slot;
    }
    loaded.PupilSelection = GridRect{1, 1, 2, 1};
    loaded.PupilCount = slot - 1;
}

} // namespace zeb
