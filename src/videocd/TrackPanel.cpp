#include "app/Form1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tavero {

// Not built yet.
void Form1::LoadTrackList() {}

} // namespace tavero
