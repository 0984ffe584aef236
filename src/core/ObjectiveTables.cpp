#include "ObjectiveTables.h"

#include "Cp1252.h"

#include <string_view>

namespace zeb {
namespace {

struct ObjectiveSource {
    std::string_view statement; // UTF-8 here, stored as Windows-1252
    std::string_view items;
};

struct DomainSource {
    std::string_view title;
    int first;
    int last;
};

// clang-format off
constexpr ObjectiveSource FrenchObjectives[FrenchObjectiveCount] = {
    {"Comprendre les informations explicites d'un texte littéraire ou documentaire", "1,2,3,39,41,42,43,44,63,64,65,66,67,68"},
    {"Trouver dans un texte documentaire les réponses à des questions simples", "4,5,7"},
    {"Dégager le thème d'un texte littéraire", "6,38,40"},
    {"Lire et comprendre seul les consignes ordinaires de l'activité scolaire", "80,81"},
    {"Comprendre un texte court en le lisant silencieusement", "8,9,45,46,47,49,50"},
    {"Déchiffrer un mot que l'on ne connaît pas", "17,18,19,20"},
    {"Identifier instantanément la plupart des mots courts ou fréquents", "33,34,35,36,37"},
    {"Ecrire de manière autonome un texte d'au moins cinq lignes", "57,58,59,60,62"},
    {"Ecrire en respectant les caractéristiques phonétiques du langage", "25,26,27,82,83,84,85,86,87"},
    {"Orthographier les petits mots fréquents", "28,29,30,88,89,90,91,92,93"},
    {"Copier sans erreur un texte de 3 à 4 lignes", "51,52,53,54"},
    {"Utiliser correctement les points et majuscules", "31,32,55,56,61,79"},
    {"En situation d'écriture spontanée ou sous la dictée marquer les accords dans la phrase", "21,22,23,24"},
    {"Effectuer des manipulations dans un texte écrit ", "11,12,13,14,15,16,74,75,76,77,78"},
    {"Avoir compris que les mots peuvent avoir des significations différentes", "10,48,69,70"},
    {"Avoir compris qu'il existe des irrégularités dans l'orthographe lexicale", "71,72,73"},
};

constexpr DomainSource FrenchDomains[FrenchDomainCount] = {
    {"COMPREHENSION", 1, 5},
    {"RECONNAISSANCE DES MOTS", 6, 7},
    {"PRODUCTION DE TEXTE", 8, 8},
    {"ECRITURE ET ORTHOGRAPHE", 9, 16},
};

constexpr ObjectiveSource MathsObjectives[MathsObjectiveCount] = {
    {"Désigner par écrit les nombres naturels", "40,41,42,43,44"},
    {"Comparer - ranger - situer - encadrer des nombres ", "47,48,49,50,51,52,53"},
    {"Connaître des doubles - Calculer la moitié", "61,62,63,64,65,66,67,68,69,70"},
    {"Utiliser les nombres pour exprimer une position", "79,80"},
    {"Résoudre un problème d'addition ou de soustraction", "15,16,18"},
    {"Résoudre un problème de multiplication", "45"},
    {"Résoudre un problème de partage", "75"},
    {"Connaître les tables d'addition", "1,2,3,4,5"},
    {"Trouver le complément à la dizaine supérieure", "71,72,73,74"},
    {"Connaître les tables de multiplication par 2, 5 et 10", "10,11,12,13,14"},
    {"Calculer des sommes en lignes ou posées en colonnes", "20,21,22,23,24"},
    {"Organiser et effectuer un calcul réfléchi", "6,7,8,9,35,36,37,38,39"},
    {"Repérer - Situer", "25,57,58"},
    {"Percevoir et utiliser : alignement - angle droit", "54"},
    {"Reconnaître ou tracer des figures planes", "33,34,55,59,60"},
    {"Comparer des objets selon leur longueur", "56,77,78"},
    {"Utiliser une règle pour mesurer ou tracer", "81,82,83"},
    {"Connaître les unités usuelles", "27,28,30,31,32"},
    {"Se repérer dans le temps", "26,29,84,85,86,87,88"},
};

constexpr DomainSource MathsDomains[MathsDomainCount] = {
    {"CONNAISSANCE DES NOMBRES ENTIERS NATURELS", 1, 3},
    {"EXPLOITATION DE DONNEES NUMERIQUES", 4, 7},
    {"CALCUL", 8, 12},
    {"ESPACE ET GEOMETRIE", 13, 15},
    {"GRANDEURS ET MESURES", 16, 19},
};
// clang-format on

template <typename Table, std::size_t ObjectiveCount, std::size_t DomainCount>
void fill(Table& table, const ObjectiveSource (&objectives)[ObjectiveCount],
          const DomainSource (&domains)[DomainCount]) {
    static_assert(ObjectiveCount == Table::ObjectiveCount && DomainCount == Table::DomainCount);
    int number = 1;
    for (const ObjectiveSource& objective : objectives)
        table.ItemLists[number++] = objective.items;
    number = 1;
    for (const ObjectiveSource& objective : objectives)
        table.ObjectiveTexts[number++] = cp1252::fromUtf8(objective.statement);
    number = 1;
    for (const DomainSource& domain : domains)
        table.Domains[number++] = Domain{cp1252::fromUtf8(domain.title), domain.first, domain.last};
}

} // namespace

void BuildObjectiveTables(ProgramState& state) {
    fill(state.FrenchTable, FrenchObjectives, FrenchDomains);
    fill(state.MathsTable, MathsObjectives, MathsDomains);
    state.CurrentSubject = Subject::French;
    state.CurrentTreatment = TreatmentMode::Codage;
}

} // namespace zeb
