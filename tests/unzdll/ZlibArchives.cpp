// The tests' archives where libzip is not at hand (Windows): laid out as libzip lays them out, a
// local header with the sizes and then the data, deflated with zlib. Nothing is encrypted here.

#include "UnzDllTestSupport.h"

#include <stdexcept>
#include <zlib.h>

namespace zeb::test {
namespace {

constexpr unsigned UnixHost = 3;

std::string deflated(const std::string& data) {
    z_stream stream{};
    if (::deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(::deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = ::deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    ::deflateEnd(&stream);
    if (status != Z_STREAM_END)
        throw std::runtime_error("deflate");
    return out;
}

// A time as MS-DOS stores it: local, two seconds apart.
void putDosTime(RawEntry& entry, std::time_t mtime) {
    std::tm parts{};
    if (::localtime_s(&parts, &mtime) != 0)
        throw std::runtime_error("localtime_s");
    entry.dosDate =
        static_cast<std::uint16_t>(((parts.tm_year - 80) << 9) | ((parts.tm_mon + 1) << 5) | parts.tm_mday);
    entry.dosTime =
        static_cast<std::uint16_t>((parts.tm_hour << 11) | (parts.tm_min << 5) | (parts.tm_sec / 2));
}

} // namespace

std::string LibzipZip(const std::vector<LibzipMember>& members) {
    std::vector<RawEntry> entries;
    for (const LibzipMember& member : members) {
        if (member.password != nullptr)
            throw std::invalid_argument("no encryption without libzip");
        RawEntry entry = RawEntry::Stored(member.name, member.folder ? std::string() : member.data);
        // Another method than deflate keeps the data as it is: only its number is read.
        if (!member.folder && member.method != 0) {
            entry.method = static_cast<std::uint16_t>(member.method);
            if (member.method == 8)
                entry.payload = deflated(member.data);
            entry.compressedSize = static_cast<std::uint32_t>(entry.payload.size());
        }
        const unsigned host = member.host >= 0 ? static_cast<unsigned>(member.host) : UnixHost;
        entry.madeBy = static_cast<std::uint16_t>((host << 8) | 63);
        if (member.host >= 0)
            entry.external = member.attributes;
        else
            entry.external = member.folder ? (040755u << 16) | 0x10 : 0100644u << 16;
        putDosTime(entry, member.mtime != 0 ? member.mtime : std::time(nullptr));
        entries.push_back(std::move(entry));
    }
    return RawZip(entries);
}

std::time_t ArchivedMtime(const std::string& zip, std::uint64_t index) {
    const std::size_t central = Entries(zip).at(static_cast<std::size_t>(index)).central;
    const std::uint16_t time = GetLe16(zip, central + 12);
    const std::uint16_t date = GetLe16(zip, central + 14);
    std::tm parts{};
    parts.tm_isdst = -1;
    parts.tm_year = ((date >> 9) & 127) + 80;
    parts.tm_mon = ((date >> 5) & 15) - 1;
    parts.tm_mday = date & 31;
    parts.tm_hour = (time >> 11) & 31;
    parts.tm_min = (time >> 5) & 63;
    parts.tm_sec = (time << 1) & 62;
    return std::mktime(&parts);
}

} // namespace zeb::test
