#pragma once

// libzip, for the members our own reader leaves to it (encrypted, or compressed by another method
// than store or deflate). Members that are stored or deflated and not encrypted (every export the
// evaluation program writes) are read with zlib alone; libzip, and the crypto library it brings
// along, are loaded only for the others, so that a plain extraction does not pay for loading
// them. A build without libzip (LibZip.cpp left out for NoLibZip.cpp, see CMakeLists.txt) refuses
// those members one by one as unsupported.

#include "zipformat/ZipDirectory.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zeb::unzdll {

inline constexpr std::int32_t StoredMethod = 0;
inline constexpr std::int32_t DeflatedMethod = 8;
inline constexpr std::uint16_t NoEncryption = 0;
inline constexpr std::uint16_t UnknownEncryption = 0xFFFF; // encrypted, method not yet known

struct Member {
    std::uint64_t index = 0;
    std::string name; // as the caller lists it: Windows-1252, "\" between the parts
    std::uint64_t size = 0;
    std::uint64_t compressedSize = 0;
    std::time_t mtime = 0;
    std::int32_t method = 0;
    std::uint16_t encryption = NoEncryption; // UnknownEncryption when encrypted and libzip is missing
    bool symlink = false;
    std::uint32_t crc = 0;
    std::uint64_t dataOffset = 0; // where the member's data starts, past its local header

    // Stored or deflated, not encrypted: read by our own reader.
    bool plain() const {
        return encryption == NoEncryption && (method == StoredMethod || method == DeflatedMethod);
    }
};

struct ArchiveProblem {
    int code = 0;       // an UnzDllMessage, 0 when the archive is fine
    std::string member; // the member it is about, when there is one
    int detail = 0;     // errno, when the file itself could not be read
};

enum class Read { Clean, Crc, Damaged, SizeMismatch, WrongPassword, WriteFailed, Stopped };

struct ReadResult {
    Read status = Read::Clean;
    int error = 0;
};

// Takes what came out of a member, chunk by chunk; anything but Clean ends the read.
using Deliver = std::function<ReadResult(const char* data, std::size_t size)>;

class LibZip {
public:
    virtual ~LibZip() = default;
    // Opens the archive our reader accepted and checks that libzip sees the same members, taking
    // its modification times and encryption methods into `members`: two readers that disagree on
    // an archive are the classic way to slip a member past a check.
    virtual ArchiveProblem open(const char* path, const CentralDirectory& directory,
                                std::vector<Member>& members) = 0;
    virtual bool compressionSupported(std::int32_t method) const = 0;
    virtual bool encryptionSupported(std::uint16_t method) const = 0;
    // Reads a member, `buffer` (of `capacity` bytes) at a time. Checks its CRC and its size.
    virtual ReadResult read(const Member& member, const char* password, char* buffer, std::size_t capacity,
                            const Deliver& deliver) = 0;
};

// libzip's entries, ready for one archive; nullptr when it cannot be loaded or is not built in.
std::unique_ptr<LibZip> LoadLibZip();

} // namespace zeb::unzdll
