#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::cli {

// What zeb-fiches wrote in a folder of the user's, so that a later run replaces it only when it
// is still just that: every file with its size and a digest of its bytes. Kept as ZEB's mark of
// the folder (OwnMarkName), or of single files beside others (SchoolListName for ecole.csv and
// ecole-items.csv).
//
//   ZEB v2 zeb-fiches
//   classe ce2-a
//   fichier 181598 6c62272e07bb0142 fiches.pdf
struct OwnList {
    struct File {
        std::string name;
        std::uint64_t size = 0;
        std::string digest;
        friend bool operator==(const File&, const File&) = default;
    };
    std::string subject; // "classe NAME" or "ecole"
    std::vector<File> files;
    friend bool operator==(const OwnList&, const OwnList&) = default;

    std::string text() const;
    static std::optional<OwnList> parse(std::string_view text);
    const File* find(std::string_view name) const;
};

// Tells whether bytes are still the ones written, not a protection against anyone: 16 hex digits.
std::string ContentDigest(std::string_view bytes);

// The list of the files `names` of `folder` as they are now. Throws ZebError.
OwnList ListFiles(const std::filesystem::path& folder, std::string subject,
                  const std::vector<std::string>& names);

struct Ownership {
    enum class Kind { Absent, Ours, Foreign };
    Kind kind = Kind::Absent;
    std::string reason; // French, for Foreign: why ZEB leaves it alone
    OwnList list;       // for Ours
};

// What stands at `folder` for a class's results: nothing, a folder that ZEB wrote and that
// holds nothing else than what its mark lists, unchanged (missing files do not matter), or
// anything else: a file, a link, another user's folder, a folder without the mark, with a file
// that the mark does not list or with a listed file changed since.
Ownership ClassFolderOwnership(const std::filesystem::path& folder);

// The same for a single file, whose list is the file `list` beside it.
Ownership FileOwnership(const std::filesystem::path& file, const std::filesystem::path& list);

} // namespace zeb::cli
