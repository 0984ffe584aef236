// Feeds arbitrary bytes to the archive directory reader, as a hostile .jad would.

#include "zipformat/ZipDirectory.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<zeb::ByteStream> stream = std::make_unique<zeb::MemoryStream>(bytes);
    if (zeb::FindEndRecord(*stream) < 0)
        return 0;
    zeb::TEOCHInfo record;
    if (!zeb::ReadEndRecord(*stream, record) || !zeb::EndRecordIsPlausible(record))
        return 0;
    // A spanned archive asks for further disks: hand the same bytes back a few times.
    int disks = 0;
    const zeb::NextDisk nextDisk = [&]() -> std::unique_ptr<zeb::ByteStream> {
        if (++disks > 3)
            return nullptr;
        return std::make_unique<zeb::MemoryStream>(bytes);
    };
    zeb::CentralDirectory directory;
    zeb::ReadCentralDirectory(stream, record, directory, nextDisk);
    std::size_t total = 0;
    for (const zeb::TFileInfoC& entry : directory.Entries)
        total += entry.FileName.size() + entry.FileComment.size();
    return total == SIZE_MAX ? 1 : 0;
}
