#include "Archive.h"

#include "zipformat/UnzDllMessages.h"
#include "zipformat/ZipDirectory.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <optional>
#include <unordered_set>

namespace zeb::unzdll {
namespace {

constexpr std::uint32_t DataDescriptorSignature = 0x08074B50;
constexpr unsigned UnixHost = 3;
constexpr unsigned DarwinHost = 19; // keeps the Unix mode in the same place
constexpr std::uint32_t UnixFileType = 0170000;
constexpr std::uint32_t UnixSymlink = 0120000;

struct Span {
    std::uint64_t start = 0;
    std::uint64_t data = 0; // past the local header
    std::uint64_t end = 0;
    std::size_t entry = 0;
};

enum class LocalCheck { Agrees, Missing, Disagrees };

// The local header's sizes, completed from its zip64 field when they are left at the maximum.
bool localSizes(const unsigned char* header, std::string_view extra, std::uint64_t& size,
                std::uint64_t& compressed) {
    compressed = ReadLe32(header + 18);
    size = ReadLe32(header + 22);
    if (size != 0xFFFFFFFF && compressed != 0xFFFFFFFF)
        return true;
    const std::optional<std::string_view> field = FindExtraField(extra, Zip64ExtraId);
    std::size_t at = 0;
    for (std::uint64_t* value : {&size, &compressed}) {
        if (*value != 0xFFFFFFFF)
            continue;
        if (!field || field->size() < at + 8)
            return false;
        const auto* bytes = reinterpret_cast<const unsigned char*>(field->data()) + at;
        *value = ReadLe32(bytes) | (std::uint64_t{ReadLe32(bytes + 4)} << 32);
        at += 8;
    }
    return true;
}

// The local header and the data descriptor, if any, must say what the central header says:
// a reader that goes by the local copy (a streaming unzipper) would otherwise see another
// member. The span runs from the local header to the end of the descriptor.
LocalCheck checkLocal(ByteStream& stream, const TFileInfoC& entry, Span& span) {
    unsigned char header[LocalHeaderSize];
    if (!stream.seek(entry.LocalHeaderOffset) || stream.read(header, sizeof header) != sizeof header ||
        ReadLe32(header) != LocalHeaderSignature)
        return LocalCheck::Missing;
    const std::uint16_t flags = ReadLe16(header + 6);
    std::string name(ReadLe16(header + 26), '\0');
    std::string extra(ReadLe16(header + 28), '\0');
    if (stream.read(name.data(), name.size()) != name.size() ||
        stream.read(extra.data(), extra.size()) != extra.size())
        return LocalCheck::Missing;
    span.start = entry.LocalHeaderOffset;
    span.data = span.start + LocalHeaderSize + name.size() + extra.size();
    span.end = span.data + entry.CompressedSize;
    if (name != entry.StoredName || ReadLe16(header + 8) != entry.CompressionMethod ||
        (flags & 0x0001) != (entry.Flag & 0x0001) || (flags & 0x0008) != (entry.Flag & 0x0008))
        return LocalCheck::Disagrees;
    const bool zip64 = FindExtraField(extra, Zip64ExtraId).has_value();
    if ((flags & 0x0008) == 0) {
        std::uint64_t size = 0;
        std::uint64_t compressed = 0;
        if (!localSizes(header, extra, size, compressed) || ReadLe32(header + 14) != entry.Crc32 ||
            size != entry.UncompressedSize || compressed != entry.CompressedSize)
            return LocalCheck::Disagrees;
        return LocalCheck::Agrees;
    }
    // The descriptor's own signature is optional; its sizes take 8 bytes each in a zip64 member.
    const std::size_t sizeWidth = zip64 ? 8 : 4;
    const std::size_t length = 4 + 2 * sizeWidth; // the CRC and the two sizes
    unsigned char descriptor[4 + 4 + 2 * 8];
    if (!stream.seek(static_cast<std::int64_t>(span.end)))
        return LocalCheck::Missing;
    const std::size_t got = stream.read(descriptor, 4 + length);
    const bool withSignature = got == 4 + length && ReadLe32(descriptor) == DataDescriptorSignature;
    if (!withSignature && got < length)
        return LocalCheck::Missing;
    const unsigned char* fields = descriptor + (withSignature ? 4 : 0);
    span.end += (withSignature ? 4 : 0) + length;
    const auto field = [&](std::size_t at) -> std::uint64_t {
        const std::uint64_t low = ReadLe32(fields + at);
        return sizeWidth == 8 ? low | (std::uint64_t{ReadLe32(fields + at + 4)} << 32) : low;
    };
    if (ReadLe32(fields) != entry.Crc32 || field(4) != entry.CompressedSize ||
        field(4 + sizeWidth) != entry.UncompressedSize)
        return LocalCheck::Disagrees;
    return LocalCheck::Agrees;
}

ArchiveProblem problem(int code, std::string member = {}, int detail = 0) {
    return ArchiveProblem{code, std::move(member), detail};
}

// An MS-DOS date and time as local time, the way libzip reads them, so that a member's time
// does not depend on which reader read it.
std::time_t dosTime(std::uint16_t date, std::uint16_t time) {
    std::tm parts{};
    parts.tm_isdst = -1; // whatever holds on that day
    parts.tm_year = ((date >> 9) & 127) + 1980 - 1900;
    parts.tm_mon = ((date >> 5) & 15) - 1;
    parts.tm_mday = date & 31;
    parts.tm_hour = (time >> 11) & 31;
    parts.tm_min = (time >> 5) & 63;
    parts.tm_sec = (time << 1) & 62;
    return std::mktime(&parts);
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
    if (record.Zip64 == Zip64Format::TooLarge)
        return problem(UNZDLL_MSG_ZIP64_TOO_LARGE);
    if (record.ThisDisk > 0 || record.CentralDirDisk > 0)
        return problem(UNZDLL_MSG_ARCHIVE_SPANNED);
    if (!EndRecordIsPlausible(record) || record.EntriesThisDisk != record.TotalEntries ||
        std::uint64_t{record.CentralDirOffset} + record.CentralDirSize >
            static_cast<std::uint64_t>(DirectoryEnd(record)))
        return problem(UNZDLL_MSG_DIRECTORY_DAMAGED);
    CentralDirectory directory;
    if (!ReadCentralDirectory(stream, record, directory) || directory.Entries.size() != record.TotalEntries)
        return problem(directory.Zip64TooLarge ? UNZDLL_MSG_ZIP64_TOO_LARGE : UNZDLL_MSG_DIRECTORY_DAMAGED);

    std::unordered_set<std::string_view> names;
    for (const TFileInfoC& entry : directory.Entries)
        if (!names.insert(entry.FileName).second)
            return problem(UNZDLL_MSG_DUPLICATE_NAMES, entry.FileName);

    // Two entries on one local header disagree with it too: the overlap, the more telling
    // verdict, is reported first.
    std::vector<Span> spans;
    spans.reserve(directory.Entries.size());
    const TFileInfoC* disagreeing = nullptr;
    for (std::size_t i = 0; i < directory.Entries.size(); ++i) {
        Span span;
        span.entry = i;
        const LocalCheck check = checkLocal(*stream, directory.Entries[i], span);
        if (check == LocalCheck::Missing)
            return problem(UNZDLL_MSG_MEMBERS_OVERLAP, directory.Entries[i].FileName);
        if (check == LocalCheck::Disagrees && disagreeing == nullptr)
            disagreeing = &directory.Entries[i];
        spans.push_back(span);
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const bool overlapsNext = i + 1 < spans.size() && spans[i].end > spans[i + 1].start;
        if (overlapsNext || spans[i].end > record.CentralDirOffset)
            return problem(UNZDLL_MSG_MEMBERS_OVERLAP, directory.Entries[spans[i].entry].FileName);
    }
    if (disagreeing != nullptr)
        return problem(UNZDLL_MSG_INCONSISTENT, disagreeing->FileName);

    members_.clear();
    members_.reserve(directory.Entries.size());
    bool needsLibzip = false;
    for (std::size_t i = 0; i < directory.Entries.size(); ++i) {
        const TFileInfoC& entry = directory.Entries[i];
        Member member;
        member.index = i;
        member.name = entry.FileName;
        member.size = entry.UncompressedSize;
        member.compressedSize = entry.CompressedSize;
        member.mtime = dosTime(entry.ModDate, entry.ModTime);
        member.method = entry.CompressionMethod;
        member.encryption = entry.Encrypted ? UnknownEncryption : NoEncryption;
        const unsigned host = entry.VersionMadeBy >> 8;
        const std::uint32_t mode = entry.ExternalAttributes >> 16;
        member.symlink = (host == UnixHost || host == DarwinHost) && (mode & UnixFileType) == UnixSymlink;
        member.crc = entry.Crc32;
        members_.push_back(std::move(member));
        needsLibzip = needsLibzip || !members_.back().plain();
    }
    for (const Span& span : spans)
        members_[span.entry].dataOffset = span.data;
    stream_ = std::move(stream);
    // Without libzip the members that need it are refused one by one as unsupported.
    if (needsLibzip && (libzip_ = LoadLibZip()) != nullptr)
        return libzip_->open(path, directory, members_);
    return {};
}

} // namespace zeb::unzdll
