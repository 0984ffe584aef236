#pragma once

#include <QString>

class QWidget;

namespace zeb {

// The program's one way of asking the user for a file, in Qt's own dialogs (in French with
// Qt's translations). A test queues the names the next dialogs give; a queued name is
// returned without showing anything, and an empty one is a cancel.
class FileDialog {
public:
    // An existing file; empty when the user cancels.
    static QString openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                const QString& filter);
    // The name to save under, `suggested` (a path) proposed; empty when the user cancels.
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                const QString& filter);

    static void setNextFileName(const QString& name);
    // The folder or path the last dialog proposed, shown or answered from the queue.
    static QString lastProposal();
};

} // namespace zeb
