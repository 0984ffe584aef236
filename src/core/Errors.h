#pragma once

#include <stdexcept>
#include <string>

namespace zeb {

// A failure the user must be told about. The message is French, UTF-8 encoded, complete
// enough to be shown as it stands in a message box or on stderr.
class ZebError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace zeb
