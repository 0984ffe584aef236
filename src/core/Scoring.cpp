#include "Scoring.h"

#include <cstdio>

namespace zeb {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// An item-list piece keeps at most its first three characters and must be all digits.
int itemNumber(std::string_view piece) {
    piece = piece.substr(0, std::min<std::size_t>(piece.size(), 3));
    if (piece.empty())
        return 0;
    int number = 0;
    for (char c : piece) {
        if (!isDigit(c))
            return 0;
        number = number * 10 + (c - '0');
    }
    return number;
}

// Calls visit(k) for each piece of an item list ("4,5,7"), in order; k is 0 for a piece that
// is not a number.
template <typename Visit> void forEachListedItem(std::string_view itemList, Visit visit) {
    std::size_t start = 0;
    while (start <= itemList.size()) {
        std::size_t comma = itemList.find(',', start);
        if (comma == std::string_view::npos)
            comma = itemList.size();
        visit(itemNumber(itemList.substr(start, comma - start)));
        start = comma + 1;
    }
}

template <int ObjectiveCount, typename Table>
void scoreSubject(SubjectScores<ObjectiveCount>& scores, const Table& table, std::string_view codes,
                  std::int32_t slot, long double nonResponseConstant) {
    for (int j = 1; j <= ObjectiveCount; ++j) {
        const ObjectiveScore score = ScoreObjective(table.ItemLists[j], codes, nonResponseConstant);
        scores.SR[j][slot] = score.SR;
        scores.SE[j][slot] = score.SE;
        scores.SNR[j][slot] = score.SNR;
    }
}

} // namespace

std::string FormatPercent(int count, int counted, long double c) {
    // Each step rounds to the 64-bit mantissa of x87 extended precision.
    long double value = static_cast<long double>(count) / static_cast<long double>(counted);
    value = value * 100.0L;
    value = value + c;
    const auto whole = static_cast<long long>(value);
    if (whole < 0 || whole > 999) { // not a percentage; only reachable through misuse
        char text[32];
        std::snprintf(text, sizeof text, "%3lld %%", whole);
        return text;
    }
    std::string text = "  0 %";
    const auto digits = static_cast<int>(whole);
    text[2] = static_cast<char>('0' + digits % 10);
    if (digits >= 10)
        text[1] = static_cast<char>('0' + digits / 10 % 10);
    if (digits >= 100)
        text[0] = static_cast<char>('0' + digits / 100);
    return text;
}

std::vector<int> ListedItems(std::string_view itemList) {
    std::vector<int> items;
    ListedItems(itemList, items);
    return items;
}

void ListedItems(std::string_view itemList, std::vector<int>& items) {
    items.clear();
    forEachListedItem(itemList, [&](int k) {
        if (k >= 1)
            items.push_back(k);
    });
}

ObjectiveScore ScoreObjective(std::string_view itemList, std::string_view codes,
                              long double nonResponseConstant) {
    int success = 0, failure = 0, nonResponse = 0, counted = 0;
    forEachListedItem(itemList, [&](int k) {
        if (k < 1 || static_cast<std::size_t>(k) > codes.size())
            return;
        const char code = codes[static_cast<std::size_t>(k) - 1];
        if (!isDigit(code))
            return;
        if (code == '0')
            ++nonResponse;
        else if (code <= '2')
            ++success;
        else
            ++failure;
        ++counted;
    });
    if (counted == 0)
        return {AbsentScore, AbsentScore, AbsentScore};
    return {FormatPercent(success, counted, 0.5L), FormatPercent(failure, counted, 0.4L),
            FormatPercent(nonResponse, counted, nonResponseConstant)};
}

void CalculerScoresFrancais(LoadedClass& loaded, const FrenchObjectiveTable& table, std::int32_t slot) {
    scoreSubject(loaded.ObjectiveResults.French, table, loaded.ClassResults[slot].FrenchCodes, slot,
                 FrenchNonResponseConstant);
}

void CalculerScoresMaths(LoadedClass& loaded, const MathsObjectiveTable& table, std::int32_t slot) {
    scoreSubject(loaded.ObjectiveResults.Maths, table, loaded.ClassResults[slot].MathsCodes, slot,
                 MathsNonResponseConstant);
}

int CodingValue(std::string_view srText) {
    const std::string_view head = srText.substr(0, std::min<std::size_t>(srText.size(), 3));
    std::size_t i = 0;
    while (i < head.size() && head[i] == ' ')
        ++i;
    bool negative = false;
    if (i < head.size() && (head[i] == '-' || head[i] == '+')) {
        negative = head[i] == '-';
        ++i;
    }
    int value = 0;
    std::size_t digits = 0;
    while (i < head.size() && isDigit(head[i])) {
        value = value * 10 + (head[i] - '0');
        ++i;
        ++digits;
    }
    const bool valid = digits > 0 && i == head.size();
    if (!valid && srText == AbsentScore)
        return 101;
    return negative ? -value : value;
}

Coding CodingOf(std::string_view srText) {
    return CodingOfValue(CodingValue(srText));
}

Coding CodingOfValue(int value) {
    if (value >= 0 && value <= 49)
        return Coding::NonAcquis;
    if (value >= 50 && value <= 74)
        return Coding::EnCoursAcquisition;
    if (value >= 75 && value <= 100)
        return Coding::Acquis;
    if (value == 101)
        return Coding::Absent;
    return Coding::None;
}

std::string_view CodingLetters(Coding coding) {
    switch (coding) {
    case Coding::Acquis:
        return "A";
    case Coding::EnCoursAcquisition:
        return "ECA";
    case Coding::NonAcquis:
        return "NA";
    case Coding::Absent:
    case Coding::None:
        break;
    }
    return {};
}

} // namespace zeb
