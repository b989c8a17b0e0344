#pragma once
// WMP1 on libmpv: the video on top, its own control bar and status line
// below.
//
// States: PlayState 0 stopped, 1 paused, 2 playing, 6 closed; ReadyState 0
// nothing loaded, 1 loading (only inside Open), 4 loaded. Every change of
// either raises PlayStateChange / ReadyStateChange.
//
// End of a medium: the player goes back to the start and stops; it raises
// PlayStateChange(2, 0) (or 1 -> 0) first, and EndOfStream(0) only after that
// handler has returned, and only if nothing was opened, closed or played in
// the meantime. The handler may let events run: mpv's events are not
// drained again while it does.
//
// Open() loads a local file only. The path is made absolute, so mpv never
// reads it as a URL, a protocol or an option, and it must be an existing,
// readable, non-empty regular file. It waits (a few seconds at most) until
// mpv has loaded the file or refused it; a refusal fails the call with a
// description naming the file and the reason, and leaves nothing loaded
// (no Error event). On success it plays by itself, from the moment its
// first frame has been drawn. The window's events run while it waits; a
// Stop or an unload meanwhile, or the program quitting, cancels the load:
// Open then fails with an empty description.
//
// A failure during playback (mpv gives up on the stream, or the file
// shrinks or vanishes under it, as when a disc is taken out) unloads the
// medium and raises ReadyStateChange(0), PlayStateChange(2, 0) (or 1 -> 0),
// PlayStateChange(0, 6), then Error with ErrorDescription set. A machine without a
// sound device plays the video silently. Warning is never raised.
//
// View options: MediaPlayer::ViewOptions. Start options change nothing.
//
// AutoSize on: the component's size is the video's display size times
// 1/2, 1 or 2 (DisplaySize 1, 0, 2) plus the height of its visible bars,
// 286 x 253 pixels when nothing or only sound is loaded. It resizes itself
// at once when the size, the medium or the bars change. DisplaySize 3 moves
// the picture alone into a full-screen window on this window's screen; the
// component keeps its default size meanwhile. Esc or a double click there
// sets DisplaySize back to 0.
//
// Keys while focused: Space play/pause, Left/Right seek 5 s back/forward,
// Page Up/Page Down the previous/next chapter, C the next audio channel
// (Stereo, Left, Right), A the next audio stream; M a disc's menus where
// they are offered, and in them digits, Page Down / Page Up (next,
// previous), Backspace (return) and Enter (default, or the number typed).
//
// Sound: the channel chosen (Stereo, or the left or the right one on both
// speakers, for karaoke discs) holds for every medium after it, until
// chosen again; so does the audio stream (from 1), for media that have as
// many. Both are in the context menu (the streams where there are two or
// more) and last for the run only. The context menu and the keys let other
// keys pass: the window gets the digits and the media keys.
//
// Chapters: a Video CD track gets its disc's entry points (read off the
// GUI thread once the track has loaded); any other file keeps what mpv
// reads in it. Two or more show as marks on the seek bar and as a
// Chapters submenu of the context menu; one alone (a track's start) does
// not.
//
// Output: Output::Headless uses mpv's null video and audio outputs and no
// picture (for tests); Output::OpenGL draws through OpenGL where a GPU runs
// it (MpvVideoWindow), Output::Software by the CPU into memory where OpenGL
// would only be a software rasterizer (MpvSoftwareView; should OpenGL fail
// to start, the picture falls back to that too). Output::Auto chooses
// Headless when Qt runs without a display (the offscreen or minimal
// platform), else as playback/VideoPath.h says (TAVERO_VIDEO=gl|software
// overriding).
//
// The parts: MpvClient speaks to mpv (asynchronously: the GUI thread never
// waits for mpv's core), MpvVideoWindow holds
// the picture where OpenGL draws it, MpvSoftwareView where the CPU does;
// MpvRenderer draws on a thread of its own (a busy GUI thread costs no
// frames), ControlBar shows the controls. This class holds the state
// machine, the size and full screen; its code is spread over
// MpvPlayer.cpp (set-up, transport, states), MpvPlayerOpen.cpp (Open and
// its waits), MpvPlayerLoad.cpp (loading and mpv's events) and MpvPlayerView.cpp (size, full screen, input,
// menu and help).

#include "playback/MediaPlayer.h"
#include "playback/MpvClient.h"

#include <QFile>
#include <QMap>
#include <QPointer>
#include <QSize>
#include <memory>
#include <optional>

class QEventLoop;

class QActionGroup;
class QDialog;
class QMenu;

namespace tavero {

class ControlBar;
class DiscTrackFinder;
class MpvDiscStreams;
class MpvSoftwareView;
class MpvVideoWindow;
struct DiscTrack;

class MpvPlayer : public MediaPlayer {
    Q_OBJECT
public:
    enum class Output { Auto, OpenGL, Software, Headless };

    explicit MpvPlayer(QWidget *parent = nullptr);
    explicit MpvPlayer(Output output, QWidget *parent = nullptr);
    ~MpvPlayer() override;

    int PlayState() const override { return playState_; }
    int ReadyState() const override { return readyState_; }
    int DisplaySize() const override { return displaySize_; }
    void setDisplaySize(int size) override;
    QString FileName() const override { return fileName_; }
    // "" unloads; any other path is opened as by Open, and a failure is
    // raised as Error.
    void setFileName(const QString &path) override;
    QString ErrorDescription() const override { return errorDescription_; }
    bool AutoSize() const override { return autoSize_; }
    void setAutoSize(bool on) override;
    bool ViewOption(int id) const override { return viewOptions_.value(id, false); }
    void setViewOption(int id, bool on) override;
    // The start switches are the old component's settings; this one has
    // nothing they would change, so they are taken and let go.
    void setStartOption(int, bool) override {}
    void setStartOptionValue(int, int) override {}
    bool Play(QString *error = nullptr) override;
    bool Pause(QString *error = nullptr) override;
    bool Stop(QString *error = nullptr) override;
    bool Open(const QString &path, QString *error = nullptr) override;
    void ShowDialog(int which) override;
    void setDiscMenu(bool offered, bool active) override;
    void cueMenuItem(const MenuCue &cue) override;
    void showText(const QString &text, int msecs) override;

    // Paths on a disc whose tracks the kernel cannot read are played from
    // the disc's sectors; the finder (not owned) tells which.
    void setDiscTracks(DiscTrackFinder *finder) { discTracks_ = finder; }

    // Whether the picture is drawn without OpenGL.
    bool drawsInSoftware() const { return swView_ != nullptr; }
    // Playback speed factor (1 = normal); tests play faster.
    void setSpeed(double factor);
    double CurrentPosition() const override { return position_; }
    void setCurrentPosition(double seconds) override { seekTo(seconds); }
    double Duration() const override { return duration_; }
    int Volume() const override;
    void setVolume(int volume) override;
    using AudioChannel = MpvClient::AudioChannel;
    AudioChannel audioChannel() const { return audioChannel_; }
    void setAudioChannel(AudioChannel channel);
    // 0 until one is chosen.
    int audioStream() const { return audioStream_; }
    void setAudioStream(int stream);
    // The names of the loaded medium's audio streams (MpvClient::FileInfo).
    QStringList audioStreams() const { return audioStreams_; }
    // Tests hear the sound in this WAV file; set before the first Open.
    void writeSoundTo(const QString &wavPath) { client_->writeSoundTo(QFile::encodeName(wavPath)); }
    // The video's display size at 100%; empty when none is loaded.
    QSize videoSize() const { return videoSize_; }
    // The area the picture takes inside the component.
    QWidget *videoArea() const { return videoBox_; }
    QMenu *contextMenu() const { return contextMenu_; }
    QWidget *fullScreenWindow() const { return fullScreen_; }
    // mpv's counts of frames it dropped and drew late since the medium
    // started: what a benchmark reports after playing.
    using FrameCounts = MpvClient::FrameCounts;
    FrameCounts frameCounts() const { return client_->frameCounts(); }

signals:
    // The picture cannot be shown on this display (see MpvVideoWindow).
    void pictureUnavailable();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The size with nothing (or only sound) loaded.
    static constexpr int kCompactWidth = 286;
    static constexpr int kCompactHeight = 253;

    // How the file that Open or Play is waiting for came out.
    enum class LoadOutcome { Waiting, Loaded, Ended, Redirected, Refused, EngineStopped, Cancelled };
    struct Load {
        QString path;
        qint64 entry = -1;    // the playlist entry its start-file names
        bool infoAsked = false;
        LoadOutcome outcome = LoadOutcome::Waiting;
        QString reason;
    };

    // MpvPlayer.cpp
    void buildInterface();
    void usePicture(QWidget *picture);
    void useSoftwarePicture();
    bool preparePicture();
    void buildContextMenu();
    void setPlayState(int state);
    void setReadyState(int state);
    void seekTo(double seconds);
    void seekBy(double seconds);
    void togglePlayPause();
    // Shows the state, position and length on the control bar.
    void updateControls();

    // MpvPlayerOpen.cpp
    enum class Wait { Done, TimedOut, Interrupted };
    void setOpening(bool on);
    // Runs the event loop until `done`, for `msecs` at most, or until the
    // open is cancelled or the program quits (Interrupted).
    Wait waitAlive(const std::function<bool()> &done, int msecs);
    void cancelOpen();
    std::shared_ptr<DiscTrack> findTrack(const QString &absPath, QString *reason);

    // MpvPlayerLoad.cpp
    void connectClient();
    bool loadFile(const QString &absPath, const QByteArray &options, QString *reason);
    QByteArray loadTarget(const QString &absPath);
    void waitForLogText(int msecs);
    void onStartFile(qint64 entry);
    void onFileLoaded();
    void onFileInfo(const MpvClient::FileInfo &info);
    void onEndFile(qint64 entry, MpvClient::EndReason reason, int error);
    void onPosition(double seconds);
    void onDisplaySize(qint64 width, qint64 height);
    void onEof();
    void onShutdown();
    // Why the file can no longer be played to its end; "" when it can.
    QString whyUnreadable() const;
    void finishMedium();
    void failSoon(const QString &description);
    void failPlayback(const QString &description);
    void unloadQuietly();
    void releaseStart();
    void giveChapters();
    // One chapter (a track with only its start) leaves nothing to go to:
    // fewer than two are neither given to mpv nor shown.
    static bool enoughChapters(std::size_t count) { return count >= 2; }
    void onChapters(const QList<double> &times);

    // MpvPlayerView.cpp
    void applySize();
    void layoutParts();
    void updatePartsVisibility();
    void enterFullScreen();
    void leaveFullScreen();
    void showContextMenuAt(const QPoint &globalPos);
    void seekChapter(int step);
    void fillChaptersMenu();
    void emitMouseMove(QWidget *source, QMouseEvent *event);

    // MpvPlayerMenu.cpp
    QByteArray takeCue();
    bool menuKeyPressed(QKeyEvent *event);
    void clickPicture(QWidget *source, QMouseEvent *event);
    void endMenuItem();

    // MpvPlayerAudio.cpp
    QByteArray audioOptions() const;
    void buildAudioMenus();
    void fillAudioMenus();
    void takeAudioStreams(const QStringList &streams);
    void cycleAudioChannel();
    void cycleAudioStream();
    int playingStream() const;

    bool headless_ = false;
    bool software_ = false;
    DiscTrackFinder *discTracks_ = nullptr;
    // The disc streams outlive mpv, which reads through them: declared
    // before the client, so destroyed after it.
    std::unique_ptr<MpvDiscStreams> discStreams_;
    std::unique_ptr<MpvClient> client_;
    std::shared_ptr<DiscTrack> track_;   // the loaded file's disc track, if it is one
    QString initError_;
    bool opening_ = false;
    bool openCancelled_ = false;   // by Stop or an unload while opening
    QEventLoop *wait_ = nullptr;
    bool failing_ = false;   // a failure waits for mpv's words on it
    // A file's clock waits for its first frame to be drawn (releaseStart).
    bool holdingStart_ = false;
    quint64 holdSerial_ = 0;
    Load load_;
    quint64 generation_ = 0;
    qint64 currentEntry_ = -1;
    QString lastLogError_;
    QList<double> chapters_;
    // The entry times last read, for the track they belong to.
    std::shared_ptr<DiscTrack> timedTrack_;
    std::vector<double> trackTimes_;

    int playState_ = Closed;
    int readyState_ = NothingLoaded;
    int displaySize_ = DefaultSize;
    bool autoSize_ = false;
    QString fileName_;
    qint64 fileSize_ = -1;
    QString errorDescription_;
    QMap<int, bool> viewOptions_;
    QSize videoSize_;
    double position_ = 0;
    double duration_ = 0;
    double lastPlayedPosition_ = 0;
    double speed_ = 1.0;
    bool needsReload_ = false;
    // A disc's menus: offered, taking the keys, the next Open's cue, and
    // whether what plays is a menu's item (its end keeps its picture).
    bool menuOffered_ = false;
    bool menuActive_ = false;
    std::optional<MenuCue> cue_;
    bool menuItem_ = false;
    bool endedWhileOpening_ = false;
    QAction *discMenuAction_ = nullptr;
    AudioChannel audioChannel_ = AudioChannel::Stereo;
    int audioStream_ = 0;
    QStringList audioStreams_;

    QWidget *videoBox_ = nullptr;        // black area holding the picture
    QWidget *video_ = nullptr;           // the picture: holding MpvVideoWindow, or MpvSoftwareView
    MpvVideoWindow *glWindow_ = nullptr;
    MpvSoftwareView *swView_ = nullptr;
    ControlBar *controlBar_ = nullptr;
    QMenu *contextMenu_ = nullptr;
    QMenu *chaptersMenu_ = nullptr;
    QMenu *channelMenu_ = nullptr;
    QMenu *streamsMenu_ = nullptr;
    QActionGroup *sizeGroup_ = nullptr;
    QPointer<QDialog> help_;
    QPointer<QWidget> fullScreen_;
};

} // namespace tavero
