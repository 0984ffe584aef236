#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Fictional class export documents, for the bundled sample, the tests and the benchmarks.
// Every pupil, school and teacher in them is invented.
namespace zeb::examples {

inline constexpr std::size_t FrenchItemCount = 93;
inline constexpr std::size_t MathsItemCount = 88;
inline constexpr int MaxGeneratedPupils = 99;

struct GeneratedPupil {
    std::string Surname;          // as written in the document (Windows-1252 bytes, ASCII here)
    std::string FirstName;        // decoded, Windows-1252 bytes (é is the byte 0xE9)
    std::string FirstNameEscaped; // as written in the document (with the \u00xx escapes)
    std::string FrenchCodes;      // 93 characters
    std::string MathsCodes;       // 88 characters
};

struct GeneratorOptions {
    // 1..99; more than 30 is allowed (tests check that the importer refuses it).
    int pupils = 25;
    std::uint32_t seed = 2006;
    // 1-based pupil whose every code is "A" in both lists; 0, or a number beyond the class, means none.
    int absentPupil = 7;
    // When true, pupil 1 gets a 27-character surname and a 17-character first name.
    bool longNames = false;
    // 0 = natural size; otherwise neutral filler lines are spread evenly between the pupils so that the
    // document has exactly this many lines (or its natural size, when that is already larger).
    std::size_t targetLines = 0;
    // The class's name in <NOM_CLASSE> (Windows-1252); empty: the document names no class.
    std::string className = "CE2 A";
};

struct GeneratedClass {
    std::vector<GeneratedPupil> Pupils;
    std::string Document; // the whole export document: Windows-1252 bytes, CR LF line ends
};

// The same options give the same bytes on every machine and standard library. Throws
// std::invalid_argument when pupils is outside 1..99 or absentPupil is negative.
GeneratedClass GenerateClass(const GeneratorOptions& options = {});

} // namespace zeb::examples
