#include "ClassReport.h"

#include "core/Cp1252.h"
#include "core/Scoring.h"

namespace zeb::cli {
namespace {

std::string_view codingName(std::string_view srText) {
    switch (CodingOf(srText)) {
    case Coding::Acquis:
        return "A";
    case Coding::EnCoursAcquisition:
        return "ECA";
    case Coding::NonAcquis:
        return "NA";
    case Coding::Absent:
        return "Abs";
    case Coding::None:
        break;
    }
    return "";
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

std::string ClassScoresCsv(const ProgramState& state) {
    std::string out = "\xEF\xBB\xBF"
                      "numero;nom;prenom;matiere;objectif;SR;SE;SNR;codage\r\n";
    const LoadedClass& loaded = state.Class;
    for (int slot = 1; slot <= loaded.PupilCount; ++slot) {
        const PupilRecord& pupil = loaded.ClassResults[slot];
        const std::string rowStart = std::to_string(slot) + ";" +
                                     CsvName(cp1252::toUtf8(TrimTrailingSpaces(pupil.Surname))) + ";" +
                                     CsvName(cp1252::toUtf8(TrimTrailingSpaces(pupil.FirstName))) + ";";
        appendSubjectRows(out, rowStart, "francais", loaded.ObjectiveResults.French, slot);
        appendSubjectRows(out, rowStart, "mathematiques", loaded.ObjectiveResults.Maths, slot);
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
