#include "app/Form1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tavero {

// Not built yet.
void Form1::UpdateRecentFiles(const QString &) {}
void Form1::mnuRecent_Click(int) {}
QString Form1::recentCaption(int) const { return QString(); }
void Form1::setRecentCaption(int, const QString &) {}

} // namespace tavero
