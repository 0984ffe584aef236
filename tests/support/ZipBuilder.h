#pragma once

// Zip archives byte by byte, with every header field under the test's control: for the directory
// reader's edge cases and for damaged or hostile archives. Two levels: StoredZip for archives whose
// stored members the headers describe truthfully, RawZip for headers that say whatever a test
// wants (any method, sizes, CRC, extra fields, a data descriptor, offsets pointing anywhere).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zeb::test {

// ---- Bytes

// The CRC-32 of zip. Crc32Step adds one byte to a register left as it is, before and after: the
// step PKWARE's traditional encryption also updates its keys with.
std::uint32_t Crc32Step(std::uint32_t crc, std::uint8_t byte);
std::uint32_t Crc32(std::string_view data);

// Little-endian fields: appended, read and overwritten at `at`.
void PutLe16(std::string& out, std::uint32_t value);
void PutLe32(std::string& out, std::uint32_t value);
std::uint16_t GetLe16(const std::string& bytes, std::size_t at);
std::uint32_t GetLe32(const std::string& bytes, std::size_t at);
void SetLe16(std::string& bytes, std::size_t at, std::uint16_t value);
void SetLe32(std::string& bytes, std::size_t at, std::uint32_t value);

// ---- Where the archive goes, and what ends it

struct ZipLayout {
    std::string prefix;             // bytes in front of the archive (a self-extractor stub)
    bool offsetsCountPrefix = true; // whether stored offsets include the prefix
    std::string comment;
    std::uint16_t thisDisk = 0;
    std::uint16_t centralDirDisk = 0;
};

// ---- Stored members, truthful headers

struct StoredMember {
    std::string name;
    std::string data;
    std::uint16_t versionMadeBy = 0x0314; // Unix, 2.0
    std::uint16_t flag = 0;
    std::string comment;
    std::uint32_t externalAttributes = 0100644u << 16;
};

std::string StoredZip(const std::vector<StoredMember>& members, const ZipLayout& layout = {});

// The same archive ended as zip64 writers end it: a zip64 end record and its locator before
// the end record, whose counts, size and offset are left at their maximum. `entries` and
// `offset` replace the zip64 values when given, to go past what a reader takes. The archive
// must have no comment.
std::string WithZip64End(const std::string& zip, std::uint64_t entries = 0, std::uint64_t offset = 0);

// ---- Headers as a test writes them

// One member as its headers describe it. Stored() fills the fields truthfully; a test then
// changes whichever it wants to lie about, in one header or in both.
struct RawEntry {
    std::string name;
    std::string payload; // the bytes after the local header: compressed, maybe encrypted
    std::uint16_t method = 0;
    std::uint16_t flag = 0;
    std::uint16_t madeBy = 0x0314;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t size = 0;
    std::uint32_t external = 0100644u << 16;
    std::uint16_t dosTime = 0x6000; // 12:00
    std::uint16_t dosDate = 0x3521; // 1 September 2006
    std::string descriptor;         // written after the payload when flag bit 3 is set
    std::string localExtra;         // extra fields of the local header
    std::string centralExtra;       // extra fields of the central header
    std::string comment;            // in the central header

    static RawEntry Stored(std::string name, std::string_view data);
};

// With flag bit 3 set, the local header carries zeros for the CRC and sizes.
std::string RawLocalHeader(const RawEntry& entry);
std::string RawCentralHeader(const RawEntry& entry, std::uint32_t offset);
std::string RawEndRecord(std::uint16_t entries, std::uint32_t directorySize, std::uint32_t directoryOffset,
                         std::uint16_t commentLength, std::uint16_t thisDisk = 0,
                         std::uint16_t directoryDisk = 0);

// An archive assembled step by step: local parts, then central headers that may point
// anywhere, then the end record.
class RawZipWriter {
public:
    explicit RawZipWriter(ZipLayout layout = {});
    // The local part's offset, as the central header should give it.
    std::uint32_t local(const RawEntry& entry);
    void central(const RawEntry& entry, std::uint32_t offset);
    std::string finish() const;

private:
    ZipLayout layout_;
    std::string out_;
    std::string central_;
    std::uint16_t count_ = 0;
};

// Each entry's local part in order, then the directory pointing at them.
std::string RawZip(const std::vector<RawEntry>& entries, const ZipLayout& layout = {});

} // namespace zeb::test
