#pragma once
// The component's one line to libmpv: it owns the mpv handle and its
// options, and it is the one place that knows mpv's command and property
// names. What mpv reports comes out as typed signals, on the GUI thread;
// what the component asks goes in as asynchronous requests, so the GUI
// thread never waits for mpv's core (which may itself be waiting for the
// GUI thread to draw a frame).
//
// Events are drained from the event loop whenever mpv wakes us up. A
// caller that waits for an event (Open, for its file) runs the event loop
// meanwhile, with nested drains allowed, so the window stays alive.

#include "playback/MpvLog.h"

#include <QByteArray>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>
#include <atomic>
#include <deque>
#include <functional>
#include <vector>

struct mpv_handle;
struct mpv_event;
struct mpv_node;

namespace tavero {

class MpvClient : public QObject {
    Q_OBJECT
public:
    enum class EndReason { Eof, Stop, Quit, Error, Redirect };
    // What Open needs once a file is loaded, read in one go.
    struct FileInfo {
        double duration = -1;   // -1: mpv could not tell
        QSize display;    // mpv's dwidth x dheight, empty before the first frame
        QSize demuxed;    // the video track's size as the demuxer gives it
        // One entry per audio stream, in mpv's order (its id less one):
        // the stream's language or title, empty when it names neither.
        QStringList audio;
    };
    // Which of the sound's channels plays on both speakers.
    enum class AudioChannel { Stereo, Left, Right };
    struct FrameCounts {
        qint64 dropped = 0;
        qint64 delayed = 0;
    };

    // Headless: mpv's null audio output (no sound device is touched).
    explicit MpvClient(bool headless, QObject *parent = nullptr);
    // Ends mpv. Anything drawing for it (the render context) and anything
    // it reads through (stream callbacks) must be gone or outlive this.
    ~MpvClient() override;

    bool isValid() const { return mpv_ != nullptr; }
    // For the render context and the stream callbacks only.
    mpv_handle *handle() const { return mpv_; }

    // Asynchronous requests: each returns at once.
    // Loads `target`, replacing whatever is loaded. A disc track read from
    // sectors gets a demuxer that starts before exact seeks.
    // `options`: mpv's per-file options, "name=value,..." (may be empty).
    void loadFile(const QByteArray &target, bool discTrack, const QByteArray &options = {});
    void showText(const QString &text, int msecs);
    void stop();
    void seekTo(double seconds);
    void setPaused(bool paused);
    void setMuted(bool muted);
    void setVolume(double volume);
    void setSpeed(double factor);
    // The channel and the stream hold for what plays now; the channel also
    // for every file after it, the stream only as loadFile asks again.
    void setAudioChannel(AudioChannel channel);
    void setAudioStream(int stream);
    // The sound goes into this WAV file (16-bit) instead of a sound device:
    // for tests, before the first file.
    void writeSoundTo(const QByteArray &wavPath);
    // Gives the loaded file these chapters (seconds from its start) in
    // place of any it has; mpv reports them back as chaptersChanged.
    void setChapters(const std::vector<double> &times);
    // The render context exists: the video goes there from now on.
    void useRenderContext();
    // Reads FileInfo; fileInfo() answers.
    void requestFileInfo();
    // While a file is loaded, the position is read four times a second
    // (positionChanged): watched, it would wake the GUI thread at every
    // frame for a clock that shows seconds.
    void readPosition(bool on);

    // While on, a drain runs even inside the handler of an event that an
    // outer drain emitted: the handler waits for later events (Open called
    // from a handler waits for its file).
    void nestDrains(bool on) { nested_ = on; }
    // Frames mpv dropped or drew late since the file started, as last
    // reported.
    FrameCounts frameCounts() const { return frames_; }

public slots:
    // Emits every event waiting, unless already draining; then drained().
    void drain();

signals:
    void startFile(qint64 entry);
    void fileLoaded();
    void endFile(qint64 entry, tavero::MpvClient::EndReason reason, int error);
    // A loadfile that mpv refused outright (mpv's error code).
    void loadRefused(int error);
    void fileInfo(const tavero::MpvClient::FileInfo &info);
    void positionChanged(double seconds);
    void durationChanged(double seconds);
    // 0 for a side that mpv does not know (yet).
    void displaySizeChanged(qint64 width, qint64 height);
    void eofReached();
    // The loaded file's chapters, its own or given, in seconds.
    void chaptersChanged(const QList<double> &times);
    void volumeChanged(double volume);
    void muteChanged(bool muted);
    // mpv's own words on an error (its warnings go to standard error only).
    void errorMessage(const QString &text);
    void shutdown();
    void drained();

private:
    using Request = std::function<int(quint64 replyId)>;
    void enqueue(Request request);
    void sendNext();
    void setOption(const char *name, const char *value);
    void dispatch(const mpv_event &event);
    void propertyChanged(const mpv_event &event);
    void infoReply(const mpv_event &event);
    static QStringList audioStreamsOf(const mpv_node &trackList);
    void setString(const char *property, const QByteArray &value);

    mpv_handle *mpv_ = nullptr;
    // mpv may carry out asynchronous requests in any order; these go one
    // at a time, each when the one before has been answered.
    std::deque<Request> queue_;
    bool inFlight_ = false;
    quint64 loadSerial_ = 0;
    MpvLog log_;
    std::atomic<bool> wakeupPending_{false};
    bool draining_ = false;
    bool nested_ = false;
    qint64 displayWidth_ = 0;
    qint64 displayHeight_ = 0;
    quint64 infoSerial_ = 0;
    int infoReplies_ = 0;
    FileInfo info_;
    FrameCounts frames_;
    QTimer positionTimer_;
};

// Plain words for mpv's error codes, to follow "Cannot open ...: ".
QString mpvErrorText(int error);
// The same for a file that ended: an error's own words, or that it could
// not be loaded.
QString mpvEndText(MpvClient::EndReason reason, int error);

} // namespace tavero
