// The printing module: the system's printer, with Qt's printing and CUPS behind it, for a
// program that loads it only when it prints.

#include "print/PrintModule.h"

#include "print/CupsPrinter.h"

extern "C" {

ZEB_EXPORT zeb::SheetPrinter* ZebNewSystemPrinter() {
    return zeb::MakeCupsPrinter().release();
}

ZEB_EXPORT int ZebPrintModuleLevel() {
    return zeb::PrintModuleLevel;
}
}
