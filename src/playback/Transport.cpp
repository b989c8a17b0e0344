#include "app/Form1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tavero {

// Not built yet.
void Form1::mnuRun_Click() {}
void Form1::mnuPause_Click() {}
void Form1::mnuStop_Click() {}
void Form1::mnuClose_Click() {}
void Form1::mnuLoop_Click() {}
void Form1::mnuContinuousPlay_Click() {}

} // namespace tavero
