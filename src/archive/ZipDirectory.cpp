#include "ZipDirectory.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeb {
namespace {

class FileStream final : public ByteStream {
public:
    FileStream(int fd, std::int64_t size) : fd_(fd), size_(size) {}
    ~FileStream() override { ::close(fd_); }
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    std::int64_t size() override { return size_; }
    bool seek(std::int64_t position) override {
        if (position < 0 || position > size_)
            return false;
        position_ = position;
        return true;
    }
    std::int64_t position() override { return position_; }
    std::size_t read(void* buffer, std::size_t count) override {
        std::size_t done = 0;
        while (done < count) {
            const ssize_t got = ::pread(fd_, static_cast<char*>(buffer) + done, count - done, position_);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += static_cast<std::size_t>(got);
            position_ += got;
        }
        return done;
    }

private:
    int fd_;
    std::int64_t size_;
    std::int64_t position_ = 0;
};

// Code page 850, bytes 80..FF, as Unicode code points.
constexpr std::array<char16_t, 128> Cp850High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C,
    0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6,
    0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};

// Windows-1252 bytes of the 850 code points; those 1252 lacks (box drawing and a few
// others) become "_", a harmless character in a file name.
std::array<char, 128> buildOemTable() {
    std::array<char, 128> table{};
    for (std::size_t i = 0; i < Cp850High.size(); ++i) {
        const char16_t cp = Cp850High[i];
        if (cp >= 0xA0 && cp <= 0xFF) {
            table[i] = static_cast<char>(cp);
        } else {
            // Only U+0192 (f with hook) of the rest has a place in 1252.
            table[i] = cp == 0x0192 ? '\x83' : '_';
        }
    }
    return table;
}

bool readExactly(ByteStream& stream, void* buffer, std::size_t count) {
    return stream.read(buffer, count) == count;
}

} // namespace

std::uint16_t ReadLe16(const unsigned char* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t ReadLe32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::unique_ptr<ByteStream> OpenFileStream(const std::string& path) {
    // Not blocking, so that a pipe or a device in the archive's place cannot hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        errno = error;
        return nullptr;
    }
    return std::make_unique<FileStream>(fd, static_cast<std::int64_t>(info.st_size));
}

bool MemoryStream::seek(std::int64_t position) {
    if (position < 0 || position > size())
        return false;
    position_ = position;
    return true;
}

std::size_t MemoryStream::read(void* buffer, std::size_t count) {
    const auto available = static_cast<std::size_t>(size() - position_);
    const std::size_t done = std::min(count, available);
    std::copy_n(bytes_.data() + position_, done, static_cast<char*>(buffer));
    position_ += static_cast<std::int64_t>(done);
    return done;
}

std::int32_t FindEndRecord(ByteStream& stream) {
    const std::int64_t size = stream.size();
    if (size < static_cast<std::int64_t>(EndRecordSize))
        return -1;
    // Without an archive comment the record is the last 22 bytes.
    unsigned char tail[EndRecordSize];
    const std::int64_t last = size - static_cast<std::int64_t>(EndRecordSize);
    if (!stream.seek(last) || !readExactly(stream, tail, sizeof tail))
        return -1;
    if (ReadLe32(tail) == EndRecordSignature) {
        stream.seek(last);
        return static_cast<std::int32_t>(last);
    }
    const std::int64_t window = std::min(size, EndRecordSearchWindow);
    std::string buffer(static_cast<std::size_t>(window), '\0');
    if (!stream.seek(size - window) || !readExactly(stream, buffer.data(), buffer.size()))
        return -1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    for (std::int64_t k = window - static_cast<std::int64_t>(EndRecordSize); k >= 0; --k) {
        if (ReadLe32(bytes + k) == EndRecordSignature) {
            const std::int64_t position = size - window + k;
            stream.seek(position);
            return static_cast<std::int32_t>(position);
        }
    }
    return -1;
}

bool ReadEndRecord(ByteStream& stream, TEOCHInfo& record) {
    record.Position = static_cast<std::int32_t>(stream.position());
    unsigned char bytes[EndRecordSize];
    if (!readExactly(stream, bytes, sizeof bytes))
        return false;
    record.Signature = ReadLe32(bytes);
    record.ThisDisk = ReadLe16(bytes + 4);
    record.CentralDirDisk = ReadLe16(bytes + 6);
    record.EntriesThisDisk = ReadLe16(bytes + 8);
    record.TotalEntries = ReadLe16(bytes + 10);
    record.CentralDirSize = ReadLe32(bytes + 12);
    record.CentralDirOffset = ReadLe32(bytes + 16);
    record.CommentLength = ReadLe16(bytes + 20);
    record.Comment.assign(record.CommentLength, '\0');
    if (!readExactly(stream, record.Comment.data(), record.Comment.size()))
        record.Comment.clear();
    return true;
}

bool EndRecordIsPlausible(const TEOCHInfo& record) {
    return record.ThisDisk <= 1000 && record.CentralDirDisk <= 1000 &&
           static_cast<std::int32_t>(record.CentralDirSize) <= 1024000;
}

bool UsesOemNames(std::uint16_t versionMadeBy) {
    const int host = versionMadeBy >> 8;
    const int version = versionMadeBy & 0xFF;
    return host == 0 || host == 6 || (host == 11 && version == 50);
}

std::string OemToAnsi(std::string_view oem) {
    static const std::array<char, 128> table = buildOemTable();
    std::string ansi(oem);
    for (char& c : ansi) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80)
            c = table[byte - 0x80u];
    }
    return ansi;
}

std::string EntryName(std::string_view stored, bool oemNames) {
    std::string name = oemNames ? OemToAnsi(stored) : std::string(stored);
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

bool ReadCentralDirectory(std::unique_ptr<ByteStream>& stream, const TEOCHInfo& record,
                          CentralDirectory& directory, const NextDisk& nextDisk) {
    const std::int64_t start = record.ThisDisk > 0
                                   ? static_cast<std::int64_t>(record.CentralDirOffset)
                                   : static_cast<std::int64_t>(record.Position) - record.CentralDirSize;
    if (!stream->seek(start))
        return false;
    std::int64_t dataStart = stream->size();
    for (int i = 0; i < record.TotalEntries;) {
        unsigned char header[CentralHeaderSize];
        if (!readExactly(*stream, header, sizeof header)) {
            if (record.ThisDisk == 0 || !nextDisk)
                return false;
            std::unique_ptr<ByteStream> next = nextDisk();
            if (!next)
                return false;
            stream = std::move(next);
            continue; // the header that came up short is read again from the new disk
        }
        if (ReadLe32(header) != CentralHeaderSignature)
            return false;
        const std::uint16_t madeBy = ReadLe16(header + 4);
        if (i == 0)
            directory.OemNames = UsesOemNames(madeBy);
        directory.Entries.emplace_back();
        TFileInfoC& entry = directory.Entries.back();
        entry.Signature = ReadLe32(header);
        entry.VersionMadeBy = madeBy;
        entry.VersionNeeded = ReadLe16(header + 6);
        entry.Flag = ReadLe16(header + 8);
        entry.CompressionMethod = ReadLe16(header + 10);
        entry.ModTime = ReadLe16(header + 12);
        entry.ModDate = ReadLe16(header + 14);
        entry.Crc32 = ReadLe32(header + 16);
        entry.CompressedSize = ReadLe32(header + 20);
        entry.UncompressedSize = ReadLe32(header + 24);
        entry.FileNameLength = ReadLe16(header + 28);
        entry.ExtraFieldLength = ReadLe16(header + 30);
        entry.FileCommentLength = ReadLe16(header + 32);
        entry.DiskNumberStart = ReadLe16(header + 34);
        entry.InternalAttributes = ReadLe16(header + 36);
        entry.ExternalAttributes = ReadLe32(header + 38);
        entry.LocalHeaderOffset = ReadLe32(header + 42);
        entry.Encrypted = (entry.Flag & 1) != 0;

        std::string name(entry.FileNameLength, '\0');
        std::string extra(entry.ExtraFieldLength, '\0');
        std::string comment(entry.FileCommentLength, '\0');
        if (!readExactly(*stream, name.data(), name.size()) ||
            !readExactly(*stream, extra.data(), extra.size()) ||
            !readExactly(*stream, comment.data(), comment.size()))
            return false;
        entry.FileName = EntryName(name, directory.OemNames);
        entry.ExtraField = std::move(extra);
        entry.FileComment = directory.OemNames ? OemToAnsi(comment) : comment;
        if (static_cast<std::int32_t>(entry.LocalHeaderOffset) < dataStart)
            dataStart = static_cast<std::int32_t>(entry.LocalHeaderOffset);
        ++i;
    }
    if (record.ThisDisk > 0 || dataStart >= stream->size())
        directory.DataStart = 0;
    else
        directory.DataStart = static_cast<std::int32_t>(
            dataStart + record.Position -
            (static_cast<std::int64_t>(record.CentralDirOffset) + record.CentralDirSize));
    return true;
}

} // namespace zeb
