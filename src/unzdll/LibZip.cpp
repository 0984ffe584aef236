#include "LibZip.h"

#include <dlfcn.h>
#include <mutex>

#ifndef ZEB_LIBZIP_SONAME
#error "ZEB_LIBZIP_SONAME names the libzip the library was built against"
#endif

namespace zeb::unzdll {
namespace {

template <typename Function> bool resolve(void* handle, const char* name, Function& entry) {
    entry = reinterpret_cast<Function>(::dlsym(handle, name));
    return entry != nullptr;
}

const LibZip* load() {
    // Never closed: the entries stay valid for the life of the process.
    void* handle = ::dlopen(ZEB_LIBZIP_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return nullptr;
    static LibZip entries;
    const bool complete =
        resolve(handle, "zip_open", entries.open) && resolve(handle, "zip_discard", entries.discard) &&
        resolve(handle, "zip_get_num_entries", entries.get_num_entries) &&
        resolve(handle, "zip_get_name", entries.get_name) &&
        resolve(handle, "zip_stat_init", entries.stat_init) &&
        resolve(handle, "zip_stat_index", entries.stat_index) &&
        resolve(handle, "zip_compression_method_supported", entries.compression_method_supported) &&
        resolve(handle, "zip_encryption_method_supported", entries.encryption_method_supported) &&
        resolve(handle, "zip_fopen_index_encrypted", entries.fopen_index_encrypted) &&
        resolve(handle, "zip_fread", entries.fread) && resolve(handle, "zip_fclose", entries.fclose) &&
        resolve(handle, "zip_get_error", entries.get_error) &&
        resolve(handle, "zip_file_get_error", entries.file_get_error) &&
        resolve(handle, "zip_error_code_zip", entries.error_code_zip) &&
        resolve(handle, "zip_error_clear", entries.error_clear);
    return complete ? &entries : nullptr;
}

} // namespace

const LibZip* LoadLibZip() {
    static std::once_flag once;
    static const LibZip* loaded = nullptr;
    std::call_once(once, [] { loaded = load(); });
    return loaded;
}

} // namespace zeb::unzdll
