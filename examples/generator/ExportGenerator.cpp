#include "generator/ExportGenerator.h"

#include <algorithm>
#include <array>
#include <random>
#include <stdexcept>
#include <string_view>
#include <tuple>

namespace zeb::examples {
namespace {

// Only the raw 32-bit outputs of std::mt19937 are fixed by the standard; the distributions are not, so every
// value below is derived from those outputs by hand to keep the documents identical on every library.
class Draws {
public:
    explicit Draws(std::uint32_t seed) : engine_(seed) {}

    std::uint32_t next() { return static_cast<std::uint32_t>(engine_()); }

    // Uniform in 0..n-1: outputs from the incomplete last block are redrawn so that no value is favoured.
    std::uint32_t below(std::uint32_t n) {
        const std::uint64_t range = std::uint64_t{1} << 32;
        const std::uint64_t limit = range - range % n;
        std::uint32_t x = next();
        while (x >= limit)
            x = next();
        return x % n;
    }

    int between(int low, int high) {
        return low + static_cast<int>(below(static_cast<std::uint32_t>(high - low + 1)));
    }

    bool chance(int perMille) { return static_cast<int>(below(1000)) < perMille; }

private:
    std::mt19937 engine_;
};

// Independent streams per purpose, so that changing the class size keeps the item difficulties and
// changing one pupil's draws leaves the others alone.
std::uint32_t streamSeed(std::uint32_t seed, std::uint32_t stream) {
    std::uint64_t z = (std::uint64_t{seed} << 32 | stream) + 0x9E3779B97F4A7C15u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    return static_cast<std::uint32_t>(z >> 32);
}

constexpr std::uint32_t NameStream = 1;
constexpr std::uint32_t FrenchItemStream = 2;
constexpr std::uint32_t MathsItemStream = 3;
constexpr std::uint32_t FirstPupilStream = 1000;

// Teachers are told to write compound surnames without spaces, hence the underscores.
// clang-format off
constexpr std::array<std::string_view, 32> Surnames = {
    "LE_GALL",    "MOREAU",    "FAUCHEUX",  "BERTHELOT", "KERJEAN",   "DUVERGER",   "ROUSSELOT", "MAILLARD",
    "LE_ROUX",    "CHAPUIS",   "GUILLOU",   "TESSIER",   "PERRONNET", "BLANCHARD",  "LAMBERTIN", "COLLINEAU",
    "DUMESNIL",   "GIRAUDEAU", "HAMONIC",   "JOUBERTIE", "LACOMBE",   "MARECHAL",   "NICOLLE",   "OLLIVIER",
    "PICHONNAT",  "QUEMENEUR", "RIVIERE",   "SALAUN",    "THEBAULT",  "VALLEE",     "DA_SILVA_PEREIRA",
    "DESCHAMPS_DE_LA_BROSSERIE", // exactly the 25 characters the importer keeps
};
// clang-format on

struct FirstNameEntry {
    std::string_view Escaped; // as the export writes it
    char Sex;
};

// Exactly as many first names as pupils in the default class, so that it shows every one of them; both
// cases of the hex letters occur in real exports, so a few names use the upper-case form.
// clang-format off
constexpr std::array<FirstNameEntry, 25> FirstNames = {{
    {"L\\u00e9a", 'F'},          {"J\\u00e9r\\u00E9my", 'M'}, {"H\\u00e9l\\u00e8ne", 'F'},
    {"Fran\\u00e7ois", 'M'},     {"Ana\\u00efs", 'F'},        {"No\\u00EBl", 'M'},
    {"Ga\\u00eblle", 'F'},       {"Cl\\u00e9ment", 'M'},      {"Ma\\u00efwenn", 'F'},
    {"Lo\\u00efc", 'M'},         {"Chlo\\u00e9", 'F'},        {"Math\\u00e9o", 'M'},
    {"Zo\\u00e9", 'F'},          {"Rapha\\u00EBl", 'M'},      {"In\\u00e8s", 'F'},
    {"Lucas", 'M'},              {"Oc\\u00e9ane", 'F'},       {"Thomas", 'M'},
    {"Ma\\u00EBlys", 'F'},       {"Hugo", 'M'},               {"Manon", 'F'},
    {"Nathan", 'M'},             {"Camille", 'F'},            {"Emma", 'F'},
    {"Marie-Christine", 'F'}, // exactly the 15 characters the importer keeps
}};
// clang-format on

constexpr std::string_view LongSurname = "AUBERTIN_DE_KERVADEC_MOREAU";
constexpr FirstNameEntry LongFirstName = {"Louise-Fr\\u00e9d\\u00e9rique", 'F'};
static_assert(LongSurname.size() == 27);

// The six escapes the importer understands; anything else stays as written.
std::string decodeEscapes(std::string_view escaped) {
    std::string out;
    for (std::size_t i = 0; i < escaped.size();) {
        if (i + 6 <= escaped.size() && escaped.compare(i, 4, "\\u00") == 0 &&
            (escaped[i + 4] == 'e' || escaped[i + 4] == 'E')) {
            const char digit = escaped[i + 5];
            const std::string_view digits = "987aAbBfF";
            const std::string_view letters = "\xE9\xE8\xE7\xEA\xEA\xEB\xEB\xEF\xEF";
            const std::size_t at = digits.find(digit);
            if (at != std::string_view::npos) {
                out += letters[at];
                i += 6;
                continue;
            }
        }
        out += escaped[i++];
    }
    return out;
}

struct PupilRecord {
    GeneratedPupil Pupil;
    char Sex = 'F';
    std::string BirthDate; // DD/MM/YYYY
    std::string Identifier;
};

// Offsets in percentage points added to every pupil's ability: some items are hard for the whole class.
std::vector<int> itemOffsets(std::uint32_t seed, std::uint32_t stream, std::size_t count) {
    Draws draws(streamSeed(seed, stream));
    std::vector<int> offsets(count);
    for (int& offset : offsets)
        offset = draws.between(-18, 18);
    return offsets;
}

struct Profile {
    int Ability = 75;     // percent chance of success on an item of average difficulty
    int BaseSilence = 12; // per mille chance of a non-response anywhere in the list
    bool Tired = false;   // answers thin out towards the end of each list
    int TiredFromPercent = 100;
    int TiredSilence = 0; // per mille non-response reached at the last item
};

Profile drawProfile(Draws& draws) {
    Profile profile;
    const int kind = draws.between(0, 99);
    const bool weak = kind < 12;
    if (weak)
        profile.Ability = draws.between(28, 50);
    else if (kind < 22)
        profile.Ability = draws.between(88, 96);
    else
        profile.Ability = draws.between(64, 88);
    profile.BaseSilence = weak ? 40 : 12;
    profile.Tired = weak || draws.chance(350);
    if (profile.Tired) {
        profile.TiredFromPercent = draws.between(55, 80);
        profile.TiredSilence = draws.between(250, 600) + (weak ? 150 : 0);
    }
    return profile;
}

std::string drawCodes(Draws& draws, const Profile& profile, const std::vector<int>& offsets) {
    const std::size_t count = offsets.size();
    const std::size_t tiredFrom = count * static_cast<std::size_t>(profile.TiredFromPercent) / 100;
    std::string codes(count, '0');
    for (std::size_t item = 0; item < count; ++item) {
        int silence = profile.BaseSilence;
        if (profile.Tired && item >= tiredFrom) {
            const auto done = static_cast<int>(item - tiredFrom + 1);
            silence += profile.TiredSilence * done / static_cast<int>(count - tiredFrom);
        }
        const int success = std::clamp(profile.Ability + offsets[item], 3, 98);
        char& code = codes[item];
        if (draws.chance(silence))
            code = '0';
        else if (draws.chance(success * 10))
            code = draws.chance(70) ? '2' : '1';
        else if (draws.chance(550))
            code = '9';
        else
            code = static_cast<char>('3' + draws.between(0, 5));
    }
    // Now and then a pupil missed one item (called out of the room, late arrival).
    if (draws.chance(120))
        codes[draws.below(static_cast<std::uint32_t>(count))] = 'A';
    return codes;
}

std::string twoDigits(int value) {
    return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}

// CE2 pupils of 2006 were mostly born in 1997; a few repeated a year or started school early.
std::string drawBirthDate(Draws& draws) {
    const int kind = draws.between(0, 99);
    const int year = kind < 8 ? 1996 : kind < 96 ? 1997 : 1998;
    const int month = year == 1998 ? draws.between(1, 3) : draws.between(1, 12);
    constexpr std::array<int, 12> monthDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int days = monthDays[static_cast<std::size_t>(month - 1)] + (month == 2 && year == 1996 ? 1 : 0);
    return twoDigits(draws.between(1, days)) + "/" + twoDigits(month) + "/" + std::to_string(year);
}

std::string drawIdentifier(Draws& draws) {
    std::string id = "0299";
    int sum = 0;
    for (int i = 0; i < 6; ++i) {
        const int digit = draws.between(0, 9);
        sum += digit * (i + 3);
        id += static_cast<char>('0' + digit);
    }
    id += static_cast<char>('A' + sum % 23);
    return id;
}

// Pupil i takes surname i mod S and first name (i + i / S) mod F of the shuffled lists.
constexpr bool diagonalPairsDistinct() {
    constexpr std::size_t s = Surnames.size();
    constexpr std::size_t f = FirstNames.size();
    for (std::size_t i = 0; i < MaxGeneratedPupils; ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (i % s == j % s && (i + i / s) % f == (j + j / s) % f)
                return false;
    return true;
}
static_assert(diagonalPairsDistinct(), "the name lists no longer give distinct pupils up to 99");

template <typename T, std::size_t N> void shuffle(std::array<T, N>& values, Draws& draws) {
    for (std::size_t i = N - 1; i > 0; --i)
        std::swap(values[i], values[draws.below(static_cast<std::uint32_t>(i + 1))]);
}

// Walks the surname x first-name grid along a diagonal: a class no larger than the first-name list has
// distinct surnames and distinct first names, and up to 99 pupils every pair is distinct.
std::vector<PupilRecord> choosePupils(const GeneratorOptions& options) {
    Draws draws(streamSeed(options.seed, NameStream));
    auto surnames = Surnames;
    auto firstNames = FirstNames;
    shuffle(surnames, draws);
    shuffle(firstNames, draws);
    std::vector<PupilRecord> records(static_cast<std::size_t>(options.pupils));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FirstNameEntry& first = firstNames[(i + i / surnames.size()) % firstNames.size()];
        records[i].Pupil.Surname = surnames[i % surnames.size()];
        records[i].Pupil.FirstNameEscaped = first.Escaped;
        records[i].Pupil.FirstName = decodeEscapes(first.Escaped);
        records[i].Sex = first.Sex;
    }
    // Class lists come out in alphabetical order.
    std::sort(records.begin(), records.end(), [](const PupilRecord& a, const PupilRecord& b) {
        return std::tie(a.Pupil.Surname, a.Pupil.FirstName) < std::tie(b.Pupil.Surname, b.Pupil.FirstName);
    });
    if (options.longNames) {
        GeneratedPupil& first = records.front().Pupil;
        first.Surname = LongSurname;
        first.FirstNameEscaped = LongFirstName.Escaped;
        first.FirstName = decodeEscapes(LongFirstName.Escaped);
        records.front().Sex = LongFirstName.Sex;
    }
    return records;
}

void fillPupils(std::vector<PupilRecord>& records, const GeneratorOptions& options) {
    const std::vector<int> french = itemOffsets(options.seed, FrenchItemStream, FrenchItemCount);
    const std::vector<int> maths = itemOffsets(options.seed, MathsItemStream, MathsItemCount);
    for (std::size_t i = 0; i < records.size(); ++i) {
        PupilRecord& record = records[i];
        Draws draws(streamSeed(options.seed, FirstPupilStream + static_cast<std::uint32_t>(i)));
        record.BirthDate = drawBirthDate(draws);
        record.Identifier = drawIdentifier(draws);
        const Profile profile = drawProfile(draws);
        record.Pupil.FrenchCodes = drawCodes(draws, profile, french);
        record.Pupil.MathsCodes = drawCodes(draws, profile, maths);
        if (static_cast<std::size_t>(options.absentPupil) == i + 1) {
            record.Pupil.FrenchCodes.assign(FrenchItemCount, 'A');
            record.Pupil.MathsCodes.assign(MathsItemCount, 'A');
        }
    }
}

using Lines = std::vector<std::string>;

Lines pupilBlock(const PupilRecord& record, std::size_t rank, const std::string& codes) {
    const GeneratedPupil& pupil = record.Pupil;
    return {
        "    <ELEVE rang=\"" + std::to_string(rank) + "\">",
        "      <IDENTIFIANT>" + record.Identifier + "</IDENTIFIANT>",
        "      <MELEVE_MID>" + pupil.Surname + "--" + pupil.FirstNameEscaped + " (n\xE9(e) le " +
            record.BirthDate + ")</MELEVE_MID>",
        "      <SEXE>" + std::string(1, record.Sex) + "</SEXE>",
        "      <DATE_NAISSANCE>" + record.BirthDate + "</DATE_NAISSANCE>",
        "      <REPONSES><MCODES>" + codes + "</MCODES></REPONSES>",
        "    </ELEVE>",
    };
}

// Neutral lines of the kind real exports carry between pupils; numbered so that they do not all look alike.
std::string fillerLine(std::size_t number) {
    const std::string n = std::to_string(number);
    const int minute = static_cast<int>(number % 60);
    switch (number % 6) {
    case 0:
        return "    <!-- Controle de saisie " + n + " : aucune anomalie -->";
    case 1:
        return "    <JOURNAL_SAISIE poste=\"DIR-02\" heure=\"10:" + twoDigits(minute) + "\">Enregistrement " +
               n + " valide</JOURNAL_SAISIE>";
    case 2:
        return "    <SEQUENCE numero=\"" + std::to_string(number % 9 + 1) + "\" duree_minutes=\"" +
               std::to_string(15 + number % 4 * 5) + "\" />";
    case 3:
        return "    <CONSIGNE>Lire la consigne \xE0 voix haute une seule fois.</CONSIGNE>";
    case 4:
        return "    <OBSERVATION type=\"passation\">Aucune observation particuli\xE8re</OBSERVATION>";
    default:
        return "    <!-- Sauvegarde interm\xE9"
               "diaire " +
               n + " -->";
    }
}

Lines classHeader(std::size_t pupils, const std::string& className) {
    Lines header{
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?>",
        "<EVALUATION_NATIONALE niveau=\"CE2\" session=\"2006\" version=\"2.3\">",
        "  <!-- Classe fictive : noms, dates et r\xE9sultats invent\xE9s -->",
        "  <CLASSE>",
        "    <ECOLE uai=\"0299912X\">\xC9"
        "cole \xE9l\xE9mentaire des Trois Ch\xEAnes</ECOLE>",
        "    <COMMUNE>Plouvenec-sur-Aven</COMMUNE>",
        "    <ENSEIGNANT>M. ou Mme Kerbrat</ENSEIGNANT>",
        "    <NOM_CLASSE>" + className + "</NOM_CLASSE>",
        "    <ANNEE>2006</ANNEE>",
        "    <EFFECTIF>" + std::to_string(pupils) + "</EFFECTIF>",
        "    <DATE_EXPORT>06/10/2006</DATE_EXPORT>",
        "  </CLASSE>",
    };
    if (className.empty())
        header.erase(std::find(header.begin(), header.end(), "    <NOM_CLASSE></NOM_CLASSE>"));
    return header;
}

std::string disciplineOpening(std::string_view code, std::string_view label, std::size_t items) {
    return "  <DISCIPLINE code=\"" + std::string(code) + "\" libelle=\"" + std::string(label) +
           "\" nb_items=\"" + std::to_string(items) + "\">";
}

std::string buildDocument(const std::vector<PupilRecord>& records, std::size_t targetLines,
                          const std::string& className) {
    const Lines header = classHeader(records.size(), className);
    const Lines frenchOpening = {disciplineOpening("FRA",
                                                   "Fran\xE7"
                                                   "ais",
                                                   FrenchItemCount)};
    const Lines mathsOpening = {"  </DISCIPLINE>",
                                disciplineOpening("MAT", "Math\xE9matiques", MathsItemCount)};
    const Lines closing = {"  </DISCIPLINE>", "</EVALUATION_NATIONALE>"};

    std::vector<Lines> frenchBlocks;
    std::vector<Lines> mathsBlocks;
    for (std::size_t i = 0; i < records.size(); ++i) {
        frenchBlocks.push_back(pupilBlock(records[i], i + 1, records[i].Pupil.FrenchCodes));
        mathsBlocks.push_back(pupilBlock(records[i], i + 1, records[i].Pupil.MathsCodes));
    }
    std::size_t natural = header.size() + frenchOpening.size() + mathsOpening.size() + closing.size();
    for (std::size_t i = 0; i < records.size(); ++i)
        natural += frenchBlocks[i].size() + mathsBlocks[i].size();

    // Filler goes before each pupil and after the last one of each list; the integer split spreads the
    // remainder so that neighbouring slots differ by at most one line.
    const std::size_t extra = targetLines > natural ? targetLines - natural : 0;
    const std::size_t slots = 2 * (records.size() + 1);
    std::size_t slot = 0;
    std::size_t fillerNumber = 0;
    std::string document;
    const auto emit = [&document](const Lines& lines) {
        for (const std::string& line : lines) {
            document += line;
            document += "\r\n";
        }
    };
    const auto emitFiller = [&] {
        const std::size_t count = extra * (slot + 1) / slots - extra * slot / slots;
        ++slot;
        for (std::size_t k = 0; k < count; ++k)
            emit({fillerLine(++fillerNumber)});
    };

    emit(header);
    emit(frenchOpening);
    for (const Lines& block : frenchBlocks) {
        emitFiller();
        emit(block);
    }
    emitFiller();
    emit(mathsOpening);
    for (const Lines& block : mathsBlocks) {
        emitFiller();
        emit(block);
    }
    emitFiller();
    emit(closing);
    return document;
}

} // namespace

GeneratedClass GenerateClass(const GeneratorOptions& options) {
    if (options.pupils < 1 || options.pupils > MaxGeneratedPupils)
        throw std::invalid_argument("GenerateClass: pupils must be within 1..99");
    if (options.absentPupil < 0)
        throw std::invalid_argument("GenerateClass: absentPupil must not be negative");
    std::vector<PupilRecord> records = choosePupils(options);
    fillPupils(records, options);

    GeneratedClass generated;
    generated.Document = buildDocument(records, options.targetLines, options.className);
    for (PupilRecord& record : records)
        generated.Pupils.push_back(std::move(record.Pupil));
    return generated;
}

} // namespace zeb::examples
