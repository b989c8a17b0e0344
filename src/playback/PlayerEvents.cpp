#include "app/Form1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tavero {

// Not built yet.
void Form1::WMP1_EndOfStream(int) {}
void Form1::WMP1_MouseMove(int, int, float, float) {}
void Form1::WMP1_PlayStateChange(int, int) {}
void Form1::WMP1_Error() {}
void Form1::WMP1_Warning(int, int, const QString &) {}
void Form1::WMP1_ReadyStateChange(int) {}

} // namespace tavero
