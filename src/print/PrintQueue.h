#pragma once

// What one printing system says that Qt does not: CUPS on Linux (CupsQueue.cpp), Windows'
// spooler (WindowsQueue.cpp). CMake builds one of the two into the printing module.

#include <QPrinterInfo>
#include <string>

namespace zeb::queue {

// Throws PrintError when the queue cannot take a job now (paused, refusing jobs); `shown` is
// its name for the message.
void CheckReady(const QPrinterInfo& printer, const std::string& shown);

// Once Qt has ended painting the job (`ended`: whether it says it went through): throws
// PrintError when the printing system refused it.
void CheckHandedOver(bool ended, const std::string& shown);

// How the teacher chooses the default printer, once told the printers installed: a clause
// that follows "Choisissez-en une comme imprimante par défaut dans les réglages des
// imprimantes", without a final stop (may be empty).
std::string ChooseDefaultAlso();

} // namespace zeb::queue
