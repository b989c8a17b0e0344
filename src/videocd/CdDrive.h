#pragma once
// The CD drive as the window uses it: finding it among the drives, and
// asking whether a disc is in it. The CD audio device is spoken to in its
// own command language here and nowhere else; the window sees the answer.

#include "platform/Platform.h"

namespace tavero {

class DriveListBox;

// The root (ending in "/") of the first CD-ROM drive in the list, after
// refreshing it; "" when there is none.
QString findCdDriveRoot(DriveListBox &drives, DriveQuery &query);

struct DiscAnswer {
    enum Kind { Present, Absent, InUse, Failed };
    Kind kind = Failed;
    // What the device said, for a failure.
    QString reply;
};

DiscAnswer askForDisc(CdAudioDevice &device);
// Opened shared, so that other programs keep the drive; the answer does
// not matter: the disc checks report a missing device.
void openCdAudio(CdAudioDevice &device);
void closeCdAudio(CdAudioDevice &device);

} // namespace tavero
