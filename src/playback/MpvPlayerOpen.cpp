// MpvPlayer: Open, and the waits for mpv and the disc, which keep the
// window's events running.
#include "playback/MpvPlayer.h"
#include "disc/Disc.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace tavero {

namespace {

// A drive spinning up takes up to eight seconds before it reads anything.
constexpr int kDiscTimeoutMs = 10000;

} // namespace

void MpvPlayer::setOpening(bool on)
{
    // Open may be called from the handler of one of mpv's events (a menu
    // item's end); its file's events must reach it all the same.
    opening_ = on;
    client_->nestDrains(on);
    if (on)
        openCancelled_ = false;
    else
        QMetaObject::invokeMethod(client_.get(), &MpvClient::drain, Qt::QueuedConnection);
}

MpvPlayer::Wait MpvPlayer::waitAlive(const std::function<bool()> &done, int msecs)
{
    if (done())
        return Wait::Done;
    QEventLoop loop;
    QEventLoop *outer = std::exchange(wait_, &loop);
    bool timedOut = false;
    QTimer::singleShot(msecs, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    // mpv's answers come with its events; the disc's read is looked at.
    const auto look = [&] {
        if (done() || openCancelled_)
            loop.quit();
    };
    connect(client_.get(), &MpvClient::drained, &loop, look);
    // mpv wakes us once until its queue is read: a wake-up taken by a
    // drain that could not run then (inside an outer drain's handler,
    // before the wait) would be the last.
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        client_->drain();
        look();
    });
    poll.start(20);
    loop.exec();
    wait_ = outer;
    if (done())
        return Wait::Done;
    // Quit by cancelOpen, or by the program quitting, which ends every
    // event loop.
    return timedOut && !openCancelled_ ? Wait::TimedOut : Wait::Interrupted;
}

void MpvPlayer::cancelOpen()
{
    openCancelled_ = true;
    if (wait_)
        wait_->quit();
}

std::shared_ptr<DiscTrack> MpvPlayer::findTrack(const QString &abs, QString *reason)
{
    if (!discTracks_)
        return nullptr;
    // A disc just mounted: its directory may still be being read.
    bool pending = false;
    std::shared_ptr<DiscTrack> track = discTracks_->find(abs, &pending);
    if (!pending)
        return track;
    const Wait waited = waitAlive(
        [&] {
            track = discTracks_->find(abs, &pending);
            return !pending;
        },
        kDiscTimeoutMs);
    if (waited == Wait::TimedOut)
        *reason = QStringLiteral("the disc did not answer within %1 seconds").arg(kDiscTimeoutMs / 1000);
    else if (waited == Wait::Interrupted)
        openCancelled_ = true;
    return track;
}

bool MpvPlayer::Open(const QString &path, QString *error)
{
    // An absolute path starts with "/": mpv cannot take it for a URL, a
    // protocol ("av://", "http:"), an option or standard input ("-").
    const QString abs = path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString shown = abs.isEmpty() ? QStringLiteral("(no name)") : abs;
    auto fail = [&](const QString &reason) {
        errorDescription_ = QStringLiteral("Cannot open \"%1\": %2.").arg(shown, reason);
        if (error)
            *error = errorDescription_;
        return false;
    };
    if (!client_->isValid())
        return fail(initError_);
    if (opening_)
        return fail(QStringLiteral("another file is being opened"));
    if (path.isEmpty())
        return fail(QStringLiteral("no file name was given"));

    const QFileInfo info(abs);
    QString reason;
    if (!info.exists())
        reason = QStringLiteral("there is no such file");
    else if (info.isDir())
        reason = QStringLiteral("it is a folder, not a media file");
    else if (!info.isFile())
        reason = QStringLiteral("it is not an ordinary file");
    else {
        QFile f(abs);
        if (!f.open(QIODevice::ReadOnly))
            reason = QStringLiteral("it cannot be read (%1)").arg(f.errorString());
        else if (f.size() == 0)
            reason = QStringLiteral("the file is empty");
    }

    const int oldPlay = playState_;
    const QByteArray cue = takeCue();
    track_.reset();
    if (reason.isEmpty()) {
        setOpening(true);
        ++generation_;
        setReadyState(Loading);
        track_ = findTrack(abs, &reason);
        const bool ok = reason.isEmpty() && !openCancelled_ && loadFile(abs, cue, &reason);
        setOpening(false);
        if (ok) {
            fileName_ = abs;
            applySize();
            setReadyState(Loaded);
            setPlayState(Playing);
            // A still is over as soon as its picture is up.
            if (menuItem_ && endedWhileOpening_)
                endMenuItem();
            return true;
        }
    }
    const bool cancelled = reason.isEmpty();
    // Nothing stays loaded, whatever was loaded before.
    if (readyState_ != NothingLoaded || oldPlay != Closed)
        unloadQuietly();
    // A load cancelled (File > Close, the program quitting) is no failure.
    if (!cancelled)
        fail(reason);
    else if (error)
        error->clear();
    const quint64 gen = ++generation_;
    fileName_.clear();
    applySize();
    setPlayState(Closed);
    if (gen == generation_)
        setReadyState(NothingLoaded);
    return false;
}

} // namespace tavero
