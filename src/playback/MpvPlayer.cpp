#include "playback/MpvPlayer.h"
#include "platform/Disc.h"
#include "playback/MpvDiscStreams.h"
#include "playback/MpvVideoWindow.h"

#include <QActionGroup>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <clocale>
#include <vector>
#include <mpv/client.h>

namespace tavero {

namespace {

constexpr int kOpenTimeoutMs = 10000;
constexpr int kCompactWidth = 286;
constexpr int kCompactHeight = 253;
constexpr double kSeekStep = 5.0;
// Reply ids of the reads Open makes once the file is loaded.
enum : uint64_t { kReplyDuration = 0x74617601, kReplyWidth, kReplyHeight, kReplyTracks };

QString formatTime(double seconds)
{
    const int s = seconds > 0 ? int(seconds) : 0;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

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

bool isUnder(const QWidget *w, const QWidget *ancestor)
{
    for (; w; w = w->parentWidget())
        if (w == ancestor)
            return true;
    return false;
}

} // namespace

MpvPlayer::MpvPlayer(QWidget *parent) : MpvPlayer(Output::Auto, parent) {}

MpvPlayer::MpvPlayer(Output output, QWidget *parent) : MediaPlayer(parent)
{
    if (output == Output::Auto) {
        const QString platform = QGuiApplication::platformName();
        output = (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) ? Output::Headless
                                                                                                 : Output::Window;
    }
    headless_ = output == Output::Headless;
    setFocusPolicy(Qt::StrongFocus);
    createMpv();
    buildInterface();
    resize(kCompactWidth, kCompactHeight);
}

MpvPlayer::~MpvPlayer()
{
    if (mpv_)
        mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
    // The render context goes first, with its GL context current.
    if (glWindow_)
        glWindow_->releaseRenderContext();
    // The picture may sit in the full-screen window, which is no child: it
    // goes with that window. Moving it back would touch the window it sat
    // in before, which may be half destroyed by now (ours going with our
    // main window).
    if (fullScreen_)
        delete fullScreen_;
    if (mpv_) {
        mpv_terminate_destroy(mpv_);
        mpv_ = nullptr;
    }
}

void MpvPlayer::createMpv()
{
    // libmpv refuses to start unless numbers are formatted the C way.
    std::setlocale(LC_NUMERIC, "C");
    mpv_ = mpv_create();
    if (!mpv_) {
        initError_ = QStringLiteral("The video engine (libmpv) could not be started.");
        return;
    }
    auto set = [this](const char *name, const char *value) { mpv_set_option_string(mpv_, name, value); };
    // Nothing from the user's mpv set-up, no scripts, no key bindings of
    // mpv's own: this component handles input itself.
    set("config", "no");
    set("terminal", "no");
    set("load-scripts", "no");
    // mpv's built-in statistics page and console are scripts as well,
    // each with a Lua interpreter and a thread of its own: start-up time
    // and memory for something this component never shows.
    set("load-stats-overlay", "no");
    set("load-osd-console", "no");
    set("osc", "no");
    set("ytdl", "no");
    set("input-default-bindings", "no");
    set("input-vo-keyboard", "no");
    set("input-cursor", "no");
    set("idle", "yes");
    // The medium stays loaded at its end; this component rewinds it.
    set("keep-open", "yes");
    set("keep-open-pause", "no");
    // No sound device must not fail the file.
    set("audio-fallback-to-null", "yes");
    // Nothing beyond the named file is read.
    set("sub-auto", "no");
    set("audio-file-auto", "no");
    set("cover-art-auto", "no");
    set("access-references", "no");
    set("load-unsafe-playlists", "no");
    // The picture goes to the render context once that exists; a file
    // played without one would fail on vo=libmpv.
    set("vo", "null");
    // Probing hardware decoders' GL interop costs start-up time and finds
    // nothing useful for Video CD sized pictures.
    set("hwdec", "no");
    set("gpu-hwdec-interop", "no");
    if (headless_)
        set("ao", "null");
    mpv_request_log_messages(mpv_, "warn");
    discStreams_ = std::make_unique<MpvDiscStreams>(mpv_);

    mpv_observe_property(mpv_, 0, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, 0, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, 0, "dwidth", MPV_FORMAT_INT64);
    mpv_observe_property(mpv_, 0, "dheight", MPV_FORMAT_INT64);
    mpv_observe_property(mpv_, 0, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_, 0, "volume", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv_, 0, "mute", MPV_FORMAT_FLAG);

    mpv_set_wakeup_callback(
        mpv_,
        [](void *self) {
            // mpv's thread: post one drain at a time to the GUI thread.
            auto *p = static_cast<MpvPlayer *>(self);
            if (!p->wakeupPending_.exchange(true))
                QMetaObject::invokeMethod(p, "drainEvents", Qt::QueuedConnection);
        },
        this);
    if (mpv_initialize(mpv_) < 0) {
        mpv_terminate_destroy(mpv_);
        mpv_ = nullptr;
        initError_ = QStringLiteral("The video engine (libmpv) could not be started.");
    }
}

void MpvPlayer::buildInterface()
{
    videoBox_ = new QWidget(this);
    videoBox_->setObjectName(QStringLiteral("videoArea"));
    videoBox_->setAutoFillBackground(true);
    QPalette black = videoBox_->palette();
    black.setColor(QPalette::Window, Qt::black);
    videoBox_->setPalette(black);
    videoBox_->setMouseTracking(true);
    videoBox_->installEventFilter(this);
    if (headless_ || !mpv_) {
        video_ = new QWidget(videoBox_);
        video_->setAutoFillBackground(true);
        video_->setPalette(black);
        video_->setMouseTracking(true);
    } else {
        glWindow_ = new MpvVideoWindow(mpv_);
        video_ = QWidget::createWindowContainer(glWindow_, videoBox_);
        video_->setFocusPolicy(Qt::NoFocus);
        video_->setMouseTracking(true);
        glWindow_->setInputTarget(video_);
        connect(glWindow_, &MpvVideoWindow::renderContextReady, this,
                [this] { mpv_set_property_string(mpv_, "vo", "libmpv"); });
        connect(glWindow_, &MpvVideoWindow::cannotDraw, this, &MpvPlayer::pictureUnavailable);
    }
    video_->setObjectName(QStringLiteral("video"));
    video_->installEventFilter(this);

    QStyle *st = style();
    controlBar_ = new QWidget(this);
    controlBar_->setObjectName(QStringLiteral("controlBar"));
    auto *bar = new QHBoxLayout(controlBar_);
    bar->setContentsMargins(2, 1, 2, 1);
    bar->setSpacing(2);
    auto tool = [this, st](const char *name, QStyle::StandardPixmap icon, const QString &tip) {
        auto *b = new QToolButton(controlBar_);
        b->setObjectName(QLatin1String(name));
        b->setIcon(st->standardIcon(icon));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    playButton_ = tool("playButton", QStyle::SP_MediaPlay, tr("Play (Space)"));
    stopButton_ = tool("stopButton", QStyle::SP_MediaStop, tr("Stop"));
    seekBar_ = new QSlider(Qt::Horizontal, controlBar_);
    seekBar_->setObjectName(QStringLiteral("seekBar"));
    seekBar_->setFocusPolicy(Qt::NoFocus);
    seekBar_->setRange(0, 0);
    seekBar_->setMinimumWidth(20);
    timeLabel_ = new QLabel(controlBar_);
    timeLabel_->setObjectName(QStringLiteral("timeLabel"));
    timeLabel_->setText(QStringLiteral("0:00 / 0:00"));
    muteButton_ = tool("muteButton", QStyle::SP_MediaVolume, tr("Mute"));
    muteButton_->setCheckable(true);
    volumeSlider_ = new QSlider(Qt::Horizontal, controlBar_);
    volumeSlider_->setObjectName(QStringLiteral("volumeSlider"));
    volumeSlider_->setFocusPolicy(Qt::NoFocus);
    volumeSlider_->setRange(0, 100);
    volumeSlider_->setValue(100);
    volumeSlider_->setFixedWidth(60);
    volumeSlider_->setToolTip(tr("Volume"));
    bar->addWidget(playButton_);
    bar->addWidget(stopButton_);
    bar->addWidget(seekBar_, 1);
    bar->addWidget(timeLabel_);
    bar->addWidget(muteButton_);
    bar->addWidget(volumeSlider_);

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setContentsMargins(4, 0, 4, 1);
    barHeight_ = controlBar_->sizeHint().height();
    statusHeight_ = statusLine_->sizeHint().height();

    connect(playButton_, &QToolButton::clicked, this, [this] { togglePlayPause(); });
    connect(stopButton_, &QToolButton::clicked, this, [this] { Stop(); });
    connect(seekBar_, &QSlider::sliderPressed, this, [this] { seeking_ = true; });
    connect(seekBar_, &QSlider::sliderReleased, this, [this] {
        seeking_ = false;
        seekTo(seekBar_->value() / 1000.0);
    });
    connect(seekBar_, &QSlider::actionTriggered, this, [this](int action) {
        // Clicks on the groove; drags are handled on release.
        if (action != QAbstractSlider::SliderMove)
            seekTo(seekBar_->sliderPosition() / 1000.0);
    });
    connect(muteButton_, &QToolButton::toggled, this, [this](bool on) {
        if (mpv_)
            mpv_set_property_string(mpv_, "mute", on ? "yes" : "no");
    });
    connect(volumeSlider_, &QSlider::valueChanged, this, [this](int v) {
        if (!mpv_)
            return;
        double volume = v;
        mpv_set_property(mpv_, "volume", MPV_FORMAT_DOUBLE, &volume);
    });

    buildContextMenu();
    updatePartsVisibility();
    updateControls();
}

void MpvPlayer::buildContextMenu()
{
    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName(QStringLiteral("playerContextMenu"));
    QAction *play = contextMenu_->addAction(tr("&Play"), this, [this] { Play(); });
    play->setObjectName(QStringLiteral("play"));
    QAction *pause = contextMenu_->addAction(tr("P&ause"), this, [this] { Pause(); });
    pause->setObjectName(QStringLiteral("pause"));
    QAction *stop = contextMenu_->addAction(tr("&Stop"), this, [this] { Stop(); });
    stop->setObjectName(QStringLiteral("stop"));
    contextMenu_->addSeparator();
    sizeGroup_ = new QActionGroup(contextMenu_);
    const struct {
        const char *text;
        int size;
    } sizes[] = {{"&Half 50%", HalfSize}, {"&Default 100%", DefaultSize}, {"D&ouble 200%", DoubleSize},
                 {"&Full Screen", FullScreen}};
    for (const auto &s : sizes) {
        QAction *a = contextMenu_->addAction(tr(s.text));
        a->setCheckable(true);
        a->setData(s.size);
        sizeGroup_->addAction(a);
        const int size = s.size;
        connect(a, &QAction::triggered, this, [this, size] { setDisplaySize(size); });
    }
    contextMenu_->addSeparator();
    contextMenu_->addAction(tr("Volume &Up"), this,
                            [this] { volumeSlider_->setValue(volumeSlider_->value() + 10); });
    contextMenu_->addAction(tr("Volume &Down"), this,
                            [this] { volumeSlider_->setValue(volumeSlider_->value() - 10); });
    QAction *mute = contextMenu_->addAction(tr("&Mute"));
    mute->setObjectName(QStringLiteral("mute"));
    mute->setCheckable(true);
    connect(mute, &QAction::triggered, muteButton_, &QToolButton::setChecked);
    connect(contextMenu_, &QMenu::aboutToShow, this, [this, play, pause, stop, mute] {
        play->setEnabled(readyState_ == Loaded && playState_ != Playing);
        pause->setEnabled(playState_ == Playing);
        stop->setEnabled(playState_ == Playing || playState_ == Paused);
        mute->setChecked(muteButton_->isChecked());
        for (QAction *a : sizeGroup_->actions())
            a->setChecked(a->data().toInt() == displaySize_);
    });
}

// ---- Loading ------------------------------------------------------------

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
    if (!mpv_)
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
    track_ = reason.isEmpty() && discTracks_ ? discTracks_->find(abs) : nullptr;
    if (reason.isEmpty()) {
        opening_ = true;
        ++generation_;
        setReadyState(Loading);
        const bool ok = loadFile(abs, &reason);
        opening_ = false;
        // Whatever came in after the wait is taken up from the event loop.
        QMetaObject::invokeMethod(this, "drainEvents", Qt::QueuedConnection);
        if (ok) {
            fileName_ = abs;
            applySize();
            setReadyState(Loaded);
            setPlayState(Playing);
            return true;
        }
    }
    // Nothing stays loaded, whatever was loaded before.
    if (readyState_ != NothingLoaded || oldPlay != Closed)
        unloadQuietly();
    fail(reason);
    const quint64 gen = ++generation_;
    fileName_.clear();
    applySize();
    setPlayState(Closed);
    if (gen == generation_)
        setReadyState(NothingLoaded);
    return false;
}

bool MpvPlayer::loadFile(const QString &abs, QString *reason)
{
    // Events of whatever played before are handled on the way; the new
    // file is recognised by the playlist entry its start-file names.
    currentEntry_ = -1;
    lastLogError_.clear();
    log_.newMedium();
    position_ = lastPlayedPosition_ = duration_ = 0;
    videoSize_ = QSize();
    displayWidth_ = displayHeight_ = 0;
    needsReload_ = false;
    mpv_set_property_string(mpv_, "pause", "no");
    // The picture's contexts, started at construction, must be there
    // before mpv starts the video output for the file.
    if (glWindow_)
        glWindow_->ensureRenderContext();
    const QByteArray target = loadTarget(abs);
    // An exact seek in an MPEG-1 stream read from a disc lands up to 0.4 s
    // late unless the demuxer starts a little before it.
    const char *args[] = {"loadfile", target.constData(), "replace",
                          track_ ? "hr-seek-demuxer-offset=1" : nullptr, nullptr};
    if (int rc = mpv_command(mpv_, args); rc < 0) {
        *reason = mpvErrorText(rc);
        return false;
    }
    QElapsedTimer clockTimer;
    clockTimer.start();
    qint64 entry = -1;
    int replies = 0;
    QSize trackSize;
    while (clockTimer.elapsed() < kOpenTimeoutMs) {
        // mpv may show the first frame before it reports the file loaded,
        // and waits for that frame to be drawn: short waits, taking frames.
        double wait = (kOpenTimeoutMs - clockTimer.elapsed()) / 1000.0;
        if (glWindow_) {
            glWindow_->takeFrame();
            wait = qMin(wait, 0.01);
        }
        mpv_event *ev = mpv_wait_event(mpv_, wait);
        switch (ev->event_id) {
        case MPV_EVENT_START_FILE:
            if (entry < 0)
                entry = static_cast<mpv_event_start_file *>(ev->data)->playlist_entry_id;
            break;
        case MPV_EVENT_FILE_LOADED:
            if (entry >= 0 && currentEntry_ < 0) {
                currentEntry_ = entry;
                fileSize_ = QFileInfo(abs).size();
                // Asked without waiting: a synchronous call waits for mpv's
                // core, which may be waiting for this thread to draw the
                // first frame (a fifth of a second lost each time).
                mpv_set_property_async(mpv_, 0, "speed", MPV_FORMAT_DOUBLE, &speed_);
                mpv_get_property_async(mpv_, kReplyDuration, "duration", MPV_FORMAT_DOUBLE);
                mpv_get_property_async(mpv_, kReplyWidth, "dwidth", MPV_FORMAT_INT64);
                mpv_get_property_async(mpv_, kReplyHeight, "dheight", MPV_FORMAT_INT64);
                mpv_get_property_async(mpv_, kReplyTracks, "track-list", MPV_FORMAT_NODE);
                replies = 4;
            }
            break;
        case MPV_EVENT_GET_PROPERTY_REPLY: {
            if (replies == 0 || ev->reply_userdata < kReplyDuration || ev->reply_userdata > kReplyTracks)
                break;
            const auto *p = static_cast<mpv_event_property *>(ev->data);
            if (ev->error >= 0 && p) {
                if (ev->reply_userdata == kReplyDuration && p->format == MPV_FORMAT_DOUBLE)
                    duration_ = *static_cast<double *>(p->data);
                else if (ev->reply_userdata == kReplyWidth && p->format == MPV_FORMAT_INT64)
                    displayWidth_ = *static_cast<int64_t *>(p->data);
                else if (ev->reply_userdata == kReplyHeight && p->format == MPV_FORMAT_INT64)
                    displayHeight_ = *static_cast<int64_t *>(p->data);
                else if (ev->reply_userdata == kReplyTracks && p->format == MPV_FORMAT_NODE)
                    trackSize = videoSizeOfTracks(*static_cast<mpv_node *>(p->data));
            }
            if (--replies == 0) {
                // Before the first frame is decoded (or without a video
                // output yet) the demuxer's numbers give the same size.
                videoSize_ = displayWidth_ > 0 && displayHeight_ > 0
                                 ? QSize(int(displayWidth_), int(displayHeight_))
                                 : trackSize;
                updateControls();
                return true;
            }
            break;
        }
        case MPV_EVENT_END_FILE: {
            auto *end = static_cast<mpv_event_end_file *>(ev->data);
            if (entry < 0 || end->playlist_entry_id != entry)
                break;
            if (end->reason == MPV_END_FILE_REASON_REDIRECT) {
                // A playlist: its entries are other files, not this one.
                command({"stop"});
                *reason = QStringLiteral("it is a playlist, not a media file");
                return false;
            }
            const int code = end->reason == MPV_END_FILE_REASON_ERROR ? end->error : MPV_ERROR_LOADING_FAILED;
            waitForLogText(300);
            *reason = mpvErrorText(code);
            if (!lastLogError_.isEmpty())
                *reason += QStringLiteral(" (%1)").arg(lastLogError_);
            return false;
        }
        case MPV_EVENT_SHUTDOWN:
            *reason = QStringLiteral("the video engine stopped");
            return false;
        default:
            handleEvent(ev);
            break;
        }
    }
    command({"stop"});
    *reason = QStringLiteral("it did not load within %1 seconds").arg(kOpenTimeoutMs / 1000);
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
    QElapsedTimer t;
    t.start();
    while (lastLogError_.isEmpty() && t.elapsed() < msecs) {
        mpv_event *ev = mpv_wait_event(mpv_, (msecs - t.elapsed()) / 1000.0);
        if (ev->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(ev);
    }
}

QSize MpvPlayer::videoSizeOfTracks(const mpv_node &list)
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

// ---- Events -------------------------------------------------------------

void MpvPlayer::drainEvents()
{
    wakeupPending_ = false;
    // A handler of one of our signals may let events run; the loop below
    // is still going then and takes the rest.
    if (draining_ || opening_ || !mpv_)
        return;
    draining_ = true;
    QPointer<MpvPlayer> self(this);
    while (self && mpv_) {
        mpv_event *ev = mpv_wait_event(mpv_, 0);
        if (ev->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(ev);
    }
    if (self)
        draining_ = false;
}

void MpvPlayer::handleEvent(mpv_event *ev)
{
    // Copy what is needed first: a signal's handler may reach mpv_wait_event
    // again (through Open) and so invalidate `ev`.
    switch (ev->event_id) {
    case MPV_EVENT_LOG_MESSAGE: {
        auto *msg = static_cast<mpv_event_log_message *>(ev->data);
        log_.print(*msg);
        if (msg->log_level <= MPV_LOG_LEVEL_ERROR)
            lastLogError_ = QString::fromUtf8(msg->text).trimmed();
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        auto *p = static_cast<mpv_event_property *>(ev->data);
        const QByteArray name(p->name);
        if (name == "time-pos") {
            if (p->format == MPV_FORMAT_DOUBLE && readyState_ == Loaded && !opening_) {
                position_ = *static_cast<double *>(p->data);
                if (playState_ == Playing)
                    lastPlayedPosition_ = position_;
                updateTime();
            }
        } else if (name == "duration") {
            if (p->format == MPV_FORMAT_DOUBLE) {
                duration_ = *static_cast<double *>(p->data);
                updateTime();
            }
        } else if (name == "dwidth" || name == "dheight") {
            const int64_t value = p->format == MPV_FORMAT_INT64 ? *static_cast<int64_t *>(p->data) : 0;
            (name == "dwidth" ? displayWidth_ : displayHeight_) = value;
            if (displayWidth_ > 0 && displayHeight_ > 0 && readyState_ == Loaded && !opening_) {
                const QSize size{int(displayWidth_), int(displayHeight_)};
                if (size != videoSize_) {
                    videoSize_ = size;
                    applySize();
                }
            }
        } else if (name == "eof-reached") {
            const bool eof = p->format == MPV_FORMAT_FLAG && *static_cast<int *>(p->data);
            if (eof && playState_ == Playing && readyState_ == Loaded && !opening_)
                finishMedium();
        } else if (name == "volume") {
            if (p->format == MPV_FORMAT_DOUBLE) {
                const QSignalBlocker block(volumeSlider_);
                volumeSlider_->setValue(qRound(*static_cast<double *>(p->data)));
            }
        } else if (name == "mute") {
            if (p->format == MPV_FORMAT_FLAG) {
                const QSignalBlocker block(muteButton_);
                muteButton_->setChecked(*static_cast<int *>(p->data));
            }
        }
        break;
    }
    case MPV_EVENT_END_FILE: {
        auto *end = static_cast<mpv_event_end_file *>(ev->data);
        if (end->playlist_entry_id != currentEntry_ || currentEntry_ < 0 || opening_)
            break;
        if (end->reason == MPV_END_FILE_REASON_ERROR) {
            const int code = end->error;
            waitForLogText(300);
            QString text = QStringLiteral("Playback of \"%1\" failed: %2").arg(fileName_, mpvErrorText(code));
            if (!lastLogError_.isEmpty())
                text += QStringLiteral(" (%1)").arg(lastLogError_);
            currentEntry_ = -1;
            failPlayback(text + QLatin1Char('.'));
        } else if (end->reason == MPV_END_FILE_REASON_EOF) {
            // mpv let go of the file after all; Play loads it again.
            currentEntry_ = -1;
            needsReload_ = true;
            if (playState_ == Playing)
                finishMedium();
        }
        break;
    }
    case MPV_EVENT_SHUTDOWN:
        if (readyState_ == Loaded)
            failPlayback(QStringLiteral("The video engine stopped."));
        break;
    default:
        break;
    }
}

QString MpvPlayer::stillReadable() const
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
    if (const QString broken = stillReadable(); !broken.isEmpty()) {
        failPlayback(QStringLiteral("Playback of \"%1\" broke off at %2: %3.")
                         .arg(fileName_, formatTime(reached), broken));
        return;
    }
    const quint64 gen = generation_;
    seekTo(0);
    if (mpv_)
        mpv_set_property_string(mpv_, "pause", "yes");
    position_ = 0;
    updateTime();
    setPlayState(Stopped);
    // Only after the play-state handler has returned, and only if that
    // handler left the medium as it was.
    if (gen == generation_ && playState_ == Stopped && readyState_ == Loaded)
        emit EndOfStream(0);
}

void MpvPlayer::failPlayback(const QString &description)
{
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

void MpvPlayer::unloadQuietly()
{
    if (mpv_)
        command({"stop"});
    currentEntry_ = -1;
    fileName_.clear();
    track_.reset();
    fileSize_ = -1;
    videoSize_ = QSize();
    position_ = duration_ = lastPlayedPosition_ = 0;
    needsReload_ = false;
    updateTime();
}

void MpvPlayer::setPlayState(int state)
{
    if (state == playState_)
        return;
    const int old = playState_;
    playState_ = state;
    updateControls();
    emit PlayStateChange(old, state);
}

void MpvPlayer::setReadyState(int state)
{
    if (state == readyState_)
        return;
    readyState_ = state;
    updateControls();
    emit ReadyStateChange(state);
}

// ---- Transport ----------------------------------------------------------

void MpvPlayer::command(std::initializer_list<const char *> args)
{
    if (!mpv_)
        return;
    std::vector<const char *> argv(args);
    argv.push_back(nullptr);
    mpv_command(mpv_, argv.data());
}

void MpvPlayer::seekTo(double seconds)
{
    if (!mpv_ || readyState_ != Loaded)
        return;
    const QByteArray to = QByteArray::number(qMax(0.0, seconds), 'f', 3);
    command({"seek", to.constData(), "absolute+exact"});
    position_ = qMax(0.0, seconds);
    updateTime();
}

void MpvPlayer::seekBy(double seconds)
{
    if (!mpv_ || readyState_ != Loaded)
        return;
    double target = position_ + seconds;
    if (duration_ > 0)
        target = qMin(target, duration_);
    seekTo(qMax(0.0, target));
}

bool MpvPlayer::Play(QString *error)
{
    auto fail = [&](const QString &text) {
        errorDescription_ = text;
        if (error)
            *error = text;
        return false;
    };
    if (!mpv_)
        return fail(initError_);
    if (readyState_ != Loaded)
        return fail(QStringLiteral("Nothing is loaded to play."));
    if (playState_ == Playing)
        return true;
    if (needsReload_) {
        QString reason;
        const QString file = fileName_;
        opening_ = true;
        const bool ok = loadFile(file, &reason);
        opening_ = false;
        QMetaObject::invokeMethod(this, "drainEvents", Qt::QueuedConnection);
        if (!ok) {
            failPlayback(QStringLiteral("Cannot play \"%1\" again: %2.").arg(file, reason));
            return fail(errorDescription_);
        }
    }
    mpv_set_property_string(mpv_, "pause", "no");
    setPlayState(Playing);
    return true;
}

bool MpvPlayer::Pause(QString *error)
{
    if (!mpv_ || readyState_ != Loaded) {
        errorDescription_ = mpv_ ? QStringLiteral("Nothing is loaded to pause.") : initError_;
        if (error)
            *error = errorDescription_;
        return false;
    }
    if (playState_ == Playing) {
        mpv_set_property_string(mpv_, "pause", "yes");
        setPlayState(Paused);
    }
    return true;
}

bool MpvPlayer::Stop(QString *)
{
    // Stopping an empty player is no failure: callers stop before they open.
    if (!mpv_ || readyState_ != Loaded || playState_ == Stopped)
        return true;
    mpv_set_property_string(mpv_, "pause", "yes");
    seekTo(0);
    setPlayState(Stopped);
    return true;
}

void MpvPlayer::togglePlayPause()
{
    if (playState_ == Playing)
        Pause();
    else
        Play();
}

void MpvPlayer::setFileName(const QString &path)
{
    if (path.isEmpty()) {
        if (readyState_ == NothingLoaded && playState_ == Closed)
            return;
        const quint64 gen = ++generation_;
        unloadQuietly();
        applySize();
        setPlayState(Closed);
        if (gen == generation_)
            setReadyState(NothingLoaded);
        return;
    }
    if (!Open(path))
        emit Error();
}

MpvPlayer::FrameCounts MpvPlayer::frameCounts() const
{
    FrameCounts counts;
    if (mpv_) {
        int64_t v = 0;
        if (mpv_get_property(mpv_, "frame-drop-count", MPV_FORMAT_INT64, &v) >= 0)
            counts.dropped = v;
        if (mpv_get_property(mpv_, "vo-delayed-frame-count", MPV_FORMAT_INT64, &v) >= 0)
            counts.delayed = v;
    }
    return counts;
}

void MpvPlayer::setSpeed(double factor)
{
    speed_ = factor > 0 ? factor : 1.0;
    if (mpv_)
        mpv_set_property(mpv_, "speed", MPV_FORMAT_DOUBLE, &speed_);
}

// ---- Size and layout ----------------------------------------------------

void MpvPlayer::setAutoSize(bool on)
{
    autoSize_ = on;
    applySize();
}

void MpvPlayer::setDisplaySize(int size)
{
    if (size < DefaultSize || size > FullScreen)
        return;
    const int old = displaySize_;
    displaySize_ = size;
    if (size == FullScreen && old != FullScreen)
        enterFullScreen();
    else if (size != FullScreen && old == FullScreen)
        leaveFullScreen();
    applySize();
}

int MpvPlayer::barsHeight() const
{
    int h = 0;
    if (!controlBar_->isHidden())
        h += barHeight_;
    if (!statusLine_->isHidden())
        h += statusHeight_;
    return h;
}

void MpvPlayer::applySize()
{
    if (!autoSize_) {
        layoutParts();
        return;
    }
    QSize target(kCompactWidth, kCompactHeight);
    if (!videoSize_.isEmpty() && !fileName_.isEmpty()) {
        const double scale = displaySize_ == HalfSize ? 0.5 : displaySize_ == DoubleSize ? 2.0 : 1.0;
        target = QSize(qRound(videoSize_.width() * scale), qRound(videoSize_.height() * scale) + barsHeight());
    }
    if (size() != target)
        resize(target);
    // A widget not shown yet gets its resize event only when shown.
    layoutParts();
}

void MpvPlayer::resizeEvent(QResizeEvent *event)
{
    MediaPlayer::resizeEvent(event);
    layoutParts();
}

void MpvPlayer::layoutParts()
{
    const int w = width();
    const int bar = controlBar_->isHidden() ? 0 : barHeight_;
    const int status = statusLine_->isHidden() ? 0 : statusHeight_;
    const int videoH = qMax(0, height() - bar - status);
    videoBox_->setGeometry(0, 0, w, videoH);
    controlBar_->setGeometry(0, videoH, w, bar);
    statusLine_->setGeometry(0, videoH + bar, w, status);
    if (video_->parentWidget() == videoBox_)
        video_->setGeometry(videoBox_->rect());
    // A narrow player (half size) drops the volume slider before the
    // seek bar gets too short to use.
    volumeSlider_->setVisible(ViewOption(ViewVolume) && w >= 300);
}

void MpvPlayer::setViewOption(int id, bool on)
{
    viewOptions_[id] = on;
    updatePartsVisibility();
    applySize();
}

void MpvPlayer::updatePartsVisibility()
{
    const bool transport = ViewOption(ViewTransport), seek = ViewOption(ViewSeekBar),
               volume = ViewOption(ViewVolume), time = ViewOption(ViewTimeReadout);
    playButton_->setVisible(transport);
    stopButton_->setVisible(transport);
    seekBar_->setVisible(seek);
    timeLabel_->setVisible(time);
    muteButton_->setVisible(volume);
    volumeSlider_->setVisible(volume && width() >= 300);
    controlBar_->setVisible(transport || seek || volume || time);
    statusLine_->setVisible(ViewOption(ViewStatusLine));
}

void MpvPlayer::updateControls()
{
    const bool loaded = readyState_ == Loaded;
    playButton_->setIcon(style()->standardIcon(playState_ == Playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    playButton_->setToolTip(playState_ == Playing ? tr("Pause (Space)") : tr("Play (Space)"));
    playButton_->setEnabled(loaded);
    stopButton_->setEnabled(loaded && playState_ != Stopped);
    seekBar_->setEnabled(loaded && duration_ > 0);
    updateTime();
}

void MpvPlayer::updateTime()
{
    const QString readout = QStringLiteral("%1 / %2").arg(formatTime(position_), formatTime(duration_));
    if (timeLabel_->text() != readout)
        timeLabel_->setText(readout);
    if (!seeking_) {
        const QSignalBlocker block(seekBar_);
        seekBar_->setRange(0, int(qMax(0.0, duration_) * 1000));
        seekBar_->setValue(int(position_ * 1000));
    }
    QString state;
    switch (playState_) {
    case Playing: state = tr("Playing"); break;
    case Paused: state = tr("Paused"); break;
    case Stopped: state = tr("Stopped"); break;
    default: state = readyState_ == Loading ? tr("Opening") : tr("No medium"); break;
    }
    const QString status = readyState_ == Loaded ? state + QStringLiteral("   ") + readout : state;
    if (statusLine_->text() != status)
        statusLine_->setText(status);
}

// ---- Full screen --------------------------------------------------------

void MpvPlayer::enterFullScreen()
{
    if (fullScreen_)
        return;
    auto *win = new QWidget(nullptr, Qt::Window);
    win->setObjectName(QStringLiteral("playerFullScreen"));
    // It belongs to the main window: still open when that closes, it must
    // not keep the program running.
    win->setAttribute(Qt::WA_QuitOnClose, false);
    win->setWindowTitle(window()->windowTitle());
    win->setAutoFillBackground(true);
    QPalette black = win->palette();
    black.setColor(QPalette::Window, Qt::black);
    win->setPalette(black);
    win->setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QVBoxLayout(win);
    layout->setContentsMargins(0, 0, 0, 0);
    video_->setParent(win);
    layout->addWidget(video_);
    video_->show();
    win->installEventFilter(this);
    if (QScreen *screen = window()->screen()) {
        win->setScreen(screen);
        win->setGeometry(screen->geometry());
    }
    fullScreen_ = win;
    win->showFullScreen();
    win->activateWindow();
    win->setFocus();
}

void MpvPlayer::leaveFullScreen()
{
    if (!fullScreen_)
        return;
    QWidget *win = fullScreen_;
    fullScreen_ = nullptr;
    win->removeEventFilter(this);
    video_->setParent(videoBox_);
    video_->setGeometry(videoBox_->rect());
    video_->show();
    win->hide();
    // Esc or a double click in that very window may have brought us here.
    win->deleteLater();
    if (isVisible())
        setFocus();
}

// ---- Input --------------------------------------------------------------

void MpvPlayer::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
        togglePlayPause();
        break;
    case Qt::Key_Left:
        seekBy(-kSeekStep);
        break;
    case Qt::Key_Right:
        seekBy(kSeekStep);
        break;
    case Qt::Key_Escape:
        if (displaySize_ == FullScreen)
            setDisplaySize(DefaultSize);
        else
            event->ignore();
        break;
    default:
        MediaPlayer::keyPressEvent(event);
        return;
    }
}

void MpvPlayer::contextMenuEvent(QContextMenuEvent *event)
{
    if (ViewOption(ViewContextMenu))
        showContextMenuAt(event->globalPos());
    else
        event->ignore();
}

void MpvPlayer::emitMouseMove(QWidget *source, QMouseEvent *event)
{
    int button = 0;
    const Qt::MouseButtons b = event->buttons();
    if (b & Qt::LeftButton)
        button |= 1;
    if (b & Qt::RightButton)
        button |= 2;
    if (b & Qt::MiddleButton)
        button |= 4;
    int shift = 0;
    const Qt::KeyboardModifiers m = event->modifiers();
    if (m & Qt::ShiftModifier)
        shift |= 1;
    if (m & Qt::ControlModifier)
        shift |= 2;
    if (m & Qt::AltModifier)
        shift |= 4;
    const QPointF p = isUnder(source, this) ? source->mapTo(this, event->position()) : event->position();
    emit MouseMove(button, shift, float(p.x()), float(p.y()));
}

bool MpvPlayer::eventFilter(QObject *watched, QEvent *event)
{
    auto *w = qobject_cast<QWidget *>(watched);
    const bool picture = w == video_ || w == videoBox_;
    const bool fsWindow = fullScreen_ && w == fullScreen_;
    if (!picture && !fsWindow)
        return MediaPlayer::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove:
        // A move the picture leaves unhandled travels on to the box: once.
        if (w == video_)
            emitMouseMove(w, static_cast<QMouseEvent *>(event));
        break;
    case QEvent::MouseButtonDblClick:
        if (displaySize_ == FullScreen && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            setDisplaySize(DefaultSize);
            return true;
        }
        break;
    case QEvent::ContextMenu:
        if (fsWindow && ViewOption(ViewContextMenu)) {
            showContextMenuAt(static_cast<QContextMenuEvent *>(event)->globalPos());
            return true;
        }
        break;
    case QEvent::KeyPress:
        if (fsWindow) {
            keyPressEvent(static_cast<QKeyEvent *>(event));
            return true;
        }
        break;
    case QEvent::Close:
        if (fsWindow) {
            // Closing the full-screen window ends full screen. The close
            // itself goes through: the program's quit closes every window
            // first, and one that refused would keep it running with no
            // main window.
            QMetaObject::invokeMethod(this, [this] { setDisplaySize(DefaultSize); }, Qt::QueuedConnection);
            return false;
        }
        break;
    default:
        break;
    }
    return MediaPlayer::eventFilter(watched, event);
}

// ---- Dialogs ------------------------------------------------------------

void MpvPlayer::showContextMenuAt(const QPoint &globalPos)
{
    contextMenu_->popup(globalPos);
}

void MpvPlayer::ShowDialog(int which)
{
    if (which == ContextMenuDialog) {
        const QPoint cursor = QCursor::pos();
        const QRect mine(mapToGlobal(QPoint(0, 0)), size());
        showContextMenuAt(mine.contains(cursor) ? cursor : mapToGlobal(rect().center()));
        return;
    }
    if (which != HelpDialog)
        return;
    if (!help_) {
        auto *dlg = new QDialog(this);
        dlg->setObjectName(QStringLiteral("playerHelp"));
        dlg->setWindowTitle(tr("Video Player Help"));
        auto *layout = new QVBoxLayout(dlg);
        auto *text = new QLabel(dlg);
        text->setObjectName(QStringLiteral("helpText"));
        text->setTextFormat(Qt::RichText);
        text->setWordWrap(true);
        QFile page(QStringLiteral(":/playback/PlayerHelp.html"));
        if (page.open(QIODevice::ReadOnly))
            text->setText(QString::fromUtf8(page.readAll()));
        layout->addWidget(text);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dlg);
        connect(buttons, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
        layout->addWidget(buttons);
        help_ = dlg;
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

} // namespace tavero
