#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zeb {

// A failure the user must be told about. The message is French, UTF-8 encoded, complete
// enough to be shown as it stands in a message box or on stderr.
class ZebError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "1 ligne", "2 lignes": French puts 0 and 1 in the singular.
inline std::string CountOf(long long count, std::string_view singular, std::string_view plural) {
    std::string text = std::to_string(count);
    text += ' ';
    text += count <= 1 && count >= -1 ? singular : plural;
    return text;
}

} // namespace zeb
