// The tests' archives written by libzip, as an ordinary zip tool writes them.

#include "UnzDllTestSupport.h"

#include <stdexcept>
#include <zip.h>

namespace zeb::test {

std::string LibzipZip(const std::vector<LibzipMember>& members) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (buffer == nullptr)
        throw std::runtime_error("zip_source_buffer_create");
    zip_source_keep(buffer);
    zip_t* zip = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (zip == nullptr)
        throw std::runtime_error("zip_open_from_source");
    for (const LibzipMember& member : members) {
        zip_int64_t index = -1;
        if (member.folder) {
            index = zip_dir_add(zip, member.name.c_str(), ZIP_FL_ENC_RAW);
        } else {
            zip_source_t* data = zip_source_buffer(zip, member.data.data(), member.data.size(), 0);
            index = zip_file_add(zip, member.name.c_str(), data, ZIP_FL_ENC_RAW);
        }
        if (index < 0)
            throw std::runtime_error(std::string("zip_file_add: ") + zip_strerror(zip));
        const auto at = static_cast<zip_uint64_t>(index);
        if (!member.folder)
            zip_set_file_compression(zip, at, member.method, 0);
        if (member.password != nullptr)
            zip_file_set_encryption(zip, at, ZIP_EM_TRAD_PKWARE, member.password);
        if (member.mtime != 0)
            zip_file_set_mtime(zip, at, member.mtime, 0);
        if (member.host >= 0)
            zip_file_set_external_attributes(zip, at, 0, static_cast<zip_uint8_t>(member.host),
                                             member.attributes);
    }
    if (zip_close(zip) != 0)
        throw std::runtime_error(std::string("zip_close: ") + zip_strerror(zip));
    zip_source_open(buffer);
    zip_source_seek(buffer, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(buffer);
    zip_source_seek(buffer, 0, SEEK_SET);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    zip_source_read(buffer, bytes.data(), static_cast<zip_uint64_t>(size));
    zip_source_close(buffer);
    zip_source_free(buffer);
    return bytes;
}

std::time_t ArchivedMtime(const std::string& zip, std::uint64_t index) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(zip.data(), zip.size(), 0, &error);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (archive == nullptr)
        throw std::runtime_error("cannot reopen the archive");
    zip_stat_t stat;
    zip_stat_index(archive, index, 0, &stat);
    zip_discard(archive);
    return stat.mtime;
}

} // namespace zeb::test
