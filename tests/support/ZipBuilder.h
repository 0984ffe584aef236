#pragma once

// Zip archives byte by byte, stored members only, with every header field under the
// test's control: for the directory reader's edge cases and damaged archives.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zeb::test {

inline std::uint32_t crc32(const std::string& data) {
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
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : data)
        crc = table[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

struct ZipMember {
    std::string name;
    std::string data;
    std::uint16_t versionMadeBy = 0x0314; // Unix, 2.0
    std::uint16_t flag = 0;
    std::string comment;
    std::uint32_t externalAttributes = 0100644u << 16;
};

struct ZipLayout {
    std::string prefix;             // bytes in front of the archive (a self-extractor stub)
    bool offsetsCountPrefix = true; // whether stored offsets include the prefix
    std::string comment;
    std::uint16_t thisDisk = 0;
    std::uint16_t centralDirDisk = 0;
};

inline void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

inline std::string buildZip(const std::vector<ZipMember>& members, const ZipLayout& layout = {}) {
    std::string out = layout.prefix;
    const auto base = static_cast<std::uint32_t>(layout.offsetsCountPrefix ? 0 : layout.prefix.size());
    std::string central;
    for (const ZipMember& m : members) {
        const auto offset = static_cast<std::uint32_t>(out.size()) - base;
        const std::uint32_t crc = crc32(m.data);
        const auto size = static_cast<std::uint32_t>(m.data.size());
        put32(out, 0x04034B50);
        put16(out, 20);
        put16(out, m.flag);
        put16(out, 0); // stored
        put16(out, 0x6000);
        put16(out, 0x3521);
        put32(out, crc);
        put32(out, size);
        put32(out, size);
        put16(out, static_cast<std::uint32_t>(m.name.size()));
        put16(out, 0);
        out += m.name;
        out += m.data;

        put32(central, 0x02014B50);
        put16(central, m.versionMadeBy);
        put16(central, 20);
        put16(central, m.flag);
        put16(central, 0);
        put16(central, 0x6000);
        put16(central, 0x3521);
        put32(central, crc);
        put32(central, size);
        put32(central, size);
        put16(central, static_cast<std::uint32_t>(m.name.size()));
        put16(central, 0);
        put16(central, static_cast<std::uint32_t>(m.comment.size()));
        put16(central, 0);
        put16(central, 0);
        put32(central, m.externalAttributes);
        put32(central, offset);
        central += m.name;
        central += m.comment;
    }
    const auto centralOffset = static_cast<std::uint32_t>(out.size()) - base;
    out += central;
    put32(out, 0x06054B50);
    put16(out, layout.thisDisk);
    put16(out, layout.centralDirDisk);
    put16(out, static_cast<std::uint32_t>(members.size()));
    put16(out, static_cast<std::uint32_t>(members.size()));
    put32(out, static_cast<std::uint32_t>(central.size()));
    put32(out, centralOffset);
    put16(out, static_cast<std::uint32_t>(layout.comment.size()));
    out += layout.comment;
    return out;
}

// The same archive ended as zip64 writers end it: a zip64 end record and its locator before
// the end record, whose counts, size and offset are left at their maximum. `entries` and
// `offset` replace the zip64 values when given, to go past what a reader takes. The archive
// must have no comment.
inline std::string withZip64End(const std::string& zip, std::uint64_t entries = 0, std::uint64_t offset = 0) {
    const std::size_t end = zip.size() - 22;
    const auto field = [&](std::size_t at, int width) {
        std::uint64_t value = 0;
        for (int i = width - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(zip[end + at + static_cast<std::size_t>(i)]);
        return value;
    };
    const auto put64 = [](std::string& out, std::uint64_t v) {
        put32(out, static_cast<std::uint32_t>(v));
        put32(out, static_cast<std::uint32_t>(v >> 32));
    };
    std::string out = zip.substr(0, end);
    const auto recordAt = static_cast<std::uint64_t>(out.size());
    put32(out, 0x06064B50);
    put64(out, 44);
    put16(out, 0x031E);
    put16(out, 45);
    put32(out, 0);
    put32(out, 0);
    put64(out, entries != 0 ? entries : field(8, 2));
    put64(out, entries != 0 ? entries : field(10, 2));
    put64(out, field(12, 4));
    put64(out, offset != 0 ? offset : field(16, 4));
    put32(out, 0x07064B50);
    put32(out, 0);
    put64(out, recordAt);
    put32(out, 1);
    put32(out, 0x06054B50);
    put32(out, 0);
    put16(out, 0xFFFF);
    put16(out, 0xFFFF);
    put32(out, 0xFFFFFFFF);
    put32(out, 0xFFFFFFFF);
    put16(out, 0);
    return out;
}

} // namespace zeb::test
