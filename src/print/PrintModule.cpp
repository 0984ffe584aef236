// The printing module: the system's default printer, with Qt's printing and the system's own
// printing (CUPS, Windows' spooler) behind it, for a program that loads it only when it prints.

#include "print/PrintModule.h"

#include "print/QtSheetPrinter.h"

extern "C" {

ZEB_EXPORT zeb::SheetPrinter* ZebNewSystemPrinter() {
    return zeb::MakeDefaultPrinter().release();
}

ZEB_EXPORT int ZebPrintModuleLevel() {
    return zeb::PrintModuleLevel;
}
}
