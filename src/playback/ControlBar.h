#pragma once
// The strip under the picture: a row of controls (play/pause, stop, seek
// bar, elapsed / total time, mute, volume) and under it a status line. It
// only shows what it is told and says what the user did; the component
// decides what that means.
//
// Each part shows only when switched on (the component's view options);
// the whole strip hides when none is. The volume slider also gives way
// when the strip is narrower than 300 pixels, before the seek bar gets
// too short to use.

#include <QWidget>

class QLabel;
class QSlider;
class QToolButton;

namespace tavero {

class SeekBar;

class ControlBar : public QWidget {
    Q_OBJECT
public:
    explicit ControlBar(QWidget *parent);

    void setParts(bool transport, bool seekBar, bool volume, bool time, bool statusLine);
    // Height of the parts shown; 0 when none is.
    int partsHeight() const;
    // Takes this place and lays its parts out in it.
    void place(const QRect &rect);

    // What the component is doing: play state and ready state as in
    // MediaPlayer, position and length in seconds.
    void showState(int playState, int readyState, double position, double duration);
    // mpv's own volume and mute, shown without being reported back.
    void showVolume(int volume);
    void showMuted(bool muted);
    // The disc's menus: a Menu button beside the transport.
    void showMenuButton(bool shown);
    // Marks on the seek bar where the chapters start, in seconds.
    void showChapters(const QList<double> &starts);
    QList<double> chapterMarks() const;

    int volume() const;
    bool isMuted() const;

    // "m:ss", or "h:mm:ss" from an hour on.
    static QString formatTime(double seconds);

public slots:
    // As if the user had moved the slider or pressed the button: reported.
    void setVolume(int volume);
    void setMuted(bool muted);

signals:
    void playPauseClicked();
    void stopClicked();
    void menuClicked();
    void seekRequested(double seconds);
    void volumeChanged(int volume);
    void muteToggled(bool muted);

private:
    void arrange();

    QWidget *row_ = nullptr;
    QToolButton *playButton_ = nullptr;
    QToolButton *stopButton_ = nullptr;
    QToolButton *menuButton_ = nullptr;
    SeekBar *seekBar_ = nullptr;
    QLabel *timeLabel_ = nullptr;
    QToolButton *muteButton_ = nullptr;
    QSlider *volumeSlider_ = nullptr;
    QLabel *statusLine_ = nullptr;
    bool volumePart_ = false;
    bool seeking_ = false;
    int rowHeight_ = 0;
    int statusHeight_ = 0;
    int playState_ = -1;
};

} // namespace tavero
