#include "playback/MpvLog.h"

#include <cstdio>
#include <mpv/client.h>

namespace tavero {

void MpvLog::print(const mpv_event_log_message &message)
{
    const QByteArray text = QByteArray(message.text).trimmed();
    if (message.log_level > MPV_LOG_LEVEL_WARN || full_ || text.isEmpty())
        return;
    // The module before the text, as mpv's own player shows it: "Playback
    // open error" is about the sound device only with "[ao/alsa]" before it.
    const QByteArray line =
        qstrcmp(message.prefix, "cplayer") == 0 ? text : '[' + QByteArray(message.prefix) + "] " + text;
    // "ac-tex damaged at 17 14", "... at 4 15": one line to a reader.
    QByteArray shape;
    for (const char c : line) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit || !shape.endsWith('#'))
            shape += digit ? '#' : c;
    }
    if (printed_.contains(shape))
        return;
    if (printed_.size() == kMaxLines) {
        full_ = true;
        std::fputs("tavero-player: mpv: (more messages about this medium left out)\n", stderr);
        return;
    }
    printed_.insert(shape);
    std::fprintf(stderr, "tavero-player: mpv: %s\n", line.constData());
}

void MpvLog::newMedium()
{
    printed_.clear();
    full_ = false;
}

} // namespace tavero
