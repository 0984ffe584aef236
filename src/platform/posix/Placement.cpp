#include "core/Cp1252.h"
#include "core/Errors.h"
#include "platform/Platform.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace zeb {
namespace fs = std::filesystem;

namespace {

int renamed(const fs::path& from, const fs::path& to, unsigned flags) {
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags) == 0 ? 0 : errno;
}

bool flagsUnknown(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

[[noreturn]] void fail(const fs::path& target, int error) {
    throw ZebError("Impossible de mettre « " + PrintableName(target.string()) +
                   " » en place : " + FrenchReason(error) + ".");
}

} // namespace

Placement::Placement(How how, fs::path fresh, fs::path target, fs::path previous)
    : how_(how), fresh_(std::move(fresh)), target_(std::move(target)), previous_(std::move(previous)) {}

Placement Placement::Put(const fs::path& fresh, const fs::path& target, const fs::path& aside) {
    int error = renamed(fresh, target, RENAME_NOREPLACE);
    if (error == 0)
        return {How::New, fresh, target, {}};
    if (error == EEXIST) {
        error = renamed(fresh, target, RENAME_EXCHANGE);
        if (error == 0)
            return {How::Swapped, fresh, target, fresh};
    }
    if (!flagsUnknown(error))
        fail(target, error);

    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0) {
        if (errno != ENOENT)
            fail(target, errno);
        if (::rename(fresh.c_str(), target.c_str()) != 0)
            fail(target, errno);
        return {How::New, fresh, target, {}};
    }
    if (::rename(target.c_str(), aside.c_str()) != 0)
        fail(target, errno);
    if (::rename(fresh.c_str(), target.c_str()) != 0) {
        error = errno;
        ::rename(aside.c_str(), target.c_str());
        fail(target, error);
    }
    return {How::MovedAside, fresh, target, aside};
}

void Placement::PutWhereFree(const fs::path& fresh, const fs::path& target) {
    int error = renamed(fresh, target, RENAME_NOREPLACE);
    if (flagsUnknown(error)) {
        struct stat info {};
        error = ::lstat(target.c_str(), &info) == 0 ? EEXIST : 0;
        if (error == 0 && ::rename(fresh.c_str(), target.c_str()) != 0)
            error = errno;
    }
    if (error != 0)
        fail(target, error);
}

bool Placement::undo() {
    switch (how_) {
    case How::New:
        return ::rename(target_.c_str(), fresh_.c_str()) == 0;
    case How::Swapped:
        return renamed(fresh_, target_, RENAME_EXCHANGE) == 0;
    case How::MovedAside:
        return ::rename(target_.c_str(), fresh_.c_str()) == 0 &&
               ::rename(previous_.c_str(), target_.c_str()) == 0;
    }
    return false;
}

} // namespace zeb
