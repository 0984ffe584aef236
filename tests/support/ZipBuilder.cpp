#include "ZipBuilder.h"

#include <array>
#include <stdexcept>
#include <utility>

namespace zeb::test {
namespace {

std::uint32_t size32(std::size_t size) {
    if (size > 0xFFFFFFFFu)
        throw std::length_error("too large for a 32-bit zip field");
    return static_cast<std::uint32_t>(size);
}

} // namespace

std::uint32_t Crc32Step(std::uint32_t crc, std::uint8_t byte) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

std::uint32_t Crc32(std::string_view data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : data)
        crc = Crc32Step(crc, static_cast<std::uint8_t>(c));
    return crc ^ 0xFFFFFFFFu;
}

void PutLe16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void PutLe32(std::string& out, std::uint32_t value) {
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

std::uint16_t GetLe16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes.at(at)) |
                                      static_cast<unsigned char>(bytes.at(at + 1)) << 8);
}

std::uint32_t GetLe32(const std::string& bytes, std::size_t at) {
    return GetLe16(bytes, at) | static_cast<std::uint32_t>(GetLe16(bytes, at + 2)) << 16;
}

void SetLe16(std::string& bytes, std::size_t at, std::uint16_t value) {
    bytes.at(at) = static_cast<char>(value & 0xFF);
    bytes.at(at + 1) = static_cast<char>(value >> 8);
}

void SetLe32(std::string& bytes, std::size_t at, std::uint32_t value) {
    SetLe16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
    SetLe16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::string StoredZip(const std::vector<StoredMember>& members, const ZipLayout& layout) {
    std::vector<RawEntry> entries;
    for (const StoredMember& member : members) {
        RawEntry entry = RawEntry::Stored(member.name, member.data);
        entry.madeBy = member.versionMadeBy;
        entry.flag = member.flag;
        entry.comment = member.comment;
        entry.external = member.externalAttributes;
        entries.push_back(std::move(entry));
    }
    return RawZip(entries, layout);
}

std::string WithZip64End(const std::string& zip, std::uint64_t entries, std::uint64_t offset) {
    const std::size_t end = zip.size() - 22;
    const auto put64 = [](std::string& out, std::uint64_t v) {
        PutLe32(out, static_cast<std::uint32_t>(v));
        PutLe32(out, static_cast<std::uint32_t>(v >> 32));
    };
    std::string out = zip.substr(0, end);
    const auto recordAt = static_cast<std::uint64_t>(out.size());
    PutLe32(out, 0x06064B50);
    put64(out, 44);
    PutLe16(out, 0x031E);
    PutLe16(out, 45);
    PutLe32(out, 0);
    PutLe32(out, 0);
    put64(out, entries != 0 ? entries : GetLe16(zip, end + 8));
    put64(out, entries != 0 ? entries : GetLe16(zip, end + 10));
    put64(out, GetLe32(zip, end + 12));
    put64(out, offset != 0 ? offset : GetLe32(zip, end + 16));
    PutLe32(out, 0x07064B50);
    PutLe32(out, 0);
    put64(out, recordAt);
    PutLe32(out, 1);
    PutLe32(out, 0x06054B50);
    PutLe32(out, 0);
    PutLe16(out, 0xFFFF);
    PutLe16(out, 0xFFFF);
    PutLe32(out, 0xFFFFFFFF);
    PutLe32(out, 0xFFFFFFFF);
    PutLe16(out, 0);
    return out;
}

RawEntry RawEntry::Stored(std::string name, std::string_view data) {
    RawEntry entry;
    entry.name = std::move(name);
    entry.payload = std::string(data);
    entry.crc = Crc32(data);
    entry.compressedSize = entry.size = size32(data.size());
    return entry;
}

std::string RawLocalHeader(const RawEntry& entry) {
    const bool later = (entry.flag & 0x0008) != 0;
    std::string out;
    PutLe32(out, 0x04034B50);
    PutLe16(out, 20);
    PutLe16(out, entry.flag);
    PutLe16(out, entry.method);
    PutLe16(out, entry.dosTime);
    PutLe16(out, entry.dosDate);
    PutLe32(out, later ? 0 : entry.crc);
    PutLe32(out, later ? 0 : entry.compressedSize);
    PutLe32(out, later ? 0 : entry.size);
    PutLe16(out, size32(entry.name.size()));
    PutLe16(out, size32(entry.localExtra.size()));
    return out + entry.name + entry.localExtra;
}

std::string RawCentralHeader(const RawEntry& entry, std::uint32_t offset) {
    std::string out;
    PutLe32(out, 0x02014B50);
    PutLe16(out, entry.madeBy);
    PutLe16(out, 20);
    PutLe16(out, entry.flag);
    PutLe16(out, entry.method);
    PutLe16(out, entry.dosTime);
    PutLe16(out, entry.dosDate);
    PutLe32(out, entry.crc);
    PutLe32(out, entry.compressedSize);
    PutLe32(out, entry.size);
    PutLe16(out, size32(entry.name.size()));
    PutLe16(out, size32(entry.centralExtra.size()));
    PutLe16(out, size32(entry.comment.size()));
    PutLe16(out, 0); // disk
    PutLe16(out, 0); // internal attributes
    PutLe32(out, entry.external);
    PutLe32(out, offset);
    return out + entry.name + entry.centralExtra + entry.comment;
}

std::string RawEndRecord(std::uint16_t entries, std::uint32_t directorySize, std::uint32_t directoryOffset,
                         std::uint16_t commentLength, std::uint16_t thisDisk, std::uint16_t directoryDisk) {
    std::string out;
    PutLe32(out, 0x06054B50);
    PutLe16(out, thisDisk);
    PutLe16(out, directoryDisk);
    PutLe16(out, entries);
    PutLe16(out, entries);
    PutLe32(out, directorySize);
    PutLe32(out, directoryOffset);
    PutLe16(out, commentLength);
    return out;
}

RawZipWriter::RawZipWriter(ZipLayout layout) : layout_(std::move(layout)), out_(layout_.prefix) {}

std::uint32_t RawZipWriter::local(const RawEntry& entry) {
    const std::uint32_t offset =
        size32(out_.size() - (layout_.offsetsCountPrefix ? 0 : layout_.prefix.size()));
    out_ += RawLocalHeader(entry) + entry.payload;
    if (entry.flag & 0x0008)
        out_ += entry.descriptor;
    return offset;
}

void RawZipWriter::central(const RawEntry& entry, std::uint32_t offset) {
    central_ += RawCentralHeader(entry, offset);
    ++count_;
}

std::string RawZipWriter::finish() const {
    const std::uint32_t directoryOffset =
        size32(out_.size() - (layout_.offsetsCountPrefix ? 0 : layout_.prefix.size()));
    return out_ + central_ +
           RawEndRecord(count_, size32(central_.size()), directoryOffset,
                        static_cast<std::uint16_t>(layout_.comment.size()), layout_.thisDisk,
                        layout_.centralDirDisk) +
           layout_.comment;
}

std::string RawZip(const std::vector<RawEntry>& entries, const ZipLayout& layout) {
    RawZipWriter writer(layout);
    std::vector<std::uint32_t> offsets;
    for (const RawEntry& entry : entries)
        offsets.push_back(writer.local(entry));
    for (std::size_t i = 0; i < entries.size(); ++i)
        writer.central(entries[i], offsets[i]);
    return writer.finish();
}

} // namespace zeb::test
