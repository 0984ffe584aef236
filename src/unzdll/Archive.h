#pragma once

// The archive as libzip reads it, accepted only once our own directory reader sees the same
// members and no member's data overlaps another's: two readers that disagree on an archive
// are the classic way to slip a member past a check.

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
    std::uint16_t encryption = ZIP_EM_NONE;
    bool symlink = false;
};

struct ArchiveProblem {
    int code = 0;       // an UnzDllMessage, 0 when the archive is fine
    std::string member; // the member it is about, when there is one
    int detail = 0;     // errno, when the file itself could not be read
};

class Archive {
public:
    ArchiveProblem open(const char* path);
    zip_t* zip() const { return zip_.get(); }
    const std::vector<Member>& members() const { return members_; }

private:
    struct Discard {
        void operator()(zip_t* zip) const { zip_discard(zip); }
    };
    std::unique_ptr<zip_t, Discard> zip_;
    std::vector<Member> members_;
};

} // namespace zeb::unzdll
