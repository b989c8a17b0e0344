#include "app/Form1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tavero {

// Not built yet.
void Form1::mnuTaveroHelp_Click() {}
void Form1::mnuMPHelp_Click() {}
void Form1::mnuAbout_Click() {}

} // namespace tavero
