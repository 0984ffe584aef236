#include "Options.h"

namespace zeb::cli {

// BaseWorkFolder's choice on Linux.
const char* const WorkFolderHelp =
    "Les fichiers de travail sont créés dans un dossier temporaire privé (dans $XDG_RUNTIME_DIR,\n"
    "sinon $TMPDIR, sinon /tmp), supprimé à la fin, même si la commande est interrompue.\n";

} // namespace zeb::cli
