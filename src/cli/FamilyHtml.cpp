#include "FamilyHtml.h"

#include "core/Cp1252.h"
#include "core/Scoring.h"

#include <string_view>

namespace zeb::cli {
namespace {

// A text of the export or of the tables as HTML text: markup characters escaped, control
// characters (which HTML does not take) made spaces, and the spaces that pad it gone.
std::string html(std::string_view cp1252) {
    const std::string utf8 = cp1252::toUtf8(cp1252);
    std::string out;
    out.reserve(utf8.size() + 16);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool c1 = c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0;
        if (c1)
            ++i;
        switch (c1 || c < 0x20 || c == 0x7F ? ' ' : utf8[i]) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case ' ':
            out += ' ';
            break;
        default:
            out += utf8[i];
        }
    }
    const std::size_t first = out.find_first_not_of(' ');
    return first == std::string::npos ? std::string()
                                      : out.substr(first, out.find_last_not_of(' ') - first + 1);
}

// Screen and paper alike; phones get the table at their width. The legend's abbreviations read
// out in full; "lu" holds what is said rather than shown.
constexpr std::string_view Style = R"(<style>
body { font-family: "Liberation Sans", Arial, Helvetica, sans-serif; color: #000; background: #fff;
       margin: 0 auto; padding: 0.75em; max-width: 52em; line-height: 1.35; }
h1 { font-size: 1.4em; margin: 0 0 0.2em; }
h2 { font-size: 1.25em; margin: 1.2em 0 0.5em; }
p.evaluation { margin: 0 0 1em; }
table { width: 100%; border-collapse: collapse; }
caption { text-align: left; font-weight: bold; padding-bottom: 0.3em; }
th, td { border: 1px solid #000; padding: 0.3em 0.4em; vertical-align: top; }
th[scope="col"], td { text-align: center; }
th[scope="col"]:first-child, th[scope="row"] { text-align: left; font-weight: normal; }
th[scope="rowgroup"] { text-align: left; background: #e6e6e6; }
td { width: 4.5em; white-space: nowrap; }
abbr { text-decoration: none; }
dl.legende { display: grid; grid-template-columns: max-content auto; gap: 0.2em 0.8em; margin: 1em 0 0; }
dl.legende dt { font-weight: bold; }
dl.legende dd { margin: 0; }
.lu { position: absolute; width: 1px; height: 1px; overflow: hidden; clip: rect(0 0 0 0); white-space: nowrap; }
.papier { display: none; }
@media (max-width: 30em) { body { padding: 0.4em; } th, td { padding: 0.25em; } td { width: 3.2em; } }
@page { size: A4; margin: 12mm; }
@media print {
  body { max-width: none; padding: 0; font-size: 10pt; }
  section { break-inside: avoid; page-break-inside: avoid; }
  section + section { break-before: page; page-break-before: always; }
  section + section h2 { margin-top: 0; }
  .papier { display: block; margin: 0 0 0.5em; }
  th[scope="rowgroup"] { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
</style>
)";

struct Column {
    std::string_view shown; // the header as the sheet prints it
    std::string_view said;  // what it stands for
};

constexpr Column CodingColumns[] = {{"A", "Acquis"}, {"ECA", "En cours d'acquisition"}, {"NA", "Non acquis"}};
constexpr Column PercentColumns[] = {
    {"SR", "Score des réussites"}, {"SE", "Score des échecs"}, {"SNR", "Score des non-réponses"}};

void codingCells(std::string& out, std::string_view sr) {
    const Coding coding = CodingOf(sr);
    if (coding == Coding::Absent) {
        out += "<td colspan=\"3\">Élève absent(e)</td>";
        return;
    }
    const int marked = coding == Coding::Acquis               ? 0
                       : coding == Coding::EnCoursAcquisition ? 1
                       : coding == Coding::NonAcquis          ? 2
                                                              : -1;
    for (int k = 0; k < 3; ++k) {
        if (k == marked)
            out += "<td><span aria-hidden=\"true\">X</span><span class=\"lu\">" +
                   std::string(CodingColumns[k].said) + "</span></td>";
        else
            out += "<td></td>";
    }
}

struct SubjectWords {
    std::string_view heading; // "Français"
    std::string_view id;      // of the heading, which names the section
    std::string_view inText;  // "en français"
};

constexpr SubjectWords French{"Français", "francais", "en français"};
constexpr SubjectWords Maths{"Mathématiques", "mathematiques", "en mathématiques"};

template <typename Table, int ObjectiveCount>
void subjectSection(std::string& out, const SubjectWords& words, const Table& table,
                    const SubjectScores<ObjectiveCount>& scores, std::int32_t pupil, bool percent,
                    const std::string& pupilName, bool first) {
    const std::string id(words.id);
    out += "<section aria-labelledby=\"" + id + "\">\n";
    if (!first) // on paper each subject is a page of its own, which names the child
        out += "<p class=\"papier\" aria-hidden=\"true\">" + pupilName + "</p>\n";
    out += "<h2 id=\"" + id + "\">" + std::string(words.heading) + "</h2>\n<table>\n<caption>" +
           (percent ? "Scores" : "Codage") + " de chaque objectif " + std::string(words.inText) +
           "</caption>\n<thead><tr><th scope=\"col\">Objectif</th>";
    for (const Column& column : percent ? PercentColumns : CodingColumns)
        out += "<th scope=\"col\"><abbr title=\"" + std::string(column.said) + "\">" +
               std::string(column.shown) + "</abbr></th>";
    out += "</tr></thead>\n";
    for (int d = 1; d <= Table::DomainCount; ++d) {
        const Domain& domain = table.Domains[d];
        out += "<tbody>\n<tr><th scope=\"rowgroup\" colspan=\"4\">" + html(domain.Title) + "</th></tr>\n";
        for (std::int32_t n = domain.FirstObjective; n <= domain.LastObjective; ++n) {
            out += "<tr><th scope=\"row\">" + html(table.ObjectiveTexts[n]) + "</th>";
            if (percent)
                for (const auto* column : {&scores.SR, &scores.SE, &scores.SNR})
                    out += "<td>" + html((*column)[n][pupil]) + "</td>";
            else
                codingCells(out, scores.SR[n][pupil]);
            out += "</tr>\n";
        }
        out += "</tbody>\n";
    }
    out += "</table>\n<dl class=\"legende\">\n";
    for (const Column& column : percent ? PercentColumns : CodingColumns)
        out += "<dt>" + std::string(column.shown) + "</dt><dd>" + std::string(column.said) + "</dd>\n";
    if (percent)
        out += "<dt>Acquis</dt><dd>SR ≥ 75</dd>\n<dt>En cours d'acquisition</dt><dd>50 ≤ SR &lt; 75</dd>\n"
               "<dt>Non acquis</dt><dd>SR &lt; 50</dd>\n";
    out += "</dl>\n</section>\n";
}

} // namespace

std::string FamilySheetHtml(const SheetSource& source, std::int32_t pupil,
                            const std::vector<Subject>& subjects) {
    const PupilRecord& record = source.Class.ClassResults[pupil];
    const std::string name =
        html(TrimTrailingSpaces(record.Surname)) + " " + html(TrimTrailingSpaces(record.FirstName));
    const std::string className = html(TrimTrailingSpaces(source.Class.Info.ClassName));
    const bool percent = source.Treatment == TreatmentMode::Pourcentage;

    std::string out = "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                      "<title>Résultats de " +
                      name + " - " + std::string(EvaluationVersion) + "</title>\n";
    out += Style;
    out += "</head>\n<body>\n<header>\n<h1>Résultats de " + name +
           "</h1>\n<p class=\"evaluation\">Évaluation CE2, " + html(EvaluationDate) +
           (className.empty() ? "" : ", classe " + className) + "</p>\n</header>\n<main>\n";
    bool first = true;
    for (const Subject subject : subjects) {
        if (subject == Subject::French)
            subjectSection(out, French, source.FrenchTable, source.Class.ObjectiveResults.French, pupil,
                           percent, name, first);
        else
            subjectSection(out, Maths, source.MathsTable, source.Class.ObjectiveResults.Maths, pupil, percent,
                           name, first);
        first = false;
    }
    out += "</main>\n</body>\n</html>\n";
    return out;
}

} // namespace zeb::cli
