#include "platform/QtOpenFileDialog.h"

namespace tavero {

// Not built yet.
QString QtOpenFileDialog::getOpenFileName(QWidget *, const QString &, const QList<FileFilter> &,
                                          int, const QString &)
{
    return QString();
}

} // namespace tavero
