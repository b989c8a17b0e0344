#include "support/FakeMediaPlayer.h"

#include <QTimer>

namespace tavero::test {

FakeMediaPlayer::FakeMediaPlayer(QWidget *parent) : MediaPlayer(parent)
{
    resize(videoSize_);
}

void FakeMediaPlayer::setDisplaySize(int size)
{
    calls << QStringLiteral("setDisplaySize %1").arg(size);
    displaySize = size;
    applySize();
}

void FakeMediaPlayer::setFileName(const QString &path)
{
    calls << QStringLiteral("setFileName %1").arg(path);
    if (!path.isEmpty())
        return;
    fileName.clear();
    setPlayState(Closed);
    setReadyState(NothingLoaded);
}

void FakeMediaPlayer::setAutoSize(bool on)
{
    calls << QStringLiteral("setAutoSize %1").arg(on);
    autoSize = on;
    applySize();
}

void FakeMediaPlayer::setViewOption(int id, bool on)
{
    calls << QStringLiteral("setViewOption %1 %2").arg(id).arg(on);
    viewOptions[id] = on;
}

bool FakeMediaPlayer::Play(QString *error)
{
    calls << QStringLiteral("Play");
    if (playFails || readyState != Loaded) {
        if (error)
            *error = QStringLiteral("Nothing to play");
        return false;
    }
    setPlayState(Playing);
    return true;
}

bool FakeMediaPlayer::Pause(QString *)
{
    calls << QStringLiteral("Pause");
    if (playState == Playing)
        setPlayState(Paused);
    return true;
}

bool FakeMediaPlayer::Stop(QString *)
{
    calls << QStringLiteral("Stop");
    if (playState == Playing || playState == Paused)
        setPlayState(Stopped);
    return true;
}

bool FakeMediaPlayer::Open(const QString &path, QString *error)
{
    calls << QStringLiteral("Open %1").arg(path);
    if (!openError.isEmpty()) {
        if (error)
            *error = openError;
        return false;
    }
    fileName = path;
    setReadyState(Loaded);
    setPlayState(Playing);
    return true;
}

void FakeMediaPlayer::ShowDialog(int which)
{
    calls << QStringLiteral("ShowDialog %1").arg(which);
}

void FakeMediaPlayer::finishMedium(EndOrder order)
{
    if (order == EndOrder::EndThenStop)
        raise([this] { emit EndOfStream(0); });
    setPlayState(Stopped);
    if (order == EndOrder::StopThenEnd)
        raise([this] { emit EndOfStream(0); });
}

void FakeMediaPlayer::raiseError(const QString &description)
{
    errorDescription = description;
    raise([this] { emit Error(); });
}

void FakeMediaPlayer::setPlayState(int state)
{
    const int old = playState;
    if (old == state)
        return;
    playState = state;
    raise([this, old, state] { emit PlayStateChange(old, state); });
}

void FakeMediaPlayer::setReadyState(int state)
{
    if (readyState == state)
        return;
    readyState = state;
    raise([this, state] { emit ReadyStateChange(state); });
}

void FakeMediaPlayer::raise(std::function<void()> event)
{
    if (!quiet)
        later ? QTimer::singleShot(0, this, std::move(event)) : event();
}

void FakeMediaPlayer::setVideoSize(QSize size)
{
    videoSize_ = size;
    applySize();
}

void FakeMediaPlayer::applySize()
{
    if (autoSize && displaySize != FullScreen)
        resize(displaySize == HalfSize ? videoSize_ / 2 : displaySize == DoubleSize ? videoSize_ * 2 : videoSize_);
}

} // namespace tavero::test
