#include "ItemAnalysis.h"

#include "ClassSynthesis.h"
#include "Scoring.h"

#include <algorithm>
#include <string_view>

namespace zeb {
namespace {

template <typename Table> std::vector<std::int32_t> objectivesOf(const Table& table, int itemCount) {
    std::vector<std::int32_t> objectives(static_cast<std::size_t>(itemCount) + 1, 0);
    std::vector<int> items;
    items.reserve(64);
    for (int j = 1; j <= Table::ObjectiveCount; ++j) {
        ListedItems(table.ItemLists[j], items);
        for (const int k : items)
            if (k <= itemCount && objectives[static_cast<std::size_t>(k)] == 0)
                objectives[static_cast<std::size_t>(k)] = j;
    }
    return objectives;
}

std::string_view codesOf(const PupilRecord& pupil, Subject subject) {
    return subject == Subject::French ? std::string_view(pupil.FrenchCodes)
                                      : std::string_view(pupil.MathsCodes);
}

} // namespace

int ItemCountOf(Subject subject) {
    return subject == Subject::French ? FrenchItemCount : MathsItemCount;
}

std::int32_t ItemCounts::Percent(std::int32_t count) const {
    if (Evaluated <= 0)
        return -1;
    return RoundedRatio(100 * static_cast<std::int64_t>(count), Evaluated);
}

ItemCounts& ItemCounts::operator+=(const ItemCounts& other) {
    Evaluated += other.Evaluated;
    Absent += other.Absent;
    Reussite += other.Reussite;
    Echec += other.Echec;
    NonReponse += other.NonReponse;
    for (std::size_t d = 0; d < Codes.size(); ++d)
        Codes[d] += other.Codes[d];
    return *this;
}

std::vector<std::int32_t> ItemObjectives(const ProgramState& state, Subject subject) {
    return subject == Subject::French ? ItemObjectives(state.FrenchTable) : ItemObjectives(state.MathsTable);
}

std::vector<std::int32_t> ItemObjectives(const FrenchObjectiveTable& table) {
    return objectivesOf(table, FrenchItemCount);
}

std::vector<std::int32_t> ItemObjectives(const MathsObjectiveTable& table) {
    return objectivesOf(table, MathsItemCount);
}

SubjectItems AnalyseItems(const ProgramState& state, Subject subject) {
    return AnalyseItems(state.Class, subject, ItemObjectives(state, subject));
}

SubjectItems AnalyseItems(const LoadedClass& loaded, Subject subject,
                          const std::vector<std::int32_t>& itemObjectives) {
    const int itemCount = ItemCountOf(subject);
    const std::int32_t pupils = std::clamp<std::int32_t>(loaded.PupilCount, 0, MaxPupils);

    // Digit counts first, pupil by pupil along each codes text; the rest follows from them.
    std::array<std::array<std::int32_t, 10>, FrenchItemCount> codes{}; // the longer subject's size
    const auto items = static_cast<std::size_t>(itemCount);
    for (std::int32_t pupil = 1; pupil <= pupils; ++pupil) {
        const std::string_view text = codesOf(loaded.ClassResults[pupil], subject);
        const std::size_t shown = std::min(text.size(), items);
        for (std::size_t i = 0; i < shown; ++i) {
            const char c = text[i];
            if (c >= '0' && c <= '9')
                ++codes[i][static_cast<std::size_t>(c - '0')];
        }
    }

    SubjectItems result;
    result.subject = subject;
    result.PupilCount = pupils;
    result.Items.resize(items);
    for (std::size_t i = 0; i < items; ++i) {
        ItemCounts& item = result.Items[i];
        const auto k = static_cast<std::int32_t>(i + 1);
        item.Item = k;
        item.Objective = static_cast<std::size_t>(k) < itemObjectives.size() ? itemObjectives[i + 1] : 0;
        item.Codes = codes[i];
        item.NonReponse = codes[i][0];
        item.Reussite = codes[i][1] + codes[i][2];
        for (std::size_t d = 3; d <= 9; ++d)
            item.Echec += codes[i][d];
        item.Evaluated = item.NonReponse + item.Reussite + item.Echec;
        item.Absent = pupils - item.Evaluated;
    }
    return result;
}

int PupilItemCode(const LoadedClass& loaded, Subject subject, std::int32_t pupil, std::int32_t item) {
    if (pupil < 1 || pupil > MaxPupils || item < 1)
        return -1;
    const std::string_view text = codesOf(loaded.ClassResults[pupil], subject);
    if (static_cast<std::size_t>(item) > text.size())
        return -1;
    const char c = text[static_cast<std::size_t>(item) - 1];
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

std::vector<std::int32_t> LeastSuccessfulItems(const SubjectItems& items, std::size_t count) {
    std::vector<const ItemCounts*> rated;
    for (const ItemCounts& item : items.Items)
        if (item.Evaluated > 0)
            rated.push_back(&item);
    const auto lessSuccessful = [](const ItemCounts* a, const ItemCounts* b) {
        const std::int32_t pa = a->PctReussite(), pb = b->PctReussite();
        return pa != pb ? pa < pb : a->Item < b->Item;
    };
    const std::size_t kept = std::min(count, rated.size());
    std::partial_sort(rated.begin(), rated.begin() + static_cast<std::ptrdiff_t>(kept), rated.end(),
                      lessSuccessful);
    std::vector<std::int32_t> least;
    least.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i)
        least.push_back(rated[i]->Item);
    return least;
}

} // namespace zeb
