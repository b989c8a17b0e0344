// MpvPlayer: the sound's channel, its stream and its volume.
#include "playback/ControlBar.h"
#include "playback/MpvPlayer.h"

#include <QActionGroup>
#include <QMenu>

namespace tavero {

void MpvPlayer::buildAudioMenus()
{
    channelMenu_ = contextMenu_->addMenu(tr("Cha&nnel"));
    channelMenu_->setObjectName(QStringLiteral("channels"));
    auto *group = new QActionGroup(channelMenu_);
    const struct {
        const char *text;
        AudioChannel channel;
    } channels[] = {{"&Stereo", AudioChannel::Stereo}, {"&Left", AudioChannel::Left}, {"&Right", AudioChannel::Right}};
    for (const auto &c : channels) {
        QAction *a = channelMenu_->addAction(tr(c.text));
        a->setCheckable(true);
        a->setData(int(c.channel));
        group->addAction(a);
        const AudioChannel channel = c.channel;
        connect(a, &QAction::triggered, this, [this, channel] { setAudioChannel(channel); });
    }
    streamsMenu_ = contextMenu_->addMenu(tr("Aud&io"));
    streamsMenu_->setObjectName(QStringLiteral("audioStreams"));
    streamsMenu_->menuAction()->setVisible(false);
    connect(controlBar_, &ControlBar::volumeChanged, this, &MpvPlayer::VolumeChange);
}

void MpvPlayer::fillAudioMenus()
{
    for (QAction *a : channelMenu_->actions())
        a->setChecked(a->data().toInt() == int(audioChannel_));
    streamsMenu_->clear();
    const int count = readyState_ == Loaded ? int(audioStreams_.size()) : 0;
    streamsMenu_->menuAction()->setVisible(count >= 2);
    for (int i = 0; count >= 2 && i < count; ++i) {
        QString name = audioStreams_[i];
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction *a = streamsMenu_->addAction(name.isEmpty() ? tr("Audio %1").arg(i + 1)
                                                            : tr("Audio %1 (%2)").arg(i + 1).arg(name));
        a->setCheckable(true);
        a->setChecked(i + 1 == playingStream());
        const int stream = i + 1;
        connect(a, &QAction::triggered, this, [this, stream] { setAudioStream(stream); });
    }
}

void MpvPlayer::setAudioChannel(AudioChannel channel)
{
    audioChannel_ = channel;
    client_->setAudioChannel(channel);
}

void MpvPlayer::cycleAudioChannel()
{
    setAudioChannel(AudioChannel((int(audioChannel_) + 1) % 3));
}

int MpvPlayer::playingStream() const
{
    return audioStream_ >= 1 && audioStream_ <= audioStreams_.size() ? audioStream_ : 1;
}

void MpvPlayer::setAudioStream(int stream)
{
    if (stream < 1)
        return;
    audioStream_ = stream;
    // A medium without it keeps the stream it plays; the choice waits for
    // one that has it.
    if (readyState_ == Loaded && stream <= audioStreams_.size())
        client_->setAudioStream(stream);
}

// The stream chosen is asked of each file alone, so that one chosen while a
// file plays does not outlive it.
QByteArray MpvPlayer::audioOptions() const
{
    return "aid=" + (audioStream_ > 0 ? QByteArray::number(audioStream_) : QByteArrayLiteral("auto"));
}

void MpvPlayer::cycleAudioStream()
{
    if (readyState_ == Loaded && audioStreams_.size() >= 2)
        setAudioStream(playingStream() % int(audioStreams_.size()) + 1);
}

// The medium was loaded asking for the chosen stream; one that lacks it
// would play no sound at all.
void MpvPlayer::takeAudioStreams(const QStringList &streams)
{
    audioStreams_ = streams;
    if (audioStream_ > streams.size() && !streams.isEmpty())
        client_->setAudioStream(0);
}

int MpvPlayer::Volume() const
{
    return controlBar_->volume();
}

void MpvPlayer::setVolume(int volume)
{
    controlBar_->setVolume(volume);
}

} // namespace tavero
