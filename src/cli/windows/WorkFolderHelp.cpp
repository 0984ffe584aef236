#include "Options.h"

namespace zeb::cli {

// BaseWorkFolder's choice on Windows.
const char* const WorkFolderHelp =
    "Les fichiers de travail sont créés dans un dossier privé de %LOCALAPPDATA%\\zeb, supprimé à\n"
    "la fin, même si la commande est interrompue.\n";

} // namespace zeb::cli
