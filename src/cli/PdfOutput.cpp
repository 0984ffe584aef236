#include "PdfOutput.h"

#include "core/Errors.h"
#include "pdfmodule/PdfModule.h"
#include "platform/Platform.h"

#include <string>

namespace zeb::cli {
namespace {

// The module, looked for once per process and never unloaded: Qt's libraries, loaded with it,
// leave exit handlers and thread-local data behind that unloading would leave dangling.
struct LoadedModule {
    const pdfmodule::Functions* functions = nullptr;
    std::string failure; // French, when functions is null
};

// True of every run that needs the module, whether it asked for CSV files too or not: --dossier
// writes PDFs for every class, and a run that cannot write all its files writes none.
constexpr const char* WithoutModule =
    "Sans lui, seules les options qui n'écrivent que des fichiers CSV (--csv, --synthese-csv, "
    "--groupes-csv) fonctionnent.";

LoadedModule loadModule() {
    const std::string unavailable =
        std::string("l'écriture des fichiers PDF n'est pas disponible : le module ") + pdfmodule::FileName;
    const PrivateLibrary library = PrivateLibrary::Load(pdfmodule::FileName, pdfmodule::VersionEntry,
                                                        static_cast<std::int32_t>(pdfmodule::Version));
    using Outcome = PrivateLibrary::Outcome;
    if (library.outcome() == Outcome::NotFound || library.outcome() == Outcome::WillNotLoad)
        return {nullptr, unavailable +
                             (library.outcome() == Outcome::NotFound
                                  ? " est introuvable, ni à côté du programme ni dans ../lib/zeb"
                                  : " ne se charge pas (" + library.failure() + ")") +
                             " ; réinstallez ZEB. " + WithoutModule};
    const auto entry = reinterpret_cast<pdfmodule::EntryFunction>(library.symbol(pdfmodule::EntryName));
    const pdfmodule::Functions* functions = entry != nullptr ? entry(pdfmodule::Version) : nullptr;
    if (functions == nullptr || functions->version != pdfmodule::Version)
        return {nullptr, unavailable +
                             " trouvé n'est pas celui de cette version de zeb-fiches ; réinstallez ZEB. " +
                             WithoutModule};
    return {functions, {}};
}

const LoadedModule& module() {
    static const LoadedModule loaded = loadModule();
    return loaded;
}

void keepMessage(void* context, const char* message, std::size_t size) {
    static_cast<std::string*>(context)->assign(message, size);
}

} // namespace

struct PdfWriting::Engine {
    const pdfmodule::Functions* functions;
    pdfmodule::Engine* engine;
};

PdfWriting::PdfWriting() {
    // Qt's PDF engine grows and frees buffers of a few megabytes for every page. By default
    // the C library hands each one to the kernel and back, and the page faults took a third
    // of a school's run; kept in the heap, they cost nothing more in peak memory.
    KeepLargeBuffersInTheHeap();
    const LoadedModule& loaded = module();
    if (loaded.functions == nullptr)
        throw ZebError(loaded.failure);
    std::string failure;
    pdfmodule::Engine* engine = loaded.functions->start(keepMessage, &failure);
    if (engine == nullptr)
        throw ZebError("l'écriture des fichiers PDF n'a pas pu démarrer : " + failure);
    engine_ = std::make_unique<Engine>(Engine{loaded.functions, engine});
}

PdfWriting::~PdfWriting() {
    engine_->functions->stop(engine_->engine);
}

int PdfWriting::Write(const std::filesystem::path& file, const std::vector<const Document*>& documents,
                      std::string_view titleUtf8) const {
    std::string failure;
    const std::string name = Utf8FromPath(file);
    const int pages =
        engine_->functions->write(engine_->engine, name.c_str(), documents.data(), documents.size(),
                                  titleUtf8.data(), titleUtf8.size(), keepMessage, &failure);
    if (pages < 0)
        throw ZebError(failure);
    return pages;
}

} // namespace zeb::cli
