#include "desktop/DesktopIntegration.h"

#include "desktop/ScreenSaverInhibitor.h"
#include "mpris_player_adaptor.h"
#include "mpris_root_adaptor.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusMessage>
#include <QFileInfo>
#include <QKeyEvent>
#include <QUrl>

namespace tavero {

namespace {

const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr double kMicro = 1e6;

} // namespace

QDBusConnection DesktopIntegration::sessionBus()
{
    // Where libdbus looks for a running bus before it would autolaunch.
    const bool announced = !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const bool userBus = !runtimeDir.isEmpty() && QFileInfo::exists(runtimeDir + QStringLiteral("/bus"));
    if (announced || userBus)
        return QDBusConnection::sessionBus();
    return QDBusConnection(QStringLiteral("tavero-no-session-bus"));
}

DesktopIntegration::DesktopIntegration(const RemoteControls &controls, QDBusConnection bus)
    : QObject(controls.window), form_(controls.window), c_(controls), bus_(std::move(bus)),
      screenSaver_(new ScreenSaverInhibitor(bus_, this))
{
    if (form_)
        form_->installEventFilter(this);
    if (!bus_.isConnected())
        return;
    new MediaPlayer2Adaptor(this);
    new PlayerAdaptor(this);
    if (!bus_.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors))
        return;
    // A second player running takes a name of its own, as MPRIS asks.
    serviceName_ = kServiceName;
    if (!bus_.registerService(serviceName_)) {
        serviceName_ = kServiceName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!bus_.registerService(serviceName_)) {
            bus_.unregisterObject(kObjectPath);
            serviceName_.clear();
            return;
        }
    }
    registered_ = true;

    MediaPlayer *player = c_.player;
    connect(player, &MediaPlayer::PlayStateChange, this, &DesktopIntegration::playerChanged);
    connect(player, &MediaPlayer::ReadyStateChange, this, &DesktopIntegration::playerChanged);
    connect(c_.loop, &QAction::toggled, this, &DesktopIntegration::publishChanges);
    for (QAction *a : {c_.play, c_.pause, c_.stop, c_.next, c_.previous})
        connect(a, &QAction::enabledChanged, this, &DesktopIntegration::publishChanges);
    connect(player, &MediaPlayer::VolumeChange, this, &DesktopIntegration::publishChanges);
    published_ = {};
    publishChanges();
}

DesktopIntegration::~DesktopIntegration()
{
    if (registered_) {
        bus_.unregisterService(serviceName_);
        bus_.unregisterObject(kObjectPath);
    }
}

bool DesktopIntegration::screensaverInhibited() const
{
    return screenSaver_->isInhibited();
}

QString DesktopIntegration::playbackStatus() const
{
    if (!form_)
        return QStringLiteral("Stopped");
    switch (c_.player->PlayState()) {
    case MediaPlayer::Playing:
        return QStringLiteral("Playing");
    case MediaPlayer::Paused:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

QString DesktopIntegration::loopStatus() const
{
    return form_ && c_.loop->isChecked() ? QStringLiteral("Track") : QStringLiteral("None");
}

void DesktopIntegration::setLoopStatus(const QString &status)
{
    if (!form_)
        return;
    // Play Loop repeats the one medium: "Playlist" asks for the same.
    const bool wanted = status == QLatin1String("Track") || status == QLatin1String("Playlist");
    if (wanted != c_.loop->isChecked())
        c_.loop->trigger();
}

QString DesktopIntegration::trackId() const
{
    return QStringLiteral("/org/tavero/Player/track/%1").arg(trackSerial_);
}

QVariantMap DesktopIntegration::metadata() const
{
    QVariantMap m;
    if (!form_)
        return m;
    const QString file = c_.player->FileName();
    if (file.isEmpty() || c_.player->ReadyState() != MediaPlayer::Loaded) {
        m.insert(QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"))));
        return m;
    }
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId())));
    m.insert(QStringLiteral("xesam:title"), QFileInfo(file).fileName());
    m.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded));
    const double length = c_.player->Duration();
    if (length > 0)
        m.insert(QStringLiteral("mpris:length"), qlonglong(length * kMicro));
    return m;
}

qlonglong DesktopIntegration::position() const
{
    return form_ ? qlonglong(c_.player->CurrentPosition() * kMicro) : 0;
}

bool DesktopIntegration::canPlay() const
{
    return form_ && (c_.play->isEnabled() || c_.player->PlayState() == MediaPlayer::Playing);
}

bool DesktopIntegration::canPause() const
{
    return form_ && c_.pause->isEnabled();
}

bool DesktopIntegration::canSeek() const
{
    return form_ && c_.player->ReadyState() == MediaPlayer::Loaded && c_.player->Duration() > 0;
}

bool DesktopIntegration::canGoNext() const
{
    return form_ && c_.next->isEnabled();
}

bool DesktopIntegration::canGoPrevious() const
{
    return form_ && c_.previous->isEnabled();
}

double DesktopIntegration::volume() const
{
    return form_ ? c_.player->Volume() / 100.0 : 0.0;
}

void DesktopIntegration::setVolume(double volume)
{
    // MPRIS allows more than 1.0; the slider ends at its top.
    if (form_ && !qIsNaN(volume))
        c_.player->setVolume(qRound(qBound(0.0, volume, 1.0) * 100.0));
}

void DesktopIntegration::Next()
{
    if (canGoNext())
        c_.next->trigger();
}

void DesktopIntegration::Previous()
{
    if (canGoPrevious())
        c_.previous->trigger();
}

bool DesktopIntegration::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != form_ || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const QMap<int, void (DesktopIntegration::*)()> keys{
        {Qt::Key_MediaNext, &DesktopIntegration::Next},       {Qt::Key_MediaPrevious, &DesktopIntegration::Previous},
        {Qt::Key_MediaPlay, &DesktopIntegration::Play},       {Qt::Key_MediaPause, &DesktopIntegration::Pause},
        {Qt::Key_MediaTogglePlayPause, &DesktopIntegration::PlayPause}, {Qt::Key_MediaStop, &DesktopIntegration::Stop}};
    const auto command = keys.find(static_cast<QKeyEvent *>(event)->key());
    if (command == keys.end())
        return false;
    (this->*command.value())();
    return true;
}

void DesktopIntegration::Play()
{
    if (form_ && c_.player->PlayState() != MediaPlayer::Playing)
        c_.play->trigger();
}

void DesktopIntegration::Pause()
{
    if (form_ && c_.player->PlayState() == MediaPlayer::Playing)
        c_.pause->trigger();
}

void DesktopIntegration::PlayPause()
{
    if (!form_)
        return;
    if (c_.player->PlayState() == MediaPlayer::Playing)
        Pause();
    else
        Play();
}

void DesktopIntegration::Stop()
{
    if (form_)
        c_.stop->trigger();
}

void DesktopIntegration::Seek(qlonglong offsetMicroseconds)
{
    if (!canSeek())
        return;
    const double target = qBound(0.0, c_.player->CurrentPosition() + double(offsetMicroseconds) / kMicro,
                                 c_.player->Duration());
    c_.player->setCurrentPosition(target);
    emit Seeked(position());
}

void DesktopIntegration::SetPosition(const QDBusObjectPath &track, qlonglong positionMicroseconds)
{
    // A position for a track that is no longer the current one is ignored,
    // as MPRIS asks.
    if (!canSeek() || track.path() != trackId() || positionMicroseconds < 0 ||
        double(positionMicroseconds) / kMicro > c_.player->Duration())
        return;
    c_.player->setCurrentPosition(double(positionMicroseconds) / kMicro);
    emit Seeked(position());
}

void DesktopIntegration::Quit()
{
    if (form_)
        c_.exit->trigger();
}

void DesktopIntegration::Raise()
{
    if (!form_)
        return;
    if (form_->isMinimized())
        form_->showNormal();
    form_->raise();
    form_->activateWindow();
}

void DesktopIntegration::playerChanged()
{
    if (!form_)
        return;
    const QString file = c_.player->ReadyState() == MediaPlayer::Loaded ? c_.player->FileName() : QString();
    if (file != lastFile_) {
        lastFile_ = file;
        ++trackSerial_;
    }
    publishChanges();
    screenSaver_->setInhibited(c_.player->PlayState() == MediaPlayer::Playing);
}

void DesktopIntegration::publishChanges()
{
    if (!registered_ || !form_)
        return;
    const QVariantMap now{
        {QStringLiteral("PlaybackStatus"), playbackStatus()},
        {QStringLiteral("LoopStatus"), loopStatus()},
        {QStringLiteral("Metadata"), metadata()},
        {QStringLiteral("CanPlay"), canPlay()},
        {QStringLiteral("CanPause"), canPause()},
        {QStringLiteral("CanSeek"), canSeek()},
        {QStringLiteral("CanGoNext"), canGoNext()},
        {QStringLiteral("CanGoPrevious"), canGoPrevious()},
        {QStringLiteral("Volume"), volume()},
    };
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (published_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    published_ = now;
    if (changed.isEmpty())
        return;
    // Qt's adaptors answer property reads but announce no changes: the
    // standard signal is sent by hand.
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    bus_.send(signal);
}

} // namespace tavero

