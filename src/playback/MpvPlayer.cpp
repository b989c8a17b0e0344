#include "playback/MpvPlayer.h"
#include "playback/ControlBar.h"
#include "playback/MpvDiscStreams.h"
#include "playback/MpvSoftwareView.h"
#include "playback/MpvVideoWindow.h"
#include "playback/VideoPath.h"

#include <QActionGroup>
#include <QLayout>
#include <QGuiApplication>
#include <QMenu>
#include <cstdio>

namespace tavero {

MpvPlayer::MpvPlayer(QWidget *parent) : MpvPlayer(Output::Auto, parent) {}

MpvPlayer::MpvPlayer(Output output, QWidget *parent) : MediaPlayer(parent)
{
    if (output == Output::Auto) {
        const QString platform = QGuiApplication::platformName();
        const QString setting = qEnvironmentVariable("TAVERO_VIDEO");
        if (!setting.isEmpty() && setting != QLatin1String("gl") && setting != QLatin1String("software"))
            std::fprintf(stderr, "tavero-player: TAVERO_VIDEO is \"gl\" or \"software\"; choosing by itself\n");
        if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
            output = Output::Headless;
        else
            output = chooseVideoPath(setting, platform).path == VideoPath::OpenGL ? Output::OpenGL : Output::Software;
    }
    headless_ = output == Output::Headless;
    setFocusPolicy(Qt::StrongFocus);
    client_ = std::make_unique<MpvClient>(headless_);
    if (client_->isValid())
        discStreams_ = std::make_unique<MpvDiscStreams>(client_->handle());
    else
        initError_ = QStringLiteral("The video engine (libmpv) could not be started.");
    connectClient();
    software_ = output == Output::Software;
    buildInterface();
    resize(kCompactWidth, kCompactHeight);
}

MpvPlayer::~MpvPlayer()
{
    // No more of mpv's events reach a half-destroyed component.
    client_->disconnect(this);
    // The render context goes first (the OpenGL one with its GL context
    // current).
    if (glWindow_)
        glWindow_->releaseRenderContext();
    if (swView_)
        swView_->releaseRenderContext();
    // The picture may sit in the full-screen window, which is no child: it
    // goes with that window. Moving it back would touch the window it sat
    // in before, which may be half destroyed by now (ours going with our
    // main window).
    if (fullScreen_)
        delete fullScreen_;
    // mpv ends before the disc streams it may still be reading.
    client_.reset();
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
    if (headless_ || !client_->isValid()) {
        auto *nothing = new QWidget(videoBox_);
        nothing->setAutoFillBackground(true);
        nothing->setPalette(black);
        usePicture(nothing);
    } else if (software_) {
        useSoftwarePicture();
    } else {
        glWindow_ = new MpvVideoWindow(client_->handle());
        usePicture(QWidget::createWindowContainer(glWindow_, videoBox_));
        glWindow_->setHolder(video_);
        connect(glWindow_, &MpvVideoWindow::renderContextReady, client_.get(), &MpvClient::useRenderContext);
        connect(glWindow_, &MpvVideoWindow::cannotDraw, this, &MpvPlayer::pictureUnavailable);
        connect(glWindow_, &MpvVideoWindow::frameDrawn, this, &MpvPlayer::releaseStart);
        connect(glWindow_, &MpvVideoWindow::openGlFailed, this, &MpvPlayer::useSoftwarePicture, Qt::QueuedConnection);
    }

    controlBar_ = new ControlBar(this);
    connect(controlBar_, &ControlBar::playPauseClicked, this, &MpvPlayer::togglePlayPause);
    connect(controlBar_, &ControlBar::stopClicked, this, [this] { Stop(); });
    connect(controlBar_, &ControlBar::menuClicked, this, &MpvPlayer::DiscMenuRequested);
    connect(controlBar_, &ControlBar::seekRequested, this, &MpvPlayer::seekTo);
    connect(controlBar_, &ControlBar::muteToggled, client_.get(), &MpvClient::setMuted);
    connect(controlBar_, &ControlBar::volumeChanged, client_.get(), [this](int v) { client_->setVolume(v); });
    connect(client_.get(), &MpvClient::volumeChanged, controlBar_, [this](double v) { controlBar_->showVolume(qRound(v)); });
    connect(client_.get(), &MpvClient::muteChanged, controlBar_, &ControlBar::showMuted);

    buildContextMenu();
    updatePartsVisibility();
    updateControls();
}

void MpvPlayer::usePicture(QWidget *picture)
{
    video_ = picture;
    video_->setObjectName(QStringLiteral("video"));
    video_->setFocusPolicy(Qt::NoFocus);
    video_->setMouseTracking(true);
    video_->installEventFilter(this);
    video_->setGeometry(videoBox_->rect());
}

// The software picture, from the start or in place of an OpenGL one that
// could not start after all.
void MpvPlayer::useSoftwarePicture()
{
    if (swView_ || !client_->isValid())
        return;
    QWidget *parent = videoBox_;
    if (glWindow_) {
        std::fprintf(stderr, "tavero-player: OpenGL cannot be used here; the picture is drawn without it\n");
        glWindow_->releaseRenderContext();
        parent = video_->parentWidget();
        if (fullScreen_)
            fullScreen_->layout()->removeWidget(video_);
        delete video_;   // with the window it holds
        glWindow_ = nullptr;
    }
    swView_ = new MpvSoftwareView(client_->handle(), parent);
    usePicture(swView_);
    if (fullScreen_) {
        fullScreen_->layout()->addWidget(video_);
        video_->show();
    } else if (isVisible()) {
        video_->show();
    }
    connect(swView_, &MpvSoftwareView::renderContextReady, client_.get(), &MpvClient::useRenderContext);
    connect(swView_, &MpvSoftwareView::frameDrawn, this, &MpvPlayer::releaseStart);
}

// Waits, once while the program starts, for the picture's render context;
// says whether frames will be drawn.
bool MpvPlayer::preparePicture()
{
    if (glWindow_ && !glWindow_->ensureRenderContext())
        useSoftwarePicture();
    return swView_ ? swView_->ensureRenderContext() : glWindow_ != nullptr;
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
    discMenuAction_ = contextMenu_->addAction(tr("Disc &Menu"), this, [this] { emit DiscMenuRequested(); });
    discMenuAction_->setObjectName(QStringLiteral("discMenu"));
    discMenuAction_->setShortcut(QKeySequence(Qt::Key_M));
    discMenuAction_->setShortcutContext(Qt::WidgetShortcut);
    discMenuAction_->setVisible(false);
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
    contextMenu_->addAction(tr("Volume &Up"), this, [this] { controlBar_->setVolume(controlBar_->volume() + 10); });
    contextMenu_->addAction(tr("Volume &Down"), this, [this] { controlBar_->setVolume(controlBar_->volume() - 10); });
    QAction *mute = contextMenu_->addAction(tr("&Mute"));
    mute->setObjectName(QStringLiteral("mute"));
    mute->setCheckable(true);
    connect(mute, &QAction::triggered, controlBar_, &ControlBar::setMuted);
    contextMenu_->addSeparator();
    chaptersMenu_ = contextMenu_->addMenu(tr("&Chapters"));
    chaptersMenu_->setObjectName(QStringLiteral("chapters"));
    chaptersMenu_->menuAction()->setVisible(false);
    buildAudioMenus();
    connect(contextMenu_, &QMenu::aboutToShow, this, [this, play, pause, stop, mute] {
        play->setEnabled(readyState_ == Loaded && playState_ != Playing);
        pause->setEnabled(playState_ == Playing);
        stop->setEnabled(playState_ == Playing || playState_ == Paused);
        mute->setChecked(controlBar_->isMuted());
        fillChaptersMenu();
        fillAudioMenus();
        for (QAction *a : sizeGroup_->actions())
            a->setChecked(a->data().toInt() == displaySize_);
    });
}

// ---- States -------------------------------------------------------------

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
    client_->readPosition(state == Loaded);
    updateControls();
    emit ReadyStateChange(state);
}

void MpvPlayer::updateControls()
{
    controlBar_->showState(playState_, readyState_, position_, duration_);
}

// ---- Transport ----------------------------------------------------------

void MpvPlayer::seekTo(double seconds)
{
    if (!client_->isValid() || readyState_ != Loaded)
        return;
    client_->seekTo(seconds);
    position_ = qMax(0.0, seconds);
    updateControls();
}

void MpvPlayer::seekBy(double seconds)
{
    if (!client_->isValid() || readyState_ != Loaded)
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
    if (!client_->isValid())
        return fail(initError_);
    if (readyState_ != Loaded)
        return fail(QStringLiteral("Nothing is loaded to play."));
    if (playState_ == Playing)
        return true;
    if (needsReload_) {
        QString reason;
        const QString file = fileName_;
        setOpening(true);
        const bool ok = loadFile(file, {}, &reason);
        setOpening(false);
        if (!ok && reason.isEmpty()) {
            needsReload_ = true;   // cancelled: still stopped at the start
            return fail(QString());
        }
        if (!ok) {
            failPlayback(QStringLiteral("Cannot play \"%1\" again: %2.").arg(file, reason));
            return fail(errorDescription_);
        }
    }
    if (!holdingStart_)
        client_->setPaused(false);
    setPlayState(Playing);
    return true;
}

bool MpvPlayer::Pause(QString *error)
{
    if (!client_->isValid() || readyState_ != Loaded) {
        errorDescription_ = client_->isValid() ? QStringLiteral("Nothing is loaded to pause.") : initError_;
        if (error)
            *error = errorDescription_;
        return false;
    }
    if (playState_ == Playing) {
        holdingStart_ = false;
        client_->setPaused(true);
        setPlayState(Paused);
    }
    return true;
}

bool MpvPlayer::Stop(QString *)
{
    if (opening_) {
        cancelOpen();
        return true;
    }
    // Stopping an empty player is no failure: callers stop before they open.
    if (!client_->isValid() || readyState_ != Loaded || playState_ == Stopped)
        return true;
    holdingStart_ = false;
    client_->setPaused(true);
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
        if (opening_) {
            cancelOpen();   // Open unloads on its way out
            return;
        }
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

void MpvPlayer::setSpeed(double factor)
{
    speed_ = factor > 0 ? factor : 1.0;
    client_->setSpeed(speed_);
}

} // namespace tavero
