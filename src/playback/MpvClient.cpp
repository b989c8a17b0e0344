#include "playback/MpvClient.h"

#include <QMetaObject>
#include <QPointer>
#include <clocale>
#include <mpv/client.h>

namespace tavero {

namespace {

// Reply ids: the kind of request in the top byte, a serial below it, so a
// late answer to an earlier file's request is told from the latest one.
constexpr quint64 kQueued = quint64(1) << 56;
constexpr quint64 kLoad = quint64(2) << 56;
constexpr quint64 kInfo = quint64(3) << 56;
constexpr quint64 kPosition = quint64(4) << 56;
constexpr int kPositionEveryMs = 250;
constexpr quint64 kKindMask = quint64(0xff) << 56;
enum : quint64 { kInfoDuration, kInfoWidth, kInfoHeight, kInfoTracks, kInfoCount };

QSize videoSizeOfTracks(const mpv_node &list)
{
    if (list.format != MPV_FORMAT_NODE_ARRAY)
        return {};
    for (int i = 0; i < list.u.list->num; ++i) {
        const mpv_node &track = list.u.list->values[i];
        if (track.format != MPV_FORMAT_NODE_MAP)
            continue;
        bool isVideo = false;
        double tw = 0, th = 0, par = 1;
        for (int k = 0; k < track.u.list->num; ++k) {
            const char *key = track.u.list->keys[k];
            const mpv_node &v = track.u.list->values[k];
            if (!qstrcmp(key, "type") && v.format == MPV_FORMAT_STRING)
                isVideo = !qstrcmp(v.u.string, "video");
            else if (!qstrcmp(key, "demux-w") && v.format == MPV_FORMAT_INT64)
                tw = double(v.u.int64);
            else if (!qstrcmp(key, "demux-h") && v.format == MPV_FORMAT_INT64)
                th = double(v.u.int64);
            else if (!qstrcmp(key, "demux-par") && v.format == MPV_FORMAT_DOUBLE && v.u.double_ > 0)
                par = v.u.double_;
        }
        if (isVideo && tw > 0 && th > 0)
            return par >= 1 ? QSize(qRound(tw * par), int(th)) : QSize(int(tw), qRound(th / par));
    }
    return {};
}

MpvClient::EndReason endReason(int reason)
{
    switch (reason) {
    case MPV_END_FILE_REASON_EOF: return MpvClient::EndReason::Eof;
    case MPV_END_FILE_REASON_QUIT: return MpvClient::EndReason::Quit;
    case MPV_END_FILE_REASON_ERROR: return MpvClient::EndReason::Error;
    case MPV_END_FILE_REASON_REDIRECT: return MpvClient::EndReason::Redirect;
    default: return MpvClient::EndReason::Stop;
    }
}

} // namespace

QString mpvErrorText(int error)
{
    switch (error) {
    case MPV_ERROR_UNKNOWN_FORMAT:
        return QStringLiteral("it is not a recognised media format");
    case MPV_ERROR_NOTHING_TO_PLAY:
        return QStringLiteral("it holds no sound or picture that can be played");
    case MPV_ERROR_LOADING_FAILED:
        return QStringLiteral("it could not be loaded");
    default:
        return QString::fromUtf8(mpv_error_string(error));
    }
}

QString mpvEndText(MpvClient::EndReason reason, int error)
{
    return mpvErrorText(reason == MpvClient::EndReason::Error ? error : MPV_ERROR_LOADING_FAILED);
}

MpvClient::MpvClient(bool headless, QObject *parent) : QObject(parent)
{
    // libmpv refuses to start unless numbers are formatted the C way; the
    // only place the program sets it, after Qt has set the locale.
    std::setlocale(LC_NUMERIC, "C");
    mpv_ = mpv_create();
    if (!mpv_)
        return;
    // Nothing from the user's mpv set-up, no scripts, no key bindings of
    // mpv's own: the component handles input itself.
    setOption("config", "no");
    setOption("terminal", "no");
    setOption("load-scripts", "no");
    // mpv's built-in statistics page and console are scripts as well,
    // each with a Lua interpreter and a thread of its own: start-up time
    // and memory for something the component never shows.
    setOption("load-stats-overlay", "no");
    setOption("load-osd-console", "no");
    setOption("osc", "no");
    setOption("ytdl", "no");
    setOption("input-default-bindings", "no");
    setOption("input-vo-keyboard", "no");
    setOption("input-cursor", "no");
    setOption("idle", "yes");
    // The medium stays loaded at its end; the component rewinds it.
    setOption("keep-open", "yes");
    setOption("keep-open-pause", "no");
    // No sound device must not fail the file.
    setOption("audio-fallback-to-null", "yes");
    // Nothing beyond the named file is read.
    setOption("sub-auto", "no");
    setOption("audio-file-auto", "no");
    setOption("cover-art-auto", "no");
    setOption("access-references", "no");
    setOption("load-unsafe-playlists", "no");
    // The picture goes to the render context once that exists; a file
    // played without one would fail on vo=libmpv.
    setOption("vo", "null");
    // Probing hardware decoders' GL interop costs start-up time and finds
    // nothing useful for Video CD sized pictures.
    setOption("hwdec", "no");
    setOption("gpu-hwdec-interop", "no");
    // Where frames are converted by the CPU (the software picture), the
    // cheap scaler and no dithering, as mpv's own sw-fast profile has it:
    // a Video CD's 8-bit picture gains nothing from either.
    setOption("sws-scaler", "bilinear");
    setOption("sws-fast", "yes");
    setOption("zimg-scaler", "bilinear");
    setOption("zimg-dither", "no");
    if (headless)
        setOption("ao", "null");
    mpv_request_log_messages(mpv_, "warn");

    mpv_observe_property(mpv_, 0, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, 0, "dwidth", MPV_FORMAT_INT64);
    mpv_observe_property(mpv_, 0, "dheight", MPV_FORMAT_INT64);
    mpv_observe_property(mpv_, 0, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_, 0, "volume", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, 0, "mute", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_, 0, "chapter-list", MPV_FORMAT_NODE);
    mpv_observe_property(mpv_, 0, "frame-drop-count", MPV_FORMAT_INT64);
    mpv_observe_property(mpv_, 0, "vo-delayed-frame-count", MPV_FORMAT_INT64);

    connect(&positionTimer_, &QTimer::timeout, this,
            [this] { if (mpv_) mpv_get_property_async(mpv_, kPosition, "time-pos", MPV_FORMAT_DOUBLE); });
    mpv_set_wakeup_callback(
        mpv_,
        [](void *self) {
            // mpv's thread: post one drain at a time to the GUI thread.
            auto *c = static_cast<MpvClient *>(self);
            if (!c->wakeupPending_.exchange(true))
                QMetaObject::invokeMethod(c, &MpvClient::drain, Qt::QueuedConnection);
        },
        this);
    if (mpv_initialize(mpv_) < 0) {
        mpv_terminate_destroy(mpv_);
        mpv_ = nullptr;
    }
}

MpvClient::~MpvClient()
{
    if (!mpv_)
        return;
    mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
}

void MpvClient::setOption(const char *name, const char *value)
{
    mpv_set_option_string(mpv_, name, value);
}

// ---- Requests ----------------------------------------------------------

void MpvClient::enqueue(Request request)
{
    if (!mpv_)
        return;
    queue_.push_back(std::move(request));
    sendNext();
}

void MpvClient::sendNext()
{
    while (!inFlight_ && !queue_.empty() && mpv_) {
        const Request request = std::move(queue_.front());
        queue_.pop_front();
        // A request mpv did not take gets no reply: the next one goes now.
        inFlight_ = request(kQueued) >= 0;
    }
}

void MpvClient::loadFile(const QByteArray &target, bool discTrack, const QByteArray &options)
{
    log_.newMedium();
    displayWidth_ = displayHeight_ = 0;
    const quint64 serial = ++loadSerial_;
    // An exact seek in an MPEG-1 stream read from a disc lands up to 0.4 s
    // late unless the demuxer starts a little before it.
    QByteArray all = discTrack ? QByteArrayLiteral("hr-seek-demuxer-offset=1") : QByteArray();
    if (!options.isEmpty())
        all += (all.isEmpty() ? "" : ",") + options;
    enqueue([this, target, all, serial](quint64) {
        const char *args[] = {"loadfile", target.constData(), "replace", all.isEmpty() ? nullptr : all.constData(),
                              nullptr};
        const int rc = mpv_command_async(mpv_, kLoad | serial, args);
        if (rc < 0 && serial == loadSerial_)
            emit loadRefused(rc);
        return rc;
    });
}

void MpvClient::showText(const QString &text, int msecs)
{
    const QByteArray line = text.toUtf8(), duration = QByteArray::number(msecs);
    enqueue([this, line, duration](quint64 id) {
        const char *args[] = {"show-text", line.constData(), duration.constData(), nullptr};
        return mpv_command_async(mpv_, id, args);
    });
}

void MpvClient::stop()
{
    enqueue([this](quint64 id) {
        const char *args[] = {"stop", nullptr};
        return mpv_command_async(mpv_, id, args);
    });
}

void MpvClient::seekTo(double seconds)
{
    const QByteArray to = QByteArray::number(qMax(0.0, seconds), 'f', 3);
    enqueue([this, to](quint64 id) {
        const char *args[] = {"seek", to.constData(), "absolute+exact", nullptr};
        return mpv_command_async(mpv_, id, args);
    });
}

void MpvClient::setPaused(bool paused)
{
    enqueue([this, paused](quint64 id) {
        int flag = paused ? 1 : 0;
        return mpv_set_property_async(mpv_, id, "pause", MPV_FORMAT_FLAG, &flag);
    });
}

void MpvClient::setMuted(bool muted)
{
    enqueue([this, muted](quint64 id) {
        int flag = muted ? 1 : 0;
        return mpv_set_property_async(mpv_, id, "mute", MPV_FORMAT_FLAG, &flag);
    });
}

void MpvClient::setVolume(double volume)
{
    enqueue([this, volume](quint64 id) {
        double v = volume;
        return mpv_set_property_async(mpv_, id, "volume", MPV_FORMAT_DOUBLE, &v);
    });
}

void MpvClient::setSpeed(double factor)
{
    enqueue([this, factor](quint64 id) {
        double v = factor;
        return mpv_set_property_async(mpv_, id, "speed", MPV_FORMAT_DOUBLE, &v);
    });
}

void MpvClient::setChapters(const std::vector<double> &times)
{
    enqueue([this, times](quint64 id) {
        // mpv takes chapter-list as an array of {title, time} maps, copied
        // before the call returns.
        const std::size_t n = times.size();
        std::vector<QByteArray> titles(n);
        std::vector<mpv_node> items(n), values(2 * n);
        std::vector<mpv_node_list> maps(n);
        char *keys[] = {const_cast<char *>("title"), const_cast<char *>("time")};
        for (std::size_t i = 0; i < n; ++i) {
            titles[i] = "Chapter " + QByteArray::number(qulonglong(i + 1));
            values[2 * i].format = MPV_FORMAT_STRING;
            values[2 * i].u.string = titles[i].data();
            values[2 * i + 1].format = MPV_FORMAT_DOUBLE;
            values[2 * i + 1].u.double_ = times[i];
            maps[i] = {2, &values[2 * i], keys};
            items[i].format = MPV_FORMAT_NODE_MAP;
            items[i].u.list = &maps[i];
        }
        mpv_node_list array{int(n), items.data(), nullptr};
        mpv_node list;
        list.format = MPV_FORMAT_NODE_ARRAY;
        list.u.list = &array;
        return mpv_set_property_async(mpv_, id, "chapter-list", MPV_FORMAT_NODE, &list);
    });
}

void MpvClient::useRenderContext()
{
    enqueue([this](quint64 id) {
        const char *vo = "libmpv";
        return mpv_set_property_async(mpv_, id, "vo", MPV_FORMAT_STRING, &vo);
    });
}

void MpvClient::readPosition(bool on)
{
    if (!on || !mpv_) {
        positionTimer_.stop();
        return;
    }
    if (!positionTimer_.isActive())
        positionTimer_.start(kPositionEveryMs);
}

void MpvClient::requestFileInfo()
{
    if (!mpv_)
        return;
    // Reads need no order; they go at once.
    const quint64 base = kInfo | (++infoSerial_ << 8);
    info_ = FileInfo();
    infoReplies_ = kInfoCount;
    mpv_get_property_async(mpv_, base | kInfoDuration, "duration", MPV_FORMAT_DOUBLE);
    mpv_get_property_async(mpv_, base | kInfoWidth, "dwidth", MPV_FORMAT_INT64);
    mpv_get_property_async(mpv_, base | kInfoHeight, "dheight", MPV_FORMAT_INT64);
    mpv_get_property_async(mpv_, base | kInfoTracks, "track-list", MPV_FORMAT_NODE);
}

// ---- Events ------------------------------------------------------------

void MpvClient::drain()
{
    wakeupPending_ = false;
    // A handler of one of our signals may let events run; the loop below
    // is still going then and takes the rest, unless the handler waits
    // for them.
    if ((draining_ && !nested_) || !mpv_)
        return;
    const bool outer = draining_;
    draining_ = true;
    QPointer<MpvClient> self(this);
    while (self && mpv_) {
        mpv_event *ev = mpv_wait_event(mpv_, 0);
        if (ev->event_id == MPV_EVENT_NONE)
            break;
        dispatch(*ev);
    }
    if (!self)
        return;
    draining_ = outer;
    emit drained();
}

void MpvClient::dispatch(const mpv_event &ev)
{
    // Everything a signal carries is copied out first: a handler may wait
    // for mpv's next event (Open does), which invalidates this one.
    switch (ev.event_id) {
    case MPV_EVENT_LOG_MESSAGE: {
        const auto *msg = static_cast<mpv_event_log_message *>(ev.data);
        log_.print(*msg);
        if (msg->log_level <= MPV_LOG_LEVEL_ERROR)
            emit errorMessage(QString::fromUtf8(msg->text).trimmed());
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE:
        propertyChanged(ev);
        break;
    case MPV_EVENT_GET_PROPERTY_REPLY:
        infoReply(ev);
        break;
    case MPV_EVENT_SET_PROPERTY_REPLY:
    case MPV_EVENT_COMMAND_REPLY: {
        const quint64 kind = ev.reply_userdata & kKindMask;
        if (kind == kLoad && ev.error < 0 && (ev.reply_userdata & ~kKindMask) == loadSerial_)
            emit loadRefused(ev.error);
        if (kind == kQueued || kind == kLoad) {
            inFlight_ = false;
            sendNext();
        }
        break;
    }
    case MPV_EVENT_START_FILE:
        emit startFile(static_cast<mpv_event_start_file *>(ev.data)->playlist_entry_id);
        break;
    case MPV_EVENT_FILE_LOADED:
        emit fileLoaded();
        break;
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<mpv_event_end_file *>(ev.data);
        emit endFile(end->playlist_entry_id, endReason(end->reason), end->error);
        break;
    }
    case MPV_EVENT_SHUTDOWN:
        emit shutdown();
        break;
    default:
        break;
    }
}

void MpvClient::propertyChanged(const mpv_event &ev)
{
    const auto *p = static_cast<mpv_event_property *>(ev.data);
    const QByteArray name(p->name);
    const bool isDouble = p->format == MPV_FORMAT_DOUBLE, isInt = p->format == MPV_FORMAT_INT64,
               isFlag = p->format == MPV_FORMAT_FLAG;
    if (name == "duration") {
        if (isDouble)
            emit durationChanged(*static_cast<double *>(p->data));
    } else if (name == "dwidth" || name == "dheight") {
        (name == "dwidth" ? displayWidth_ : displayHeight_) = isInt ? *static_cast<int64_t *>(p->data) : 0;
        emit displaySizeChanged(displayWidth_, displayHeight_);
    } else if (name == "eof-reached") {
        if (isFlag && *static_cast<int *>(p->data))
            emit eofReached();
    } else if (name == "volume") {
        if (isDouble)
            emit volumeChanged(*static_cast<double *>(p->data));
    } else if (name == "mute") {
        if (isFlag)
            emit muteChanged(*static_cast<int *>(p->data));
    } else if (name == "chapter-list") {
        QList<double> times;
        const auto *list = static_cast<mpv_node *>(p->data);
        for (int i = 0; p->format == MPV_FORMAT_NODE && list->format == MPV_FORMAT_NODE_ARRAY && i < list->u.list->num; ++i) {
            const mpv_node &chapter = list->u.list->values[i];
            for (int k = 0; chapter.format == MPV_FORMAT_NODE_MAP && k < chapter.u.list->num; ++k)
                if (!qstrcmp(chapter.u.list->keys[k], "time") && chapter.u.list->values[k].format == MPV_FORMAT_DOUBLE)
                    times << chapter.u.list->values[k].u.double_;
        }
        emit chaptersChanged(times);
    } else if (name == "frame-drop-count") {
        frames_.dropped = isInt ? *static_cast<int64_t *>(p->data) : 0;
    } else if (name == "vo-delayed-frame-count") {
        frames_.delayed = isInt ? *static_cast<int64_t *>(p->data) : 0;
    }
}

void MpvClient::infoReply(const mpv_event &ev)
{
    const auto *value = static_cast<mpv_event_property *>(ev.data);
    if ((ev.reply_userdata & kKindMask) == kPosition) {
        if (ev.error >= 0 && value && value->format == MPV_FORMAT_DOUBLE)
            emit positionChanged(*static_cast<double *>(value->data));
        return;
    }
    if ((ev.reply_userdata & kKindMask) != kInfo || ((ev.reply_userdata & ~kKindMask) >> 8) != infoSerial_ ||
        infoReplies_ == 0)
        return;
    const auto *p = static_cast<mpv_event_property *>(ev.data);
    if (ev.error >= 0 && p) {
        switch (ev.reply_userdata & 0xff) {
        case kInfoDuration:
            if (p->format == MPV_FORMAT_DOUBLE)
                info_.duration = *static_cast<double *>(p->data);
            break;
        case kInfoWidth:
            if (p->format == MPV_FORMAT_INT64)
                displayWidth_ = *static_cast<int64_t *>(p->data);
            break;
        case kInfoHeight:
            if (p->format == MPV_FORMAT_INT64)
                displayHeight_ = *static_cast<int64_t *>(p->data);
            break;
        case kInfoTracks:
            if (p->format == MPV_FORMAT_NODE) {
                info_.demuxed = videoSizeOfTracks(*static_cast<mpv_node *>(p->data));
                info_.audio = audioStreamsOf(*static_cast<mpv_node *>(p->data));
            }
            break;
        default:
            break;
        }
    }
    if (--infoReplies_ == 0) {
        if (displayWidth_ > 0 && displayHeight_ > 0)
            info_.display = QSize(int(displayWidth_), int(displayHeight_));
        emit fileInfo(info_);
    }
}

} // namespace tavero
