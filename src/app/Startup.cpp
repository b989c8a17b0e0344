#include "app/Form1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tavero {

// Not built yet.
void Form1::Form_Load() {}
void Form1::Form_QueryUnload() {}
void Form1::Form_Unload() {}
void Form1::mnuExit_Click() {}
void Form1::mnuFile_Click() {}
void Form1::mnuAction_Click() {}
void Form1::closeEvent(QCloseEvent *event) { QMainWindow::closeEvent(event); }

} // namespace tavero
