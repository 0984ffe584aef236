#pragma once

// The evaluation and its results, as the export gives them and the scoring makes them: the
// subjects, the reference tables of objectives, the pupils' records and their score texts.

#include "FixedText.h"

#include <cstdint>
#include <string_view>

namespace zeb {

// ---- Fixed sizes of the evaluation and the class ----------------------------------------
inline constexpr int FrenchObjectiveCount = 16;
inline constexpr int MathsObjectiveCount = 19;
inline constexpr int FrenchDomainCount = 4;
inline constexpr int MathsDomainCount = 5;
inline constexpr int DomainSlots = 6;
inline constexpr int MaxPupils = 30;
inline constexpr std::size_t FrenchCodesCapacity = 93;
inline constexpr std::size_t MathsCodesCapacity = 88;

// Built-in evaluation identification texts (plain ASCII, so Windows-1252 as they stand).
inline constexpr std::string_view EvaluationDate = "Septembre 2006";
inline constexpr std::string_view EvaluationVersion = "EVALUATION CE2";

enum class Subject : std::uint8_t { Mathematics = 0, French = 1 };
enum class TreatmentMode : std::uint8_t { Codage = 0, Pourcentage = 1 };

// ---- Reference tables ---------------------------------------------------------------------
struct Domain {
    FixedText<99> Title;
    std::int32_t FirstObjective = 0;
    std::int32_t LastObjective = 0;
    friend bool operator==(const Domain&, const Domain&) = default;
};

template <int ObjectiveCountV, int DomainCountV, std::size_t ItemListCapacity> struct ObjectiveTable {
    static constexpr int ObjectiveCount = ObjectiveCountV;
    static constexpr int DomainCount = DomainCountV;

    OneBased<FixedText<100>, ObjectiveCount> ObjectiveTexts;
    OneBased<FixedText<ItemListCapacity>, ObjectiveCount> ItemLists;
    OneBased<Domain, DomainSlots> Domains;
};

using FrenchObjectiveTable = ObjectiveTable<FrenchObjectiveCount, FrenchDomainCount, 50>;
using MathsObjectiveTable = ObjectiveTable<MathsObjectiveCount, MathsDomainCount, 56>;

// ---- The loaded class ---------------------------------------------------------------------
struct PupilRecord {
    FixedText<2> Number;
    FixedText<25> Surname;
    FixedText<15> FirstName;
    FixedText<FrenchCodesCapacity> FrenchCodes;
    FixedText<MathsCodesCapacity> MathsCodes;
    friend bool operator==(const PupilRecord&, const PupilRecord&) = default;
};

using ClassResultsTable = OneBased<PupilRecord, MaxPupils>;

// One score text per objective and pupil slot: a whole percentage right-aligned in three
// characters followed by " %", or " Abs ". Indexed [objective][slot].
template <int ObjectiveCount> using ScoreTable = OneBased<OneBased<FixedText<5>, MaxPupils>, ObjectiveCount>;

template <int ObjectiveCount> struct SubjectScores {
    ScoreTable<ObjectiveCount> SR;
    ScoreTable<ObjectiveCount> SE;
    ScoreTable<ObjectiveCount> SNR;
};

struct ObjectiveResultsTables {
    SubjectScores<FrenchObjectiveCount> French;
    SubjectScores<MathsObjectiveCount> Maths;
};

} // namespace zeb
