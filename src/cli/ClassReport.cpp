#include "ClassReport.h"

#include "core/Cp1252.h"
#include "core/Scoring.h"

namespace zeb::cli {
namespace {

// The coding column: the letters, or "Abs" for a pupil with nothing to count.
std::string_view codingName(std::string_view srText) {
    const Coding coding = CodingOf(srText);
    return coding == Coding::Absent ? std::string_view("Abs") : CodingLetters(coding);
}

template <int ObjectiveCount>
void appendSubjectRows(std::string& out, std::string_view rowStart, std::string_view subject,
                       const SubjectScores<ObjectiveCount>& scores, int slot) {
    for (int j = 1; j <= ObjectiveCount; ++j) {
        const std::string_view sr = scores.SR[j][slot];
        out.append(rowStart).append(subject).append(";").append(std::to_string(j)).append(";");
        out.append(ScoreNumber(sr)).append(";");
        out.append(ScoreNumber(scores.SE[j][slot])).append(";");
        out.append(ScoreNumber(scores.SNR[j][slot])).append(";");
        out.append(codingName(sr)).append("\r\n");
    }
}

// Number, surname and first name, ready to follow the other fields of a row.
std::string pupilFields(const PupilRecord& pupil, int slot, CsvNames names) {
    if (names == CsvNames::Removed)
        return std::to_string(slot) + ";;";
    return std::to_string(slot) + ";" + CsvName(cp1252::toUtf8(TrimTrailingSpaces(pupil.Surname))) + ";" +
           CsvName(cp1252::toUtf8(TrimTrailingSpaces(pupil.FirstName)));
}

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
constexpr Subject CsvSubjects[] = {Subject::French, Subject::Mathematics};

template <int ObjectiveCount> int scoredObjectives(const SubjectScores<ObjectiveCount>& scores, int slot) {
    int scored = 0;
    for (int j = 1; j <= ObjectiveCount; ++j)
        if (scores.SR[j][slot] != AbsentScore)
            ++scored;
    return scored;
}

} // namespace

std::string ScoreNumber(std::string_view scoreText) {
    if (scoreText == AbsentScore)
        return "Abs";
    std::string number;
    for (char c : scoreText.substr(0, std::min<std::size_t>(scoreText.size(), 3)))
        if (c != ' ')
            number += c;
    return number;
}

std::string CsvName(std::string_view utf8) {
    // A spreadsheet skips a leading tab or line end before it looks for a formula.
    const std::size_t first = utf8.find_first_not_of("\t\r\n");
    const bool formula = first != std::string_view::npos &&
                         std::string_view("=+-@").find(utf8[first]) != std::string_view::npos;
    std::string text(formula ? "'" : "");
    text.append(utf8);
    if (text.find_first_of(";\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string ClassScoresCsv(const ProgramState& state, CsvNames names) {
    std::string out = "\xEF\xBB\xBF"
                      "numero;nom;prenom;matiere;objectif;SR;SE;SNR;codage\r\n";
    const LoadedClass& loaded = state.Class;
    for (int slot = 1; slot <= loaded.PupilCount; ++slot) {
        const PupilRecord& pupil = loaded.ClassResults[slot];
        const std::string rowStart = pupilFields(pupil, slot, names) + ";";
        appendSubjectRows(out, rowStart, "francais", loaded.ObjectiveResults.French, slot);
        appendSubjectRows(out, rowStart, "mathematiques", loaded.ObjectiveResults.Maths, slot);
    }
    return out;
}

std::string_view SubjectCsvName(Subject subject) {
    return subject == Subject::French ? "francais" : "mathematiques";
}

std::string SynthesisCsvRow(Subject subject, std::int32_t objective, const ObjectiveTally& tally) {
    const std::string start = std::string(SubjectCsvName(subject)) + ";" + std::to_string(objective) + ";" +
                              std::to_string(tally.Evaluated) + ";" + std::to_string(tally.Absent) + ";";
    const std::string counts = std::to_string(tally.Acquis) + ";" + std::to_string(tally.EnCoursAcquisition) +
                               ";" + std::to_string(tally.NonAcquis) + ";";
    // Nobody evaluated: no mean, no share, and nothing to tell about teaching it again.
    if (tally.Evaluated == 0)
        return start + "Abs;" + counts + "Abs;Abs;Abs;Abs\r\n";
    return start + std::to_string(tally.MeanSR()) + ";" + counts +
           std::to_string(tally.Percent(tally.Acquis)) + ";" +
           std::to_string(tally.Percent(tally.EnCoursAcquisition)) + ";" +
           std::to_string(tally.Percent(tally.NonAcquis)) + ";" + (tally.WholeClass() ? "oui" : "non") +
           "\r\n";
}

std::string SynthesisCsv(const ProgramState& state) {
    std::string out = std::string(ByteOrderMark).append(SynthesisCsvHeader).append("\r\n");
    for (Subject subject : CsvSubjects) {
        const SubjectSynthesis synthesis = SynthesizeSubject(state.Class, subject);
        for (int j = 1; j <= synthesis.ObjectiveCount; ++j)
            out += SynthesisCsvRow(subject, j, synthesis.Objectives[j].Tally);
    }
    return out;
}

std::string ItemsCsvRow(Subject subject, const ItemCounts& item) {
    std::string row(SubjectCsvName(subject));
    const auto field = [&row](std::int32_t value) { row.append(";").append(std::to_string(value)); };
    field(item.Item);
    row.append(";");
    if (item.Objective > 0)
        row.append(std::to_string(item.Objective));
    for (const std::int32_t count : {item.Evaluated, item.Absent, item.Reussite, item.Echec, item.NonReponse})
        field(count);
    for (const std::int32_t count : {item.Reussite, item.Echec, item.NonReponse}) {
        if (item.Evaluated == 0)
            row.append(";Abs");
        else
            field(item.Percent(count));
    }
    for (const std::int32_t count : item.Codes)
        field(count);
    return row.append("\r\n");
}

std::string ItemsCsv(const ProgramState& state) {
    std::string out = std::string(ByteOrderMark).append(ItemsCsvHeader).append("\r\n");
    for (Subject subject : CsvSubjects)
        for (const ItemCounts& item : AnalyseItems(state, subject).Items)
            out += ItemsCsvRow(subject, item);
    return out;
}

std::string GroupsCsv(const ProgramState& state, CsvNames names) {
    std::string out = std::string(ByteOrderMark).append(GroupsCsvHeader).append("\r\n");
    for (Subject subject : CsvSubjects) {
        const SubjectSynthesis synthesis = SynthesizeSubject(state.Class, subject);
        for (int j = 1; j <= synthesis.ObjectiveCount; ++j) {
            const ObjectiveSynthesis& objective = synthesis.Objectives[j];
            const std::pair<std::string_view, const PupilGroup*> groups[] = {
                {"NA", &objective.NonAcquisGroup}, {"ECA", &objective.EnCoursAcquisitionGroup}};
            for (const auto& [name, group] : groups)
                for (const std::int8_t pupil : *group)
                    out.append(SubjectCsvName(subject))
                        .append(";" + std::to_string(j) + ";")
                        .append(name)
                        .append(";" + pupilFields(state.Class.ClassResults[pupil], pupil, names) + "\r\n");
        }
    }
    return out;
}

std::string ClassSummary(const ProgramState& state) {
    const LoadedClass& loaded = state.Class;
    std::string out = "Classe chargée : " + std::to_string(loaded.PupilCount) +
                      (loaded.PupilCount > 1 ? " élèves." : " élève.") + "\n";
    out += "Objectifs évalués par élève (français sur " + std::to_string(FrenchObjectiveCount) +
           ", mathématiques sur " + std::to_string(MathsObjectiveCount) + ") :\n";
    for (int slot = 1; slot <= loaded.PupilCount; ++slot) {
        const PupilRecord& pupil = loaded.ClassResults[slot];
        std::string name = PrintableText(TrimTrailingSpaces(pupil.Surname)) + " " +
                           PrintableText(TrimTrailingSpaces(pupil.FirstName));
        char number[16];
        std::snprintf(number, sizeof number, "%3d  ", slot);
        out += number + name;
        out += "  (français " + std::to_string(scoredObjectives(loaded.ObjectiveResults.French, slot)) +
               ", mathématiques " + std::to_string(scoredObjectives(loaded.ObjectiveResults.Maths, slot)) +
               ")\n";
    }
    return out;
}

} // namespace zeb::cli
