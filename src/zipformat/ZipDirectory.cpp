#include "ZipDirectory.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <limits>
#include <utility>

namespace zeb {
namespace {

// A file read with the standard library: on Windows a stream opened from a std::filesystem::path
// reaches every name, whatever the system's narrow code page.
class FileStream final : public ByteStream {
public:
    FileStream(std::ifstream file, std::int64_t size) : file_(std::move(file)), size_(size) {}

    std::int64_t size() override { return size_; }
    bool seek(std::int64_t position) override {
        if (position < 0 || position > size_)
            return false;
        position_ = position;
        return true;
    }
    std::int64_t position() override { return position_; }
    std::size_t read(void* buffer, std::size_t count) override {
        // Sequential reads (the directory's headers, one after the other) keep the stream's buffer.
        if (position_ != streamAt_) {
            file_.clear();
            if (!file_.seekg(position_)) {
                streamAt_ = -1;
                return 0;
            }
        }
        file_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
        const auto done = static_cast<std::size_t>(file_.gcount());
        position_ += static_cast<std::int64_t>(done);
        streamAt_ = file_ ? position_ : -1;
        return done;
    }

private:
    std::ifstream file_;
    std::int64_t size_;
    std::int64_t position_ = 0;
    std::int64_t streamAt_ = 0; // where the stream stands, -1 when it must be placed again
};

// A std::string path is UTF-8 in this program; std::filesystem would read it in the narrow code
// page on Windows. (Platform.h's PathFromUtf8 does the same, without linking the platform.)
std::filesystem::path pathFromUtf8(const std::string& text) {
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

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

std::uint64_t readLe64(const unsigned char* bytes) {
    return ReadLe32(bytes) | (std::uint64_t{ReadLe32(bytes + 4)} << 32);
}

const unsigned char* bytesOf(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

std::uint32_t crc32(std::string_view data) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : data)
        crc = table[(crc ^ static_cast<unsigned char>(c)) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool isUtf8(std::string_view text) {
    const unsigned char* p = bytesOf(text);
    const unsigned char* end = p + text.size();
    while (p < end) {
        const unsigned char lead = *p++;
        int follow = 0;
        std::uint32_t cp = 0;
        if (lead < 0x80)
            continue;
        if (lead >= 0xC2 && lead <= 0xDF) {
            follow = 1;
            cp = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            follow = 2;
            cp = lead & 0x0Fu;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            follow = 3;
            cp = lead & 0x07u;
        } else {
            return false;
        }
        if (end - p < follow)
            return false;
        for (int i = 0; i < follow; ++i, ++p) {
            if ((*p & 0xC0u) != 0x80u)
                return false;
            cp = (cp << 6) | (*p & 0x3Fu);
        }
        const std::uint32_t least = follow == 1 ? 0x80u : follow == 2 ? 0x800u : 0x10000u;
        if (cp < least || cp > 0x10FFFFu || (cp >= 0xD800u && cp <= 0xDFFFu))
            return false;
    }
    return true;
}

// The zip64 end record, found through the locator that must sit right before the end
// record. Its stated offset is tried first, then the place right before the locator, where
// it is whenever something (a self-extractor stub) shifted the archive.
void readZip64EndRecord(ByteStream& stream, TEOCHInfo& record) {
    const std::int64_t locatorAt =
        std::int64_t{record.Position} - static_cast<std::int64_t>(Zip64LocatorSize);
    unsigned char locator[Zip64LocatorSize];
    if (locatorAt < 0 || !stream.seek(locatorAt) || !readExactly(stream, locator, sizeof locator) ||
        ReadLe32(locator) != Zip64LocatorSignature)
        return;
    const std::uint64_t stated = readLe64(locator + 8);
    const std::int64_t candidates[2] = {
        stated <= static_cast<std::uint64_t>(locatorAt) ? static_cast<std::int64_t>(stated) : -1,
        locatorAt - static_cast<std::int64_t>(Zip64EndRecordSize)};
    for (const std::int64_t at : candidates) {
        unsigned char bytes[Zip64EndRecordSize];
        if (at < 0 || !stream.seek(at) || !readExactly(stream, bytes, sizeof bytes) ||
            ReadLe32(bytes) != Zip64EndRecordSignature ||
            readLe64(bytes + 4) + 12 != static_cast<std::uint64_t>(locatorAt - at))
            continue;
        const std::uint32_t thisDisk = ReadLe32(bytes + 16);
        const std::uint32_t directoryDisk = ReadLe32(bytes + 20);
        const std::uint64_t entriesHere = readLe64(bytes + 24);
        const std::uint64_t entries = readLe64(bytes + 32);
        const std::uint64_t size = readLe64(bytes + 40);
        const std::uint64_t offset = readLe64(bytes + 48);
        constexpr std::uint64_t Limit = std::numeric_limits<std::int32_t>::max();
        if (thisDisk > 0xFFFF || directoryDisk > 0xFFFF || entriesHere > 0xFFFF || entries > 0xFFFF ||
            size > Limit || offset > Limit) {
            record.Zip64 = Zip64Format::TooLarge;
            return;
        }
        record.ThisDisk = static_cast<std::uint16_t>(thisDisk);
        record.CentralDirDisk = static_cast<std::uint16_t>(directoryDisk);
        record.EntriesThisDisk = static_cast<std::uint16_t>(entriesHere);
        record.TotalEntries = static_cast<std::uint16_t>(entries);
        record.CentralDirSize = static_cast<std::uint32_t>(size);
        record.CentralDirOffset = static_cast<std::uint32_t>(offset);
        record.Zip64 = Zip64Format::Read;
        record.Zip64Position = static_cast<std::int32_t>(at);
        return;
    }
}

enum class Zip64Fields { Complete, Missing, TooLarge };

// The values an entry leaves at their maximum are in its zip64 field, in this order, each
// present only when its header field is at the maximum.
Zip64Fields readZip64Fields(TFileInfoC& entry) {
    constexpr std::uint32_t Max32 = 0xFFFFFFFF;
    const bool wantSize = entry.UncompressedSize == Max32;
    const bool wantCompressed = entry.CompressedSize == Max32;
    const bool wantOffset = entry.LocalHeaderOffset == Max32;
    const bool wantDisk = entry.DiskNumberStart == 0xFFFF;
    if (!wantSize && !wantCompressed && !wantOffset && !wantDisk)
        return Zip64Fields::Complete;
    const std::optional<std::string_view> field = FindExtraField(entry.ExtraField, Zip64ExtraId);
    if (!field)
        return Zip64Fields::Missing;
    std::size_t at = 0;
    bool tooLarge = false;
    const auto take64 = [&](bool wanted, std::uint32_t& value, std::uint64_t limit) {
        if (!wanted)
            return true;
        if (field->size() < at + 8)
            return false;
        const std::uint64_t read = readLe64(bytesOf(*field) + at);
        at += 8;
        if (read > limit)
            tooLarge = true;
        else
            value = static_cast<std::uint32_t>(read);
        return true;
    };
    constexpr std::uint64_t Limit = std::numeric_limits<std::int32_t>::max();
    if (!take64(wantSize, entry.UncompressedSize, Max32 - 1) ||
        !take64(wantCompressed, entry.CompressedSize, Max32 - 1) ||
        !take64(wantOffset, entry.LocalHeaderOffset, Limit))
        return Zip64Fields::Missing;
    if (wantDisk) {
        if (field->size() < at + 4)
            return Zip64Fields::Missing;
        const std::uint32_t disk = ReadLe32(bytesOf(*field) + at);
        if (disk >= 0xFFFF)
            tooLarge = true;
        else
            entry.DiskNumberStart = static_cast<std::uint16_t>(disk);
    }
    return tooLarge ? Zip64Fields::TooLarge : Zip64Fields::Complete;
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
    namespace fs = std::filesystem;
    const fs::path file = pathFromUtf8(path);
    // A pipe or a device in the archive's place would hang the open or the first read: what
    // stands there is looked at first, and only an ordinary file is opened.
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        errno = fs::is_directory(status) ? EISDIR : EINVAL;
        return nullptr;
    }
    errno = 0;
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        if (errno == 0)
            errno = fs::exists(status) ? EACCES : ENOENT;
        return nullptr;
    }
    const std::int64_t size = static_cast<std::int64_t>(fs::file_size(file, error));
    if (error) {
        errno = EIO;
        return nullptr;
    }
    return std::make_unique<FileStream>(std::move(stream), size);
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
    readZip64EndRecord(stream, record);
    return true;
}

std::int64_t DirectoryEnd(const TEOCHInfo& record) {
    return record.Zip64 == Zip64Format::Read ? record.Zip64Position : record.Position;
}

std::optional<std::string_view> FindExtraField(std::string_view extra, std::uint16_t id) {
    while (extra.size() >= 4) {
        const std::uint16_t fieldId = ReadLe16(bytesOf(extra));
        const std::uint16_t length = ReadLe16(bytesOf(extra) + 2);
        if (extra.size() - 4 < length)
            return std::nullopt;
        if (fieldId == id)
            return extra.substr(4, length);
        extra.remove_prefix(4u + length);
    }
    return std::nullopt;
}

std::optional<std::string> UnicodePathName(const TFileInfoC& entry) {
    const std::optional<std::string_view> field = FindExtraField(entry.ExtraField, UnicodePathExtraId);
    if (!field || field->size() < 5 || (*field)[0] != 1 ||
        ReadLe32(bytesOf(*field) + 1) != crc32(entry.StoredName))
        return std::nullopt;
    const std::string_view name = field->substr(5);
    if (name.empty() || !isUtf8(name))
        return std::nullopt;
    return std::string(name);
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
    if (record.Zip64 == Zip64Format::TooLarge) {
        directory.Zip64TooLarge = true;
        return false;
    }
    const std::int64_t start = record.ThisDisk > 0 ? static_cast<std::int64_t>(record.CentralDirOffset)
                                                   : DirectoryEnd(record) - record.CentralDirSize;
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
        entry.StoredName = std::move(name);
        entry.ExtraField = std::move(extra);
        entry.FileComment = directory.OemNames ? OemToAnsi(comment) : comment;
        if (const Zip64Fields fields = readZip64Fields(entry); fields != Zip64Fields::Complete) {
            directory.Zip64TooLarge = fields == Zip64Fields::TooLarge;
            return false;
        }
        if (static_cast<std::int32_t>(entry.LocalHeaderOffset) < dataStart)
            dataStart = static_cast<std::int32_t>(entry.LocalHeaderOffset);
        ++i;
    }
    if (record.ThisDisk > 0 || dataStart >= stream->size())
        directory.DataStart = 0;
    else
        directory.DataStart = static_cast<std::int32_t>(
            dataStart + DirectoryEnd(record) -
            (static_cast<std::int64_t>(record.CentralDirOffset) + record.CentralDirSize));
    return true;
}

} // namespace zeb
