// The unzip library's libzip, loaded at run time by the file name it was built against.

#include "LibZip.h"

#include "platform/Platform.h"
#include "zipformat/UnzDllMessages.h"

#include <algorithm>
#include <mutex>
#include <zip.h>

#ifndef ZEB_LIBZIP_SONAME
#error "ZEB_LIBZIP_SONAME names the libzip the library was built against"
#endif

namespace zeb::unzdll {
namespace {

static_assert(ZIP_CM_STORE == StoredMethod && ZIP_CM_DEFLATE == DeflatedMethod);
static_assert(ZIP_EM_NONE == NoEncryption && ZIP_EM_UNKNOWN == UnknownEncryption);

struct Entries {
    decltype(&::zip_open) open = nullptr;
    decltype(&::zip_discard) discard = nullptr;
    decltype(&::zip_get_num_entries) get_num_entries = nullptr;
    decltype(&::zip_get_name) get_name = nullptr;
    decltype(&::zip_stat_init) stat_init = nullptr;
    decltype(&::zip_stat_index) stat_index = nullptr;
    decltype(&::zip_compression_method_supported) compression_method_supported = nullptr;
    decltype(&::zip_encryption_method_supported) encryption_method_supported = nullptr;
    decltype(&::zip_fopen_index_encrypted) fopen_index_encrypted = nullptr;
    decltype(&::zip_fread) fread = nullptr;
    decltype(&::zip_fclose) fclose = nullptr;
    decltype(&::zip_get_error) get_error = nullptr;
    decltype(&::zip_file_get_error) file_get_error = nullptr;
    decltype(&::zip_error_code_zip) error_code_zip = nullptr;
    decltype(&::zip_error_clear) error_clear = nullptr;
};

template <typename Function> bool resolve(void* library, const char* name, Function& entry) {
    entry = reinterpret_cast<Function>(SystemLibrarySymbol(library, name));
    return entry != nullptr;
}

const Entries* loadEntries() {
    // Never unloaded: the entries stay valid for the life of the process.
    void* library = LoadSystemLibrary(ZEB_LIBZIP_SONAME);
    if (library == nullptr)
        return nullptr;
    static Entries entries;
    const bool complete =
        resolve(library, "zip_open", entries.open) && resolve(library, "zip_discard", entries.discard) &&
        resolve(library, "zip_get_num_entries", entries.get_num_entries) &&
        resolve(library, "zip_get_name", entries.get_name) &&
        resolve(library, "zip_stat_init", entries.stat_init) &&
        resolve(library, "zip_stat_index", entries.stat_index) &&
        resolve(library, "zip_compression_method_supported", entries.compression_method_supported) &&
        resolve(library, "zip_encryption_method_supported", entries.encryption_method_supported) &&
        resolve(library, "zip_fopen_index_encrypted", entries.fopen_index_encrypted) &&
        resolve(library, "zip_fread", entries.fread) && resolve(library, "zip_fclose", entries.fclose) &&
        resolve(library, "zip_get_error", entries.get_error) &&
        resolve(library, "zip_file_get_error", entries.file_get_error) &&
        resolve(library, "zip_error_code_zip", entries.error_code_zip) &&
        resolve(library, "zip_error_clear", entries.error_clear);
    return complete ? &entries : nullptr;
}

const Entries* entries() {
    static std::once_flag once;
    static const Entries* loaded = nullptr;
    std::call_once(once, [] { loaded = loadEntries(); });
    return loaded;
}

ArchiveProblem problem(int code, std::string member = {}) {
    return ArchiveProblem{code, std::move(member), 0};
}

// libzip's name of a member against ours, like with like: the stored bytes, or the UTF-8
// name of a Unicode path field, which libzip shows instead when its checksum matches. libzip
// turns a NUL inside a name into a space; ours keeps it, and the member is refused later.
bool sameName(std::string_view libzipName, const TFileInfoC& entry) {
    std::string stored = entry.StoredName;
    std::replace(stored.begin(), stored.end(), '\0', ' ');
    if (libzipName == stored)
        return true;
    const std::optional<std::string> unicode = UnicodePathName(entry);
    return unicode && libzipName == *unicode;
}

class File {
public:
    File(const Entries& libzip, zip_file_t* file) : libzip_(libzip), file_(file) {}
    ~File() {
        if (file_ != nullptr)
            libzip_.fclose(file_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    zip_file_t* get() const { return file_; }

private:
    const Entries& libzip_;
    zip_file_t* file_;
};

class Reader final : public LibZip {
public:
    explicit Reader(const Entries& libzip) : libzip_(libzip) {}
    ~Reader() override {
        if (zip_ != nullptr)
            libzip_.discard(zip_);
    }

    ArchiveProblem open(const char* path, const CentralDirectory& directory,
                        std::vector<Member>& members) override;
    bool compressionSupported(std::int32_t method) const override {
        return libzip_.compression_method_supported(method, 0) != 0;
    }
    bool encryptionSupported(std::uint16_t method) const override {
        return libzip_.encryption_method_supported(method, 0) != 0;
    }
    ReadResult read(const Member& member, const char* password, char* buffer, std::size_t capacity,
                    const Deliver& deliver) override;

private:
    const Entries& libzip_;
    zip_t* zip_ = nullptr;
};

ArchiveProblem Reader::open(const char* path, const CentralDirectory& directory,
                            std::vector<Member>& members) {
    // libzip's own consistency check also refuses bytes after the end record, which copy
    // tools and mail gateways leave; what it checks beyond that our reader has done.
    int error = 0;
    zip_ = libzip_.open(path, ZIP_RDONLY, &error);
    if (zip_ == nullptr) {
        switch (error) {
        case ZIP_ER_NOZIP:
        case ZIP_ER_OPEN:
        case ZIP_ER_READ:
        case ZIP_ER_SEEK:
            return problem(UNZDLL_MSG_ARCHIVE_UNREADABLE);
        case ZIP_ER_MULTIDISK:
            return problem(UNZDLL_MSG_ARCHIVE_SPANNED);
        default:
            return problem(UNZDLL_MSG_INCONSISTENT);
        }
    }

    const zip_int64_t count = libzip_.get_num_entries(zip_, 0);
    if (count < 0 || static_cast<std::uint64_t>(count) != directory.Entries.size())
        return problem(UNZDLL_MSG_INCONSISTENT);
    constexpr zip_uint64_t Needed = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC |
                                    ZIP_STAT_MTIME | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
    for (std::size_t i = 0; i < directory.Entries.size(); ++i) {
        const TFileInfoC& entry = directory.Entries[i];
        Member& member = members[i];
        const char* raw = libzip_.get_name(zip_, i, ZIP_FL_ENC_RAW);
        zip_stat_t stat;
        libzip_.stat_init(&stat);
        if (raw == nullptr || libzip_.stat_index(zip_, i, ZIP_FL_ENC_RAW, &stat) != 0 ||
            (stat.valid & Needed) != Needed)
            return problem(UNZDLL_MSG_INCONSISTENT, entry.FileName);
        if (!sameName(raw, entry) || stat.size != member.size || stat.comp_size != member.compressedSize ||
            stat.crc != member.crc || static_cast<std::int32_t>(stat.comp_method) != member.method ||
            (stat.encryption_method != ZIP_EM_NONE) != entry.Encrypted)
            return problem(UNZDLL_MSG_INCONSISTENT, entry.FileName);
        member.mtime = stat.mtime;
        member.encryption = stat.encryption_method;
    }
    return {};
}

ReadResult Reader::read(const Member& member, const char* password, char* buffer, std::size_t capacity,
                        const Deliver& deliver) {
    File file(libzip_, libzip_.fopen_index_encrypted(zip_, member.index, 0, password));
    if (file.get() == nullptr) {
        const int code = libzip_.error_code_zip(libzip_.get_error(zip_));
        libzip_.error_clear(zip_);
        if (code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_NOPASSWD)
            return {Read::WrongPassword, 0};
        return {Read::Damaged, 0};
    }
    // libzip checks the CRC when a read finds the end, and never checks the size against
    // the declared one.
    std::uint64_t total = 0;
    for (;;) {
        const zip_int64_t got = libzip_.fread(file.get(), buffer, capacity);
        if (got == 0)
            break;
        if (got < 0) {
            const int code = libzip_.error_code_zip(libzip_.file_get_error(file.get()));
            if (code == ZIP_ER_CRC)
                return {total == member.size ? Read::Crc : Read::SizeMismatch, 0};
            if (code == ZIP_ER_INCONS)
                return {Read::SizeMismatch, 0};
            return {Read::Damaged, 0};
        }
        total += static_cast<std::uint64_t>(got);
        if (const ReadResult result = deliver(buffer, static_cast<std::size_t>(got));
            result.status != Read::Clean)
            return result;
    }
    if (total != member.size)
        return {Read::SizeMismatch, 0};
    return {};
}

} // namespace

std::unique_ptr<LibZip> LoadLibZip() {
    const Entries* loaded = entries();
    if (loaded == nullptr)
        return nullptr;
    return std::make_unique<Reader>(*loaded);
}

} // namespace zeb::unzdll
