#include "FileDialog.h"

#include <QFileDialog>
#include <deque>

namespace zeb {
namespace {

std::deque<QString>& queuedNames() {
    static std::deque<QString> names;
    return names;
}

QString& lastProposed() {
    static QString proposal;
    return proposal;
}

// Records the proposal; true with the queued answer in `name` when there is one.
bool answeredFromQueue(const QString& proposal, QString& name) {
    lastProposed() = proposal;
    if (queuedNames().empty())
        return false;
    name = queuedNames().front();
    queuedNames().pop_front();
    return true;
}

} // namespace

QString FileDialog::openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter) {
    QString name;
    if (answeredFromQueue(folder, name))
        return name;
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QString FileDialog::saveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                                 const QString& filter) {
    QString name;
    if (answeredFromQueue(suggested, name))
        return name;
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

void FileDialog::setNextFileName(const QString& name) {
    queuedNames().push_back(name);
}

QString FileDialog::lastProposal() {
    return lastProposed();
}

} // namespace zeb
