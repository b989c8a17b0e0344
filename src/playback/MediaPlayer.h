#pragma once
// The contract of the video component WMP1, as the main window sees it.
// MpvPlayer is the real one; tests use a scriptable fake.
//
// Places and sizes are in twips (15 twips to the logical pixel).
//
// Order of events at the end of a medium: the component first reports the
// fall to stopped (PlayStateChange 2 -> 0, or 1 -> 0) and emits EndOfStream
// only after that handler has returned. The play-state handler therefore
// sees StreamEnded clear, and the status timer's next tick acts on the
// StreamEnded that EndOfStream leaves set: it restarts a looping medium or
// moves on to the next Video CD track.

#include <QString>
#include "platform/Twips.h"

#include <QWidget>

namespace tavero {

class MediaPlayer : public QWidget {
    Q_OBJECT
public:
    enum PlayStates { Stopped = 0, Paused = 1, Playing = 2, Closed = 6 };
    enum ReadyStates { NothingLoaded = 0, Loading = 1, Loaded = 4 };
    enum DisplaySizes { DefaultSize = 0, HalfSize = 1, DoubleSize = 2, FullScreen = 3 };
    enum Dialogs { HelpDialog = 0, ContextMenuDialog = 3 };
    // Switches of the component's own interface (ViewOption), all off
    // until set.
    enum ViewOptions {
        ViewTransport = 23,      // play/pause and stop buttons
        ViewSeekBar = 26,
        ViewVolume = 1025,       // mute button and volume slider
        ViewStatusLine = 1086,   // state and time under the control bar
        ViewContextMenu = 1107,  // the component's menu on a right click
        ViewTimeReadout = 1108,  // elapsed / total time beside the seek bar
    };

    using QWidget::QWidget;

    virtual int PlayState() const = 0;
    virtual int ReadyState() const = 0;
    virtual int DisplaySize() const = 0;
    virtual void setDisplaySize(int size) = 0;
    virtual QString FileName() const = 0;
    virtual void setFileName(const QString &path) = 0;  // "" unloads
    virtual QString ErrorDescription() const = 0;
    virtual bool AutoSize() const = 0;
    virtual void setAutoSize(bool on) = 0;

    // Switches of the component's own interface, by id (ViewOptions);
    // unknown ids read false.
    virtual bool ViewOption(int id) const = 0;
    virtual void setViewOption(int id, bool on) = 0;
    // Start switches (27, 29, 1015, 1017, 1021, 1056, 1062, 1063, 1064,
    // 1069) and the integer start option 32.
    virtual void setStartOption(int id, bool on) = 0;
    virtual void setStartOptionValue(int id, int value) = 0;

    // Transport. Each returns false on failure and then, where `error` is
    // given, puts a description there.
    virtual bool Play(QString *error = nullptr) = 0;
    virtual bool Pause(QString *error = nullptr) = 0;
    virtual bool Stop(QString *error = nullptr) = 0;
    // Loads a local file and starts it by itself. A file that cannot be
    // opened fails the call; nothing stays loaded then. The window's events
    // may run while it waits; a Stop or an unload (setFileName("")) then
    // cancels the load, and so does the program quitting: the call fails
    // with an empty error.
    virtual bool Open(const QString &path, QString *error = nullptr) = 0;
    virtual void ShowDialog(int which) = 0;

    // Position and length of the loaded medium in seconds, 0 when nothing
    // is loaded. The desktop's media controls show and set them.
    virtual double CurrentPosition() const { return 0.0; }
    virtual void setCurrentPosition(double seconds) { (void)seconds; }
    virtual double Duration() const { return 0.0; }
    // The sound's volume as the component's slider holds it, 0 to 100.
    virtual int Volume() const { return 100; }
    virtual void setVolume(int volume) { (void)volume; }

    // A disc's menus. The component offers them (a Menu button, a "Disc
    // Menu" item in its menu, the M key) while `offered`; while `active`
    // its digits, Page Down / Page Up, Backspace, Enter and a click on the
    // picture are the menus' keys (DiscMenuKey, PictureClicked) and
    // nothing else.
    enum MenuKeys { MenuNext = 10, MenuPrevious, MenuReturn, MenuEnter };
    virtual void setDiscMenu(bool offered, bool active) { (void)offered, (void)active; }
    // How the next Open plays a menu's item: from `start` seconds, for
    // `length` seconds (0: to its end). At the item's end its last picture
    // stays on screen and MenuItemEnded is raised, instead of the fall to
    // stopped and EndOfStream. Taken by the next Open only.
    struct MenuCue {
        double start = 0;
        double length = 0;
    };
    virtual void cueMenuItem(const MenuCue &cue) { (void)cue; }
    // A line over the picture for `msecs`.
    virtual void showText(const QString &text, int msecs) { (void)text, (void)msecs; }

    // The control's place on its parent, in twips.
    float Left() const { return twips::fromPixels(x()); }
    float Top() const { return twips::fromPixels(y()); }
    float Width() const { return twips::fromPixels(width()); }
    float Height() const { return twips::fromPixels(height()); }

signals:
    void EndOfStream(int result);
    void MouseMove(int button, int shift, float x, float y);
    void PlayStateChange(int oldState, int newState);
    void Error();
    void Warning(int warningType, int param, const QString &description);
    void ReadyStateChange(int readyState);
    void MenuItemEnded();
    void DiscMenuRequested();
    void DiscMenuKey(int key);                // 0-9 or a MenuKeys
    void PictureClicked(double x, double y);  // across and down the picture, 0 to 1
    // The user moved the volume, or setVolume did.
    void VolumeChange(int volume);
};

} // namespace tavero
