#pragma once

// The archive as our own directory reader sees it, accepted only once every member's local
// header agrees with the directory and no member's data overlaps another's. Stored and
// deflated members are read from here; when a member needs libzip (encryption, another
// method), libzip opens the archive too and must see the same members: two readers that
// disagree on an archive are the classic way to slip a member past a check.

#include "LibZip.h"
#include "zipformat/ZipDirectory.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>
#include <zip.h>

namespace zeb::unzdll {

struct Member {
    zip_uint64_t index = 0;
    std::string name; // as the caller lists it: Windows-1252, "\" between the parts
    std::uint64_t size = 0;
    std::uint64_t compressedSize = 0;
    std::time_t mtime = 0;
    std::int32_t method = 0;
    std::uint16_t encryption = ZIP_EM_NONE; // ZIP_EM_UNKNOWN when encrypted and libzip is missing
    bool symlink = false;
    std::uint32_t crc = 0;
    std::uint64_t dataOffset = 0; // where the member's data starts, past its local header

    // Stored or deflated, not encrypted: read by our own reader.
    bool plain() const {
        return encryption == ZIP_EM_NONE && (method == ZIP_CM_STORE || method == ZIP_CM_DEFLATE);
    }
};

struct ArchiveProblem {
    int code = 0;       // an UnzDllMessage, 0 when the archive is fine
    std::string member; // the member it is about, when there is one
    int detail = 0;     // errno, when the file itself could not be read
};

class Archive {
public:
    ArchiveProblem open(const char* path);
    const std::vector<Member>& members() const { return members_; }
    // The archive's bytes, for the plain members.
    ByteStream& data() const { return *stream_; }
    // libzip and its view of the archive: both null when no member needs them, or when
    // libzip cannot be loaded.
    const LibZip* libzip() const { return libzip_; }
    zip_t* zip() const { return zip_.get(); }

private:
    ArchiveProblem openWithLibzip(const char* path, const CentralDirectory& directory);

    struct Discard {
        const LibZip* libzip; // no initializer: value-initialized by unique_ptr
        void operator()(zip_t* zip) const { libzip->discard(zip); }
    };
    std::unique_ptr<ByteStream> stream_;
    const LibZip* libzip_ = nullptr;
    std::unique_ptr<zip_t, Discard> zip_;
    std::vector<Member> members_;
};

} // namespace zeb::unzdll
