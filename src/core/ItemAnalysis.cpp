#include "ItemAnalysis.h"

namespace zeb {} // namespace zeb
