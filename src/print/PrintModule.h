#pragma once

// The call interface between the program and the printing module it loads at run time.
// Both sides are built together from the same headers: the level only keeps a module left
// from another version from being used.

namespace zeb {
class SheetPrinter;
}

extern "C" {
// A new printer on the system's default queue, the caller's to delete.
using ZebNewSystemPrinterFunction = zeb::SheetPrinter* (*)();
using ZebPrintModuleLevelFunction = int (*)();
}

namespace zeb {

inline constexpr const char* PrintModuleFileName = ZEB_LIBRARY_PREFIX "zebprint" ZEB_LIBRARY_SUFFIX;
inline constexpr const char* PrintModuleNewPrinterEntry = "ZebNewSystemPrinter";
inline constexpr const char* PrintModuleLevelEntry = "ZebPrintModuleLevel";
// Raised whenever SheetPrinter, Canvas, Document or the errors change shape.
inline constexpr int PrintModuleLevel = 1;

} // namespace zeb
