#include "core/Cp1252.h"
#include "core/ObjectiveTables.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace zeb;

namespace {

std::vector<int> items(std::string_view list) {
    std::vector<int> numbers;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        numbers.push_back(std::stoi(std::string(list.substr(start, comma - start))));
        start = comma + 1;
    }
    return numbers;
}

class ObjectiveTablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        state = std::make_unique<ProgramState>();
        state->CurrentSubject = Subject::Mathematics;
        state->CurrentTreatment = TreatmentMode::Pourcentage;
        BuildObjectiveTables(*state);
    }
    std::unique_ptr<ProgramState> state;
};

// Domains follow each other without gap or overlap and cover every objective.
template <typename Table> void expectContiguousDomains(const Table& table) {
    int next = 1;
    for (int d = 1; d <= Table::DomainCount; ++d) {
        EXPECT_EQ(table.Domains[d].FirstObjective, next) << "domain " << d;
        EXPECT_GE(table.Domains[d].LastObjective, table.Domains[d].FirstObjective);
        next = table.Domains[d].LastObjective + 1;
        EXPECT_FALSE(table.Domains[d].Title.empty());
    }
    EXPECT_EQ(next, Table::ObjectiveCount + 1);
    for (int d = Table::DomainCount + 1; d <= DomainSlots; ++d) {
        EXPECT_TRUE(table.Domains[d].Title.empty());
        EXPECT_EQ(table.Domains[d].FirstObjective, 0);
        EXPECT_EQ(table.Domains[d].LastObjective, 0);
    }
}

// Item lists are ascending decimal numbers joined by single commas; returns item -> objective.
template <typename Table> std::map<int, int> itemOwners(const Table& table) {
    std::map<int, int> owners;
    for (int j = 1; j <= Table::ObjectiveCount; ++j) {
        const std::string& list = table.ItemLists[j].str();
        EXPECT_EQ(list.find_first_not_of("0123456789,"), std::string::npos) << list;
        EXPECT_NE(list.front(), ',');
        EXPECT_NE(list.back(), ',');
        EXPECT_EQ(list.find(",,"), std::string::npos);
        int previous = 0;
        for (int item : items(list)) {
            EXPECT_GT(item, previous) << "objective " << j;
            previous = item;
            EXPECT_TRUE(owners.emplace(item, j).second) << "item " << item << " counted twice";
        }
    }
    return owners;
}

} // namespace

TEST_F(ObjectiveTablesTest, StartUpChoicesAreFrenchAndCoding) {
    EXPECT_EQ(state->CurrentSubject, Subject::French);
    EXPECT_EQ(state->CurrentTreatment, TreatmentMode::Codage);
    EXPECT_EQ(static_cast<int>(Subject::Mathematics), 0);
    EXPECT_EQ(static_cast<int>(TreatmentMode::Pourcentage), 1);
}

TEST_F(ObjectiveTablesTest, DomainsAreContiguousAndUnusedSlotsStayEmpty) {
    expectContiguousDomains(state->FrenchTable);
    expectContiguousDomains(state->MathsTable);
    // PRODUCTION DE TEXTE holds a single objective.
    EXPECT_EQ(state->FrenchTable.Domains[3].Title, "PRODUCTION DE TEXTE");
    EXPECT_EQ(state->FrenchTable.Domains[3].FirstObjective, 8);
    EXPECT_EQ(state->FrenchTable.Domains[3].LastObjective, 8);
    EXPECT_EQ(state->MathsTable.Domains[5].Title, "GRANDEURS ET MESURES");
    EXPECT_EQ(state->MathsTable.Domains[2].FirstObjective, 4);
}

TEST_F(ObjectiveTablesTest, FrenchItemsOneToNinetyThreeEachCountOnce) {
    const std::map<int, int> owners = itemOwners(state->FrenchTable);
    ASSERT_EQ(owners.size(), 93u);
    EXPECT_EQ(owners.begin()->first, 1);
    EXPECT_EQ(owners.rbegin()->first, 93);
    EXPECT_EQ(owners.at(80), 4);
    EXPECT_EQ(owners.at(57), 8);
}

TEST_F(ObjectiveTablesTest, MathsItemsCountOnceAndFourItemsCountNowhere) {
    const std::map<int, int> owners = itemOwners(state->MathsTable);
    EXPECT_EQ(owners.size(), 84u);
    EXPECT_EQ(owners.rbegin()->first, 88);
    for (int unused : {17, 19, 46, 76})
        EXPECT_EQ(owners.count(unused), 0u) << unused;
    for (int single : {6, 7, 14})
        EXPECT_EQ(items(state->MathsTable.ItemLists[single].str()).size(), 1u);
    EXPECT_EQ(state->MathsTable.ItemLists[6], "45");
    EXPECT_EQ(state->MathsTable.ItemLists[7], "75");
    EXPECT_EQ(state->MathsTable.ItemLists[14], "54");
}

TEST_F(ObjectiveTablesTest, StatementsAreWindows1252AndKeepTheirTrailingSpace) {
    const auto& french = state->FrenchTable.ObjectiveTexts;
    const auto& maths = state->MathsTable.ObjectiveTexts;
    EXPECT_EQ(french[1], "Comprendre les informations explicites d'un texte litt\xE9raire ou documentaire");
    EXPECT_EQ(french[6], "D\xE9"
                         "chiffrer un mot que l'on ne conna\xEEt pas");
    EXPECT_EQ(french[11], "Copier sans erreur un texte de 3 \xE0 4 lignes");
    EXPECT_EQ(french[14], "Effectuer des manipulations dans un texte \xE9"
                          "crit ");
    EXPECT_EQ(maths[2], "Comparer - ranger - situer - encadrer des nombres ");
    EXPECT_EQ(maths[17], "Utiliser une r\xE8gle pour mesurer ou tracer");
    EXPECT_EQ(cp1252::toUtf8(maths[3]), "Connaître des doubles - Calculer la moitié");
    // No other statement starts or ends with a space: nothing was trimmed, nothing added.
    for (int j = 1; j <= FrenchObjectiveCount; ++j) {
        if (j != 14) {
            EXPECT_NE(french[j].str().back(), ' ') << j;
        }
    }
    for (int j = 1; j <= MathsObjectiveCount; ++j) {
        if (j != 2) {
            EXPECT_NE(maths[j].str().back(), ' ') << j;
        }
    }
}

TEST_F(ObjectiveTablesTest, EveryTextFitsItsField) {
    // A text cut by its capacity would be silently wrong on every sheet.
    std::size_t longestFrenchList = 0;
    for (int j = 1; j <= FrenchObjectiveCount; ++j) {
        EXPECT_LT(state->FrenchTable.ObjectiveTexts[j].size(), 100u);
        longestFrenchList = std::max(longestFrenchList, state->FrenchTable.ItemLists[j].size());
    }
    EXPECT_EQ(state->FrenchTable.ItemLists[1], "1,2,3,39,41,42,43,44,63,64,65,66,67,68");
    EXPECT_LT(longestFrenchList, 50u);
    EXPECT_EQ(EvaluationDate.size(), 14u);
    EXPECT_EQ(EvaluationVersion.size(), 14u);
}
