#pragma once

// The archive as our own directory reader sees it, accepted only once every member's local
// header agrees with the directory and no member's data overlaps another's. Stored and
// deflated members are read from here; when a member needs libzip (encryption, another
// method), libzip opens the archive too and must see the same members: two readers that
// disagree on an archive are the classic way to slip a member past a check.

#include "LibZip.h"
#include "zipformat/ZipDirectory.h"

#include <memory>
#include <vector>

namespace zeb::unzdll {

class Archive {
public:
    ArchiveProblem open(const char* path);
    const std::vector<Member>& members() const { return members_; }
    // The archive's bytes, for the plain members.
    ByteStream& data() const { return *stream_; }
    // libzip, with its view of the archive: null when no member needs it, or when libzip cannot
    // be loaded.
    LibZip* libzip() const { return libzip_.get(); }

private:
    std::unique_ptr<ByteStream> stream_;
    std::unique_ptr<LibZip> libzip_;
    std::vector<Member> members_;
};

} // namespace zeb::unzdll
