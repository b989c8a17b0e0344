#include "app/Form1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tavero {

// Not built yet.
void Form1::mnuOpen_Click() {}
QString Form1::ShowOpenDialog(const QString &, const QString &, const QList<FileFilter> &, const QString &, const QString &) { return QString(); }

} // namespace tavero
