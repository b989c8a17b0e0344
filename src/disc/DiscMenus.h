#pragma once
// A disc's menus read from the disc itself: its playback control files
// found through the directory, with what the disc holds for the reader to
// check them against.

#include "disc/Disc.h"
#include "disc/PlaybackControl.h"

namespace tavero {

// The files as the disc has them, each read up to a size no real disc
// exceeds. Reads sectors: for a drive, not on the GUI thread.
PbcInput pbcInputOf(Disc &disc);
// The disc's menus; not usable() when it has none.
PlaybackControl readDiscMenus(Disc &disc);
// The file of segment `number` (1 is SEGMENT/ITEM0001.DAT, on a Super
// Video CD ITEM0001.MPG), as a path relative to the disc's top folder.
QString segmentPath(int number, DiscKind kind);

} // namespace tavero
