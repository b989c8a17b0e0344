// MpvPlayer: opening a file, and what mpv reports while it plays.
#include "playback/MpvPlayer.h"
#include "disc/Disc.h"
#include "disc/DiscEntries.h"
#include "playback/ControlBar.h"
#include "playback/MpvDiscStreams.h"
#include "playback/MpvSoftwareView.h"
#include "playback/MpvVideoWindow.h"

#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <QTimer>

namespace tavero {

namespace {

constexpr int kOpenTimeoutMs = 10000;

} // namespace

void MpvPlayer::connectClient()
{
    MpvClient *c = client_.get();
    connect(c, &MpvClient::startFile, this, &MpvPlayer::onStartFile);
    connect(c, &MpvClient::fileLoaded, this, &MpvPlayer::onFileLoaded);
    connect(c, &MpvClient::fileInfo, this, &MpvPlayer::onFileInfo);
    connect(c, &MpvClient::endFile, this, &MpvPlayer::onEndFile);
    connect(c, &MpvClient::loadRefused, this, [this](int error) {
        if (opening_ && load_.outcome == LoadOutcome::Waiting) {
            load_.outcome = LoadOutcome::Refused;
            load_.reason = mpvErrorText(error);
        }
    });
    connect(c, &MpvClient::positionChanged, this, &MpvPlayer::onPosition);
    connect(c, &MpvClient::durationChanged, this, [this](double seconds) {
        duration_ = seconds;
        updateControls();
    });
    connect(c, &MpvClient::displaySizeChanged, this, &MpvPlayer::onDisplaySize);
    connect(c, &MpvClient::chaptersChanged, this, &MpvPlayer::onChapters);
    connect(c, &MpvClient::eofReached, this, &MpvPlayer::onEof);
    connect(c, &MpvClient::errorMessage, this, [this](const QString &text) { lastLogError_ = text; });
    connect(c, &MpvClient::shutdown, this, &MpvPlayer::onShutdown);
}

bool MpvPlayer::loadFile(const QString &abs, const QByteArray &options, QString *reason)
{
    // Events of whatever played before are handled on the way; the new
    // file is recognised by the playlist entry its start-file names.
    currentEntry_ = -1;
    lastLogError_.clear();
    position_ = lastPlayedPosition_ = duration_ = 0;
    videoSize_ = QSize();
    needsReload_ = false;
    failing_ = false;
    load_ = Load{};
    load_.path = abs;
    // The picture's contexts, started at construction, must be there
    // before mpv starts the video output for the file. The file starts
    // paused, on its first frame, until that frame has been drawn: the
    // first frame compiles the picture's shaders, which on a software
    // renderer with a cold shader cache takes longer than a frame lasts,
    // and frames falling due meanwhile would be dropped.
    holdingStart_ = preparePicture();
    client_->setPaused(holdingStart_);
    if (holdingStart_) {
        if (swView_)
            swView_->reportNextFrame();
        else
            glWindow_->reportNextFrame();
        // Should no frame come (a picture that cannot be drawn), the
        // sound does not wait for it long.
        QTimer::singleShot(1000, this, [this, serial = ++holdSerial_] {
            if (serial == holdSerial_)
                releaseStart();
        });
    }
    client_->loadFile(loadTarget(abs), track_ != nullptr,
                      options.isEmpty() ? audioOptions() : audioOptions() + ',' + options);
    // mpv may show the first frame before it reports the file loaded; the
    // drawing thread takes it meanwhile. A drive spinning up, or a slow
    // share, takes seconds to answer: the window goes on meanwhile.
    const Wait waited = waitAlive([this] { return load_.outcome != LoadOutcome::Waiting; }, kOpenTimeoutMs);
    if (waited == Wait::Interrupted && load_.outcome == LoadOutcome::Waiting)
        load_.outcome = LoadOutcome::Cancelled;   // the program is quitting
    switch (load_.outcome) {
    case LoadOutcome::Loaded:
        giveChapters();
        return true;
    case LoadOutcome::Waiting:
        client_->stop();
        *reason = QStringLiteral("it did not load within %1 seconds").arg(kOpenTimeoutMs / 1000);
        return false;
    case LoadOutcome::Redirected:
        // A playlist: its entries are other files, not this one.
        client_->stop();
        *reason = QStringLiteral("it is a playlist, not a media file");
        return false;
    case LoadOutcome::Ended:
        waitForLogText(300);
        *reason = load_.reason;
        if (!lastLogError_.isEmpty())
            *reason += QStringLiteral(" (%1)").arg(lastLogError_);
        return false;
    case LoadOutcome::Refused:
        *reason = load_.reason;
        return false;
    case LoadOutcome::EngineStopped:
        *reason = QStringLiteral("the video engine stopped");
        return false;
    case LoadOutcome::Cancelled:
        client_->stop();
        reason->clear();
        return false;
    }
    return false;
}

QByteArray MpvPlayer::loadTarget(const QString &abs)
{
    return track_ && discStreams_ ? discStreams_->address(track_) : QFile::encodeName(abs);
}

void MpvPlayer::waitForLogText(int msecs)
{
    // mpv's own words on a failure come as log messages, sometimes after
    // the end-file event.
    waitAlive([this] { return !lastLogError_.isEmpty(); }, msecs);
}

// ---- mpv's events -------------------------------------------------------

void MpvPlayer::onStartFile(qint64 entry)
{
    if (opening_ && load_.entry < 0)
        load_.entry = entry;
}

void MpvPlayer::onFileLoaded()
{
    if (!opening_ || load_.entry < 0 || currentEntry_ >= 0)
        return;
    currentEntry_ = load_.entry;
    fileSize_ = QFileInfo(load_.path).size();
    client_->setSpeed(speed_);
    client_->requestFileInfo();
    load_.infoAsked = true;
}

void MpvPlayer::onFileInfo(const MpvClient::FileInfo &info)
{
    if (!opening_ || !load_.infoAsked || load_.outcome != LoadOutcome::Waiting)
        return;
    if (info.duration >= 0)
        duration_ = info.duration;
    // Before the first frame is decoded (or without a video output yet)
    // the demuxer's numbers give the same size.
    videoSize_ = info.display.isEmpty() ? info.demuxed : info.display;
    takeAudioStreams(info.audio);
    updateControls();
    load_.outcome = LoadOutcome::Loaded;
    if (videoSize_.isEmpty())
        releaseStart();   // sound alone: no frame to wait for
}

void MpvPlayer::onEndFile(qint64 entry, MpvClient::EndReason reason, int error)
{
    if (opening_) {
        if (load_.entry < 0 || entry != load_.entry || load_.outcome != LoadOutcome::Waiting)
            return;
        load_.outcome = reason == MpvClient::EndReason::Redirect ? LoadOutcome::Redirected : LoadOutcome::Ended;
        load_.reason = mpvEndText(reason, error);
        return;
    }
    if (entry != currentEntry_ || currentEntry_ < 0)
        return;
    if (reason == MpvClient::EndReason::Error) {
        currentEntry_ = -1;
        failSoon(QStringLiteral("Playback of \"%1\" failed: %2").arg(fileName_, mpvEndText(reason, error)));
    } else if (reason == MpvClient::EndReason::Eof) {
        // mpv let go of the file after all; Play loads it again.
        currentEntry_ = -1;
        needsReload_ = true;
        if (playState_ == Playing)
            finishMedium();
    }
}

void MpvPlayer::onPosition(double seconds)
{
    if (readyState_ != Loaded || opening_)
        return;
    position_ = seconds;
    if (playState_ == Playing)
        lastPlayedPosition_ = position_;
    updateControls();
}

void MpvPlayer::onDisplaySize(qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0 || readyState_ != Loaded || opening_)
        return;
    const QSize size{int(width), int(height)};
    if (size != videoSize_) {
        videoSize_ = size;
        applySize();
    }
}

void MpvPlayer::onEof()
{
    if (playState_ == Playing && readyState_ == Loaded && !opening_ && !failing_)
        finishMedium();
    else if (opening_)
        endedWhileOpening_ = true;
}

void MpvPlayer::onShutdown()
{
    if (opening_) {
        if (load_.outcome == LoadOutcome::Waiting)
            load_.outcome = LoadOutcome::EngineStopped;
        return;
    }
    if (readyState_ == Loaded)
        failPlayback(QStringLiteral("The video engine stopped."));
}

void MpvPlayer::giveChapters()
{
    if (!track_)
        return;
    // mpv forgets them when it loads the track again (Play after its end).
    if (timedTrack_ == track_) {
        if (enoughChapters(trackTimes_.size()))
            client_->setChapters(trackTimes_);
        return;
    }
    // A drive may take seconds over the sectors the times are read from.
    auto *watch = new QFutureWatcher<std::vector<double>>(this);
    connect(watch, &QFutureWatcherBase::finished, this, [this, watch, track = track_, gen = generation_] {
        watch->deleteLater();
        timedTrack_ = track;
        trackTimes_ = watch->result();
        if (gen == generation_ && track == track_ && enoughChapters(trackTimes_.size()))
            client_->setChapters(trackTimes_);
    });
    watch->setFuture(QtConcurrent::run([track = track_] { return entryTimes(track); }));
}

void MpvPlayer::onChapters(const QList<double> &times)
{
    chapters_ = enoughChapters(std::size_t(times.size())) && readyState_ != NothingLoaded ? times : QList<double>();
    controlBar_->showChapters(chapters_);
}

// ---- End and failure ----------------------------------------------------

QString MpvPlayer::whyUnreadable() const
{
    if (track_ && track_->brokeOff)
        return QStringLiteral("the disc could not be read there");
    const QFileInfo info(fileName_);
    if (!info.exists())
        return QStringLiteral("the file is gone");
    if (info.size() != fileSize_)
        return QStringLiteral("the file changed while it played");
    QFile f(fileName_);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("the file can no longer be read (%1)").arg(f.errorString());
    return QString();
}

void MpvPlayer::finishMedium()
{
    const double reached = lastPlayedPosition_;
    // A stream that breaks off (a disc taken out, a file cut while it
    // plays) reaches mpv as an early end of file.
    if (const QString broken = whyUnreadable(); !broken.isEmpty()) {
        failPlayback(QStringLiteral("Playback of \"%1\" broke off at %2: %3.")
                         .arg(fileName_, ControlBar::formatTime(reached), broken));
        return;
    }
    if (menuItem_) {
        endMenuItem();
        return;
    }
    const quint64 gen = generation_;
    seekTo(0);
    client_->setPaused(true);
    position_ = 0;
    updateControls();
    setPlayState(Stopped);
    // Only after the play-state handler has returned, and only if that
    // handler left the medium as it was.
    if (gen == generation_ && playState_ == Stopped && readyState_ == Loaded)
        emit EndOfStream(0);
}

void MpvPlayer::failSoon(const QString &description)
{
    // mpv's own words on a failure come as a log message, sometimes after
    // the end-file event. They are waited for a little, without holding up
    // the GUI thread; whatever the user does meanwhile comes first.
    const quint64 gen = generation_;
    failing_ = true;
    auto fail = [this, gen, description] {
        if (!failing_ || gen != generation_)
            return;
        failing_ = false;
        failPlayback(lastLogError_.isEmpty() ? description + QLatin1Char('.')
                                             : QStringLiteral("%1 (%2).").arg(description, lastLogError_));
    };
    if (!lastLogError_.isEmpty()) {
        fail();
        return;
    }
    // Whichever comes first fails the medium; the other finds nothing to do.
    auto *wait = new QObject(this);
    connect(client_.get(), &MpvClient::errorMessage, wait, fail);
    QTimer::singleShot(300, wait, [fail, wait] {
        wait->deleteLater();
        fail();
    });
}

void MpvPlayer::failPlayback(const QString &description)
{
    failing_ = false;
    errorDescription_ = description;
    const quint64 gen = ++generation_;
    const int before = playState_;
    unloadQuietly();
    applySize();
    // A medium that gives out falls to stopped before it is closed, as one
    // that is stopped and unloaded does: the window's stopped state (menus
    // offering Open File again, the status timer watching the drive) hangs
    // on that fall, and an Error that the window ignores sets nothing.
    // Nothing is loaded any more by then, so nothing can be played in it.
    setReadyState(NothingLoaded);
    if (gen == generation_ && (before == Playing || before == Paused))
        setPlayState(Stopped);
    if (gen == generation_)
        setPlayState(Closed);
    if (gen == generation_)
        emit Error();
}

void MpvPlayer::releaseStart()
{
    if (!holdingStart_)
        return;
    holdingStart_ = false;
    // Open and Play set Playing once the file has loaded.
    if (playState_ == Playing || opening_)
        client_->setPaused(false);
}

void MpvPlayer::unloadQuietly()
{
    holdingStart_ = false;
    client_->stop();
    currentEntry_ = -1;
    fileName_.clear();
    track_.reset();
    fileSize_ = -1;
    videoSize_ = QSize();
    position_ = duration_ = lastPlayedPosition_ = 0;
    needsReload_ = false;
    onChapters({});
    updateControls();
}

} // namespace tavero
