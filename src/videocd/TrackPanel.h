#pragma once
// The strip of track slots under the menu bar (the window's Frame1). Ten
// slots: with up to ten tracks each plays its own; with more, the first
// nine play the first nine tracks and the tenth opens the list of the
// others. A slot is a label that normally shows and a button over it that
// shows under the mouse; a bordered label marks the playing track.

#include "platform/Platform.h"
#include "videocd/TrackSlot.h"

#include <QFrame>
#include <array>

namespace tavero {

class FileListBox;

class TrackPanel : public QFrame {
    Q_OBJECT
public:
    static constexpr int kSlots = 10;
    // The slot that opens the more-tracks list once there are more tracks
    // than slots; the ones before it play a track each.
    static constexpr int kMoreSlot = kSlots - 1;

    explicit TrackPanel(QWidget *parent);

    std::array<TrackButton *, kSlots> buttons{};
    std::array<TrackLabel *, kSlots> labels{};

    // Tracks from the tenth on share the last slot.
    static int slotOf(int track) { return track >= kMoreSlot ? kMoreSlot : track; }

    // Labels on their buttons, numbered, off; the buttons hidden.
    void setUp();
    // Every slot off and in the button face. A rescan clears the tips too;
    // a drive that cannot be read leaves them as they were; a disc taken
    // out also hides the buttons.
    void reset(bool clearTips, bool hideButtons);
    // Lights the slots for the tracks `list` holds, each with its name and
    // size (read from `folder`) as its tip.
    void showTracks(const FileListBox &list, FileSystem &files, const QString &folder);
    // Only the slot under the mouse shows its button, unless its label is
    // off or marks the playing track.
    void hover(int index);
    void hideButtons();
    // The slot pressed: its button goes, its label alone is bordered.
    void mark(int index);

signals:
    void slotPressed(int index, int button, int shift, float x, float y);
};

// Finds the folder that holds the disc's tracks under `root` and names it
// in `subfolder`. Only the first look can tell that the drive cannot be
// read; a later one that fails counts as finding nothing.
ProbeResult probeTrackFolder(FileSystem &files, const QString &root, QString *subfolder);

} // namespace tavero
