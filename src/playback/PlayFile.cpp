#include "app/Form1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tavero {

// Not built yet.
void Form1::PlayFile(const QString &) {}
void Form1::Form_OLEDragDrop(const QMimeData *) {}
void Form1::dragEnterEvent(QDragEnterEvent *event) { QMainWindow::dragEnterEvent(event); }
void Form1::dropEvent(QDropEvent *event) { QMainWindow::dropEvent(event); }

} // namespace tavero
