// MpvClient: the sound's channel, its stream and where it goes.
#include "playback/MpvClient.h"

#include <mpv/client.h>

namespace tavero {

namespace {

// An MPEG program stream has room for 32 audio streams; a file claiming
// more is not believed past them. A name is a language code or a short
// title: anything longer is cut for the menu.
constexpr int kMaxAudioStreams = 32;
constexpr int kMaxNameLength = 40;

} // namespace

QStringList MpvClient::audioStreamsOf(const mpv_node &list)
{
    QStringList streams;
    if (list.format != MPV_FORMAT_NODE_ARRAY || !list.u.list)
        return streams;
    for (int i = 0; i < list.u.list->num && streams.size() < kMaxAudioStreams; ++i) {
        const mpv_node &track = list.u.list->values[i];
        if (track.format != MPV_FORMAT_NODE_MAP || !track.u.list)
            continue;
        bool isAudio = false;
        QString lang, title;
        for (int k = 0; k < track.u.list->num; ++k) {
            const char *key = track.u.list->keys[k];
            const mpv_node &v = track.u.list->values[k];
            if (v.format != MPV_FORMAT_STRING)
                continue;
            if (!qstrcmp(key, "type"))
                isAudio = !qstrcmp(v.u.string, "audio");
            else if (!qstrcmp(key, "lang"))
                lang = QString::fromUtf8(v.u.string).left(kMaxNameLength);
            else if (!qstrcmp(key, "title"))
                title = QString::fromUtf8(v.u.string).left(kMaxNameLength);
        }
        if (isAudio)
            streams << (lang.isEmpty() ? title : lang).simplified();
    }
    return streams;
}

void MpvClient::setString(const char *property, const QByteArray &value)
{
    enqueue([this, property, value](quint64 id) {
        const char *v = value.constData();
        return mpv_set_property_async(mpv_, id, property, MPV_FORMAT_STRING, &v);
    });
}

void MpvClient::setAudioChannel(AudioChannel channel)
{
    // The one channel goes to both speakers; a mono sound is made stereo
    // on its way in, so either side holds it.
    switch (channel) {
    case AudioChannel::Stereo:
        setString("af", "");
        break;
    case AudioChannel::Left:
        setString("af", "lavfi=[pan=stereo|c0=c0|c1=c0]");
        break;
    case AudioChannel::Right:
        setString("af", "lavfi=[pan=stereo|c0=c1|c1=c1]");
        break;
    }
}

void MpvClient::setAudioStream(int stream)
{
    setString("aid", stream > 0 ? QByteArray::number(stream) : QByteArray("auto"));
}

void MpvClient::writeSoundTo(const QByteArray &wavPath)
{
    setString("ao-pcm-file", wavPath);
    setString("audio-format", "s16");
    setString("ao", "pcm");
}

} // namespace tavero
