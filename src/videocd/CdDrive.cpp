#include "app/Form1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tavero {

// Not built yet.
void Form1::FindCDDrive(bool) {}
bool Form1::CheckCDMedia(bool) { return false; }

} // namespace tavero
