#pragma once

// libzip, loaded the first time an archive needs it. Members that are stored or deflated and
// not encrypted (every export the evaluation program writes) are read by our own reader;
// libzip, and the crypto library it brings along, are loaded only for the others, so that a
// plain extraction does not pay for loading them.

#include <zip.h>

namespace zeb::unzdll {

struct LibZip {
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

// The library's entries, or nullptr when it cannot be loaded. Loaded once, kept loaded.
const LibZip* LoadLibZip();

} // namespace zeb::unzdll
