// CUPS, which Qt's printing uses on Linux, asked what Qt does not pass on.

#include "print/PrintQueue.h"
#include "print/SheetPrinter.h"

#include <cups/cups.h>
#include <optional>

namespace zeb::queue {
namespace {

// What CUPS says of the queue now. Qt reports a paused queue only as an "error" state and
// does not say whether the queue takes jobs at all, so ask CUPS itself.
struct QueueState {
    bool paused = false;
    bool accepting = true;
    std::string message; // the queue's own state message, often the reason it was paused
};

std::optional<QueueState> askQueueState(const QString& name) {
    cups_dest_t* dest = cupsGetNamedDest(nullptr, name.toLocal8Bit().constData(), nullptr);
    if (dest == nullptr)
        return std::nullopt;
    QueueState state;
    const auto option = [dest](const char* key) {
        const char* value = cupsGetOption(key, dest->num_options, dest->options);
        return std::string(value != nullptr ? value : "");
    };
    state.paused = option("printer-state") == std::to_string(IPP_PSTATE_STOPPED);
    state.accepting = option("printer-is-accepting-jobs") != "false";
    state.message = option("printer-state-message");
    cupsFreeDests(1, dest);
    return state;
}

} // namespace

void CheckReady(const QPrinterInfo& printer, const std::string& shown) {
    const std::optional<QueueState> state = askQueueState(printer.printerName());
    if (!state)
        return; // Qt has just found it; if it is gone since, the job itself will say so
    const std::string why = state->message.empty() ? std::string() : "\n(" + state->message + ")";
    if (state->paused)
        throw PrintError("L'imprimante « " + shown + " » est en pause",
                         "Remettez l'imprimante en service dans les réglages des imprimantes, puis "
                         "recommencez." +
                             why);
    if (!state->accepting)
        throw PrintError("L'imprimante « " + shown + " » refuse les travaux d'impression",
                         "Autorisez de nouveau les travaux dans les réglages des imprimantes, puis "
                         "recommencez." +
                             why);
}

void CheckHandedOver(bool ended, const std::string& shown) {
    // Qt drops the answer of CUPS to the job: a queue that refuses it still ends "well".
    const ipp_status_t status = cupsLastError();
    if (!ended || status > IPP_STATUS_OK_EVENTS_COMPLETE) {
        const char* reason = cupsLastErrorString();
        throw PrintError("L'imprimante « " + shown + " » n'a pas accepté le travail d'impression",
                         ended && reason != nullptr && *reason != '\0'
                             ? std::string("(Réponse du service d'impression : ") + reason + ")"
                             : std::string());
    }
}

std::string ChooseDefaultAlso() {
    return "(ou avec la commande « lpoptions -d NOM »)";
}

} // namespace zeb::queue
