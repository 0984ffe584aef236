#include "Archive.h"

#include "UnzDllMessages.h"
#include "archive/ZipDirectory.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unordered_set>

namespace zeb::unzdll {
namespace {

constexpr std::uint32_t DataDescriptorSignature = 0x08074B50;
constexpr unsigned UnixHost = 3;
constexpr unsigned DarwinHost = 19; // keeps the Unix mode in the same place

struct Span {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::size_t entry = 0;
};

// From the local header to the end of the data descriptor, if any.
bool memberSpan(ByteStream& stream, const TFileInfoC& entry, Span& span) {
    unsigned char header[LocalHeaderSize];
    if (!stream.seek(entry.LocalHeaderOffset) || stream.read(header, sizeof header) != sizeof header ||
        ReadLe32(header) != LocalHeaderSignature)
        return false;
    span.start = entry.LocalHeaderOffset;
    span.end =
        span.start + LocalHeaderSize + ReadLe16(header + 26) + ReadLe16(header + 28) + entry.CompressedSize;
    if (entry.Flag & 0x0008) {
        // The descriptor's own signature is optional; without it the record is 12 bytes.
        unsigned char signature[4];
        const bool hasSignature = stream.seek(static_cast<std::int64_t>(span.end)) &&
                                  stream.read(signature, sizeof signature) == sizeof signature &&
                                  ReadLe32(signature) == DataDescriptorSignature;
        span.end += hasSignature ? 16 : 12;
    }
    return true;
}

// What libzip shows of a member, converted the way our reader converts it. libzip turns a NUL
// inside a name into a space; ours keeps it, and the member is refused later for it.
std::string comparableName(std::string name) {
    std::replace(name.begin(), name.end(), '\0', ' ');
    return name;
}

ArchiveProblem problem(int code, std::string member = {}, int detail = 0) {
    return ArchiveProblem{code, std::move(member), detail};
}

} // namespace

ArchiveProblem Archive::open(const char* path) {
    // Our reader first: its verdicts name the defect more precisely than libzip's.
    std::unique_ptr<ByteStream> stream = OpenFileStream(path);
    if (!stream)
        return problem(UNZDLL_MSG_ARCHIVE_UNREADABLE, {}, errno != 0 ? errno : EIO);
    if (FindEndRecord(*stream) < 0)
        return problem(UNZDLL_MSG_ARCHIVE_UNREADABLE);
    TEOCHInfo record;
    if (!ReadEndRecord(*stream, record))
        return problem(UNZDLL_MSG_DIRECTORY_DAMAGED);
    if (record.ThisDisk > 0 || record.CentralDirDisk > 0)
        return problem(UNZDLL_MSG_ARCHIVE_SPANNED);
    if (!EndRecordIsPlausible(record) || record.EntriesThisDisk != record.TotalEntries ||
        std::uint64_t{record.CentralDirOffset} + record.CentralDirSize >
            static_cast<std::uint64_t>(record.Position))
        return problem(UNZDLL_MSG_DIRECTORY_DAMAGED);
    CentralDirectory directory;
    if (!ReadCentralDirectory(stream, record, directory) || directory.Entries.size() != record.TotalEntries)
        return problem(UNZDLL_MSG_DIRECTORY_DAMAGED);

    std::unordered_set<std::string_view> names;
    for (const TFileInfoC& entry : directory.Entries)
        if (!names.insert(entry.FileName).second)
            return problem(UNZDLL_MSG_DUPLICATE_NAMES, entry.FileName);

    std::vector<Span> spans;
    spans.reserve(directory.Entries.size());
    for (std::size_t i = 0; i < directory.Entries.size(); ++i) {
        Span span;
        span.entry = i;
        if (!memberSpan(*stream, directory.Entries[i], span))
            return problem(UNZDLL_MSG_MEMBERS_OVERLAP, directory.Entries[i].FileName);
        spans.push_back(span);
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const bool overlapsNext = i + 1 < spans.size() && spans[i].end > spans[i + 1].start;
        if (overlapsNext || spans[i].end > record.CentralDirOffset)
            return problem(UNZDLL_MSG_MEMBERS_OVERLAP, directory.Entries[spans[i].entry].FileName);
    }

    int error = 0;
    zip_.reset(zip_open(path, ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!zip_) {
        switch (error) {
        case ZIP_ER_NOZIP:
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
            return problem(UNZDLL_MSG_ARCHIVE_UNREADABLE);
        case ZIP_ER_MULTIDISK:
            return problem(UNZDLL_MSG_ARCHIVE_SPANNED);
        default:
            return problem(UNZDLL_MSG_INCONSISTENT);
        }
    }

    const zip_int64_t count = zip_get_num_entries(zip_.get(), 0);
    if (count < 0 || static_cast<std::uint64_t>(count) != directory.Entries.size())
        return problem(UNZDLL_MSG_INCONSISTENT);
    members_.clear();
    members_.reserve(directory.Entries.size());
    constexpr zip_uint64_t Needed = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC |
                                    ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    for (std::size_t i = 0; i < directory.Entries.size(); ++i) {
        const TFileInfoC& entry = directory.Entries[i];
        const char* raw = zip_get_name(zip_.get(), i, ZIP_FL_ENC_RAW);
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (raw == nullptr || zip_stat_index(zip_.get(), i, ZIP_FL_ENC_RAW, &stat) != 0 ||
            (stat.valid & Needed) != Needed)
            return problem(UNZDLL_MSG_INCONSISTENT, entry.FileName);
        if (EntryName(raw, directory.OemNames) != comparableName(entry.FileName) ||
            stat.size != entry.UncompressedSize || stat.comp_size != entry.CompressedSize ||
            stat.crc != entry.Crc32 || (stat.encryption_method != ZIP_EM_NONE) != entry.Encrypted)
            return problem(UNZDLL_MSG_INCONSISTENT, entry.FileName);

        Member member;
        member.index = i;
        member.name = entry.FileName;
        member.size = stat.size;
        member.compressedSize = stat.comp_size;
        member.mtime = stat.mtime;
        member.method = static_cast<std::int32_t>(stat.comp_method);
        member.encryption = stat.encryption_method;
        const unsigned host = entry.VersionMadeBy >> 8;
        const std::uint32_t mode = entry.ExternalAttributes >> 16;
        member.symlink = (host == UnixHost || host == DarwinHost) && (mode & S_IFMT) == S_IFLNK;
        members_.push_back(std::move(member));
    }
    return {};
}

} // namespace zeb::unzdll
