// The unzip library built without libzip: the members our own reader leaves are refused one by
// one as unsupported.

#include "LibZip.h"

namespace zeb::unzdll {

std::unique_ptr<LibZip> LoadLibZip() {
    return nullptr;
}

} // namespace zeb::unzdll
