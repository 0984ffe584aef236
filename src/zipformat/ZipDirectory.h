#pragma once

// The directory of a zip archive: its end record and its central file headers, read from
// a seekable byte stream. No user interface here; the unzip component asks its questions
// around these functions, and the unzip library uses them to check what libzip sees.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb {

inline constexpr std::uint32_t EndRecordSignature = 0x06054B50;
inline constexpr std::uint32_t CentralHeaderSignature = 0x02014B50;
inline constexpr std::uint32_t LocalHeaderSignature = 0x04034B50;
inline constexpr std::size_t EndRecordSize = 22;
inline constexpr std::size_t CentralHeaderSize = 46;
inline constexpr std::size_t LocalHeaderSize = 30;
inline constexpr std::int64_t EndRecordSearchWindow = 65535;
inline constexpr std::uint32_t Zip64EndRecordSignature = 0x06064B50;
inline constexpr std::uint32_t Zip64LocatorSignature = 0x07064B50;
inline constexpr std::size_t Zip64EndRecordSize = 56;
inline constexpr std::size_t Zip64LocatorSize = 20;
inline constexpr std::uint16_t Zip64ExtraId = 0x0001;
inline constexpr std::uint16_t UnicodePathExtraId = 0x7075;

// Whether the end record was completed from a zip64 end record. The fields keep their
// widths: an archive whose zip64 values do not fit them (or put an offset past 2 GiB) is
// beyond what this reader takes, and says so rather than being called damaged.
enum class Zip64Format : std::uint8_t { None, Read, TooLarge };

// The end-of-central-directory record as the component keeps it.
struct TEOCHInfo {
    std::uint32_t Signature = EndRecordSignature;
    std::uint16_t ThisDisk = 0;
    std::uint16_t CentralDirDisk = 0;
    std::uint16_t EntriesThisDisk = 0;
    std::uint16_t TotalEntries = 0;
    std::uint32_t CentralDirSize = 0;
    std::uint32_t CentralDirOffset = 0;
    std::uint16_t CommentLength = 0;
    std::string Comment;        // as read, no code-page conversion
    std::int32_t Position = -1; // where the record starts; -1 while not located
    Zip64Format Zip64 = Zip64Format::None;
    std::int32_t Zip64Position = -1; // where the zip64 end record starts, when Zip64 is Read
};

// Where the central directory ends: at the zip64 end record when there is one.
std::int64_t DirectoryEnd(const TEOCHInfo& record);

// One entry of the directory: the 46 bytes of its central header, then what follows them.
struct TFileInfoC {
    std::uint32_t Signature = 0;
    std::uint16_t VersionMadeBy = 0;
    std::uint16_t VersionNeeded = 0;
    std::uint16_t Flag = 0;
    std::uint16_t CompressionMethod = 0;
    std::uint16_t ModTime = 0;
    std::uint16_t ModDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;
    std::uint16_t FileNameLength = 0;
    std::uint16_t ExtraFieldLength = 0;
    std::uint16_t FileCommentLength = 0;
    std::uint16_t DiskNumberStart = 0;
    std::uint16_t InternalAttributes = 0;
    std::uint32_t ExternalAttributes = 0;
    std::uint32_t LocalHeaderOffset = 0;
    bool Encrypted = false;  // bit 0 of Flag
    std::string FileName;    // Windows-1252 (converted from the OEM code page when the archive
                             // uses it), every "/" replaced by "\"
    std::string ExtraField;  // raw bytes
    std::string FileComment; // converted like the name, slashes kept
    std::string StoredName;  // the name's bytes as stored, for comparisons with other copies of it
};

// The data of the first extra field `id` in `extra`, or nullopt (also when the fields run
// past the end).
std::optional<std::string_view> FindExtraField(std::string_view extra, std::uint16_t id);

// The UTF-8 name of an Info-ZIP Unicode path field (0x7075) whose checksum matches the
// stored name, or nullopt.
std::optional<std::string> UnicodePathName(const TFileInfoC& entry);

// A read-only, seekable view of an archive.
class ByteStream {
public:
    virtual ~ByteStream() = default;
    virtual std::int64_t size() = 0;
    virtual bool seek(std::int64_t position) = 0; // from the start; false when outside 0..size
    virtual std::int64_t position() = 0;
    virtual std::size_t read(void* buffer, std::size_t count) = 0; // bytes read, short at the end
};

// An archive file, opened for reading; nullptr with errno set when it cannot be opened.
std::unique_ptr<ByteStream> OpenFileStream(const std::string& path);

// Bytes in memory (tests, the fuzzer).
class MemoryStream final : public ByteStream {
public:
    explicit MemoryStream(std::string_view bytes) : bytes_(bytes) {}
    std::int64_t size() override { return static_cast<std::int64_t>(bytes_.size()); }
    bool seek(std::int64_t position) override;
    std::int64_t position() override { return position_; }
    std::size_t read(void* buffer, std::size_t count) override;

private:
    std::string_view bytes_;
    std::int64_t position_ = 0;
};

// The position of the end record, nearest the end within the last 65,535 bytes, with the
// stream left there; -1 when there is none.
std::int32_t FindEndRecord(ByteStream& stream);

// Reads the 22 bytes of the end record at the stream's position, then its comment (left
// empty when the file ends before it), then the zip64 end record a locator right before it
// points to, whose values replace the record's. False when the 22 bytes are not all there.
bool ReadEndRecord(ByteStream& stream, TEOCHInfo& record);

// Disk numbers above 1000 or a central directory above 1,024,000 bytes: not an archive.
bool EndRecordIsPlausible(const TEOCHInfo& record);

// Whether the archive's names are in the OEM code page, from its first entry's writer:
// MS-DOS or OS/2 hosts, or NTFS as written by version 5.0.
bool UsesOemNames(std::uint16_t versionMadeBy);

// Code page 850 to Windows-1252, byte for byte; a character 1252 lacks becomes "_".
std::string OemToAnsi(std::string_view oem);

// A stored name as the directory keeps it: converted when the archive uses OEM names,
// then "/" replaced by "\".
std::string EntryName(std::string_view stored, bool oemNames);

struct CentralDirectory {
    std::vector<TFileInfoC> Entries; // in central directory order; a failed read keeps those read
    bool OemNames = false;
    std::int32_t DataStart = 0; // file position of the first local header, 0 when not computed
    bool Zip64TooLarge = false; // the read failed on zip64 values beyond this reader's limits
};

// Asked for the next disk of a spanned archive when a header comes up short: the stream of
// the archive on the new disk, or nullptr to give up.
using NextDisk = std::function<std::unique_ptr<ByteStream>()>;

// Reads record.TotalEntries central headers into `directory`. The stream is positioned at
// CentralDirOffset on a spanned archive, otherwise CentralDirSize bytes before the end
// record (or the zip64 end record), so that data in front of the archive (a self-extractor
// stub) does not matter. Sizes, offset and disk that an entry leaves to its zip64 extra field
// are taken from there. False on a short read, a wrong signature, a missing zip64 field, or
// zip64 values too large (directory.Zip64TooLarge then tells).
bool ReadCentralDirectory(std::unique_ptr<ByteStream>& stream, const TEOCHInfo& record,
                          CentralDirectory& directory, const NextDisk& nextDisk = {});

// Little-endian fields.
std::uint16_t ReadLe16(const unsigned char* bytes);
std::uint32_t ReadLe32(const unsigned char* bytes);

} // namespace zeb
