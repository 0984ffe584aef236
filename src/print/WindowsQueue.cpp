// Windows' print spooler, which Qt's printing uses on Windows, asked what Qt does not pass on.

#include "print/PrintQueue.h"
#include "print/SheetPrinter.h"

#include <cstring>
#include <string>
#include <vector>
#include <windows.h>
#include <winspool.h>

namespace zeb::queue {
namespace {

// The spooler's status bits of the printer now; 0 when it cannot say (the job will).
DWORD printerStatus(const QString& name) {
    std::wstring wide = name.toStdWString();
    HANDLE printer = nullptr;
    if (!OpenPrinterW(wide.data(), &printer, nullptr))
        return 0;
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    DWORD status = 0;
    if (needed >= sizeof(PRINTER_INFO_2W)) {
        std::vector<BYTE> buffer(needed);
        if (GetPrinterW(printer, 2, buffer.data(), needed, &needed)) {
            PRINTER_INFO_2W info;
            std::memcpy(&info, buffer.data(), sizeof info);
            status = info.Status;
        }
    }
    ClosePrinter(printer);
    return status;
}

} // namespace

void CheckReady(const QPrinterInfo& printer, const std::string& shown) {
    // Qt does not report a paused printer on Windows: the job would wait in the spooler
    // without a word.
    if ((printerStatus(printer.printerName()) & PRINTER_STATUS_PAUSED) != 0)
        throw PrintError("L'imprimante « " + shown + " » est en pause",
                         "Reprenez l'impression dans les réglages des imprimantes (ouvrez la file "
                         "d'attente de l'imprimante, menu « Imprimante »), puis recommencez.");
}

void CheckHandedOver(bool ended, const std::string& shown) {
    // The spooler answers through the painter's end: a job it refuses makes that end fail.
    if (!ended)
        throw PrintError("L'imprimante « " + shown + " » n'a pas accepté le travail d'impression", "");
}

std::string ChooseDefaultAlso() {
    return {};
}

} // namespace zeb::queue
