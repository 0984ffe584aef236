#pragma once

#include <filesystem>
#include <utility>

namespace zeb::cli {

// A finished file or folder put in the place its name gives, the previous one kept aside until
// the caller has decided: undo() puts everything back as it was.
//
// Where the file system can, one rename does it: into a free name without ever replacing what
// appears there meanwhile (RENAME_NOREPLACE), or by swapping the new and the previous one
// (RENAME_EXCHANGE), so that the name always holds one of the two whole. Where it cannot (FUSE
// mounts, exFAT, NTFS, SMB and NFS shares answer EINVAL), plain renames: the previous one to
// `aside`, then the new one in; a crash between the two leaves the previous one at `aside`.
class Placement {
public:
    // Throws ZebError with the French reason when it cannot be done; `target` is then as it was.
    static Placement Put(const std::filesystem::path& fresh, const std::filesystem::path& target,
                         const std::filesystem::path& aside);

    // Puts `fresh` at `target` only while nothing stands there: what appeared meanwhile is never
    // replaced. Throws ZebError with the French reason.
    static void PutWhereFree(const std::filesystem::path& fresh, const std::filesystem::path& target);

    // Where the previous one lies now (`fresh`'s former name, or `aside`); empty when there was none.
    const std::filesystem::path& previous() const { return previous_; }
    // Puts the new one back at `fresh` and the previous one back at `target`. False when a
    // rename failed (what could not go back stays where previous() says).
    bool undo();

private:
    enum class How { New, Swapped, MovedAside };
    Placement(How how, std::filesystem::path fresh, std::filesystem::path target,
              std::filesystem::path previous)
        : how_(how), fresh_(std::move(fresh)), target_(std::move(target)), previous_(std::move(previous)) {}

    How how_;
    std::filesystem::path fresh_;
    std::filesystem::path target_;
    std::filesystem::path previous_;
};

} // namespace zeb::cli
