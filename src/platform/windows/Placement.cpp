// Files and folders put in place, the Windows way: no rename there exchanges two names, so a
// previous one is moved aside first.

#include "Files.h"
#include "WideText.h"
#include "core/Cp1252.h"
#include "core/Errors.h"
#include "platform/Platform.h"

namespace zeb {
namespace fs = std::filesystem;
using windows::MovePath;

namespace {

[[noreturn]] void fail(const fs::path& target, DWORD error) {
    throw ZebError("Impossible de mettre « " + PrintableName(Utf8FromPath(target)) +
                   " » en place : " + FrenchReason(static_cast<int>(error)) + ".");
}

bool taken(DWORD error) {
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

} // namespace

Placement::Placement(How how, fs::path fresh, fs::path target, fs::path previous)
    : how_(how), fresh_(std::move(fresh)), target_(std::move(target)), previous_(std::move(previous)) {}

// MoveFileExW without MOVEFILE_REPLACE_EXISTING never replaces what has the name, file or
// folder, in the same step that checks it.
Placement Placement::Put(const fs::path& fresh, const fs::path& target, const fs::path& aside) {
    DWORD error = MovePath(fresh, target, 0);
    if (error == 0)
        return {How::New, fresh, target, {}};
    if (!taken(error))
        fail(target, error);
    if ((error = MovePath(target, aside, 0)) != 0)
        fail(target, error);
    if ((error = MovePath(fresh, target, 0)) != 0) {
        MovePath(aside, target, 0);
        fail(target, error);
    }
    return {How::MovedAside, fresh, target, aside};
}

void Placement::PutWhereFree(const fs::path& fresh, const fs::path& target) {
    if (const DWORD error = MovePath(fresh, target, 0); error != 0)
        fail(target, error);
}

bool Placement::undo() {
    switch (how_) {
    case How::New:
        return MovePath(target_, fresh_, 0) == 0;
    case How::Swapped: // never made here
        return false;
    case How::MovedAside:
        return MovePath(target_, fresh_, 0) == 0 && MovePath(previous_, target_, 0) == 0;
    }
    return false;
}

} // namespace zeb
