#include "app/DesktopIntegration.h"

#include "app/Form1.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>

namespace tavero {

namespace {

const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
constexpr double kMicro = 1e6;

class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool CanSetFullscreen READ canSetFullscreen)
    Q_PROPERTY(bool Fullscreen READ fullscreen)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    explicit MprisRoot(DesktopIntegration *d) : QDBusAbstractAdaptor(d), d_(d) {}
    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool canSetFullscreen() const { return false; }
    bool fullscreen() const { return false; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Tavero Player"); }
    QString desktopEntry() const { return QStringLiteral("org.tavero.Player"); }
    // Files reach the player through its own window only.
    QStringList supportedUriSchemes() const { return {}; }
    QStringList supportedMimeTypes() const { return {}; }

public slots:
    void Quit() { d_->quit(); }
    void Raise() { d_->raise(); }

private:
    DesktopIntegration *d_;
};

class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ no)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    explicit MprisPlayer(DesktopIntegration *d) : QDBusAbstractAdaptor(d), d_(d)
    {
        connect(d, &DesktopIntegration::Seeked, this, &MprisPlayer::Seeked);
    }
    QString playbackStatus() const { return d_->playbackStatus(); }
    QString loopStatus() const { return d_->loopStatus(); }
    void setLoopStatus(const QString &s) { d_->setLoopStatus(s); }
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const { return d_->metadata(); }
    double volume() const { return 1.0; }
    void setVolume(double) {}
    qlonglong position() const { return d_->position(); }
    bool no() const { return false; }
    bool canPlay() const { return d_->canPlay(); }
    bool canPause() const { return d_->canPause(); }
    bool canSeek() const { return d_->canSeek(); }
    bool canControl() const { return true; }

public slots:
    void Next() {}
    void Previous() {}
    void Pause() { d_->pause(); }
    void PlayPause() { d_->playPause(); }
    void Stop() { d_->stop(); }
    void Play() { d_->play(); }
    void Seek(qlonglong offset) { d_->seek(offset); }
    void SetPosition(const QDBusObjectPath &track, qlonglong position)
    {
        d_->setPosition(track.path(), position);
    }
    void OpenUri(const QString &) {}

signals:
    void Seeked(qlonglong Position);

private:
    DesktopIntegration *d_;
};

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

DesktopIntegration::DesktopIntegration(Form1 *form, QDBusConnection bus)
    : QObject(form), form_(form), bus_(std::move(bus))
{
    if (!bus_.isConnected())
        return;
    new MprisRoot(this);
    new MprisPlayer(this);
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

    MediaPlayer *player = form->WMP1;
    connect(player, &MediaPlayer::PlayStateChange, this, &DesktopIntegration::playerChanged);
    connect(player, &MediaPlayer::ReadyStateChange, this, &DesktopIntegration::playerChanged);
    connect(form->mnuLoop, &QAction::toggled, this, &DesktopIntegration::publishChanges);
    for (QAction *a : {form->mnuRun, form->mnuPause, form->mnuStop})
        connect(a, &QAction::enabledChanged, this, &DesktopIntegration::publishChanges);
    published_ = {};
    publishChanges();
}

DesktopIntegration::~DesktopIntegration()
{
    if (inhibitCookie_ != 0) {
        bus_.call(QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                 kScreenSaverService, QStringLiteral("UnInhibit"))
                      << inhibitCookie_,
                  QDBus::NoBlock);
    }
    if (registered_) {
        bus_.unregisterService(serviceName_);
        bus_.unregisterObject(kObjectPath);
    }
}

QString DesktopIntegration::playbackStatus() const
{
    if (!form_)
        return QStringLiteral("Stopped");
    switch (form_->WMP1->PlayState()) {
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
    return form_ && form_->mnuLoop->isChecked() ? QStringLiteral("Track") : QStringLiteral("None");
}

void DesktopIntegration::setLoopStatus(const QString &status)
{
    if (!form_)
        return;
    // Play Loop repeats the one medium: "Playlist" asks for the same.
    const bool wanted = status == QLatin1String("Track") || status == QLatin1String("Playlist");
    if (wanted != form_->mnuLoop->isChecked())
        form_->mnuLoop->trigger();
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
    const QString file = form_->WMP1->FileName();
    if (file.isEmpty() || form_->WMP1->ReadyState() != MediaPlayer::Loaded) {
        m.insert(QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"))));
        return m;
    }
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId())));
    m.insert(QStringLiteral("xesam:title"), QFileInfo(file).fileName());
    m.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded));
    const double length = form_->WMP1->Duration();
    if (length > 0)
        m.insert(QStringLiteral("mpris:length"), qlonglong(length * kMicro));
    return m;
}

qlonglong DesktopIntegration::position() const
{
    return form_ ? qlonglong(form_->WMP1->CurrentPosition() * kMicro) : 0;
}

bool DesktopIntegration::canPlay() const
{
    return form_ && (form_->mnuRun->isEnabled() || form_->WMP1->PlayState() == MediaPlayer::Playing);
}

bool DesktopIntegration::canPause() const
{
    return form_ && form_->mnuPause->isEnabled();
}

bool DesktopIntegration::canSeek() const
{
    return form_ && form_->WMP1->ReadyState() == MediaPlayer::Loaded && form_->WMP1->Duration() > 0;
}

void DesktopIntegration::play()
{
    if (form_ && form_->WMP1->PlayState() != MediaPlayer::Playing)
        form_->mnuRun->trigger();
}

void DesktopIntegration::pause()
{
    if (form_ && form_->WMP1->PlayState() == MediaPlayer::Playing)
        form_->mnuPause->trigger();
}

void DesktopIntegration::playPause()
{
    if (!form_)
        return;
    if (form_->WMP1->PlayState() == MediaPlayer::Playing)
        pause();
    else
        play();
}

void DesktopIntegration::stop()
{
    if (form_)
        form_->mnuStop->trigger();
}

void DesktopIntegration::seek(qlonglong offsetMicroseconds)
{
    if (!canSeek())
        return;
    const double target = qBound(0.0, form_->WMP1->CurrentPosition() + double(offsetMicroseconds) / kMicro,
                                 form_->WMP1->Duration());
    form_->WMP1->setCurrentPosition(target);
    emit Seeked(position());
}

void DesktopIntegration::setPosition(const QString &track, qlonglong positionMicroseconds)
{
    // A position for a track that is no longer the current one is ignored,
    // as MPRIS asks.
    if (!canSeek() || track != trackId() || positionMicroseconds < 0 ||
        double(positionMicroseconds) / kMicro > form_->WMP1->Duration())
        return;
    form_->WMP1->setCurrentPosition(double(positionMicroseconds) / kMicro);
    emit Seeked(position());
}

void DesktopIntegration::quit()
{
    if (form_)
        form_->mnuExit->trigger();
}

void DesktopIntegration::raise()
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
    const QString file = form_->WMP1->ReadyState() == MediaPlayer::Loaded ? form_->WMP1->FileName() : QString();
    if (file != lastFile_) {
        lastFile_ = file;
        ++trackSerial_;
    }
    publishChanges();
    updateScreensaver();
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
    };
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (published_.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    published_ = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    bus_.send(signal);
}

void DesktopIntegration::updateScreensaver()
{
    if (!bus_.isConnected() || !form_)
        return;
    wantInhibit_ = form_->WMP1->PlayState() == MediaPlayer::Playing;
    if (wantInhibit_ && inhibitCookie_ == 0 && !inhibitPending_) {
        QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                           kScreenSaverService, QStringLiteral("Inhibit"));
        call << QStringLiteral("Tavero Player") << QStringLiteral("Playing video");
        inhibitPending_ = true;
        auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            inhibitPending_ = false;
            QDBusPendingReply<uint> reply = *w;
            if (reply.isError())
                return;   // no screensaver service: nothing to keep away
            inhibitCookie_ = reply.value();
            // Playback may have stopped while the answer was on its way.
            if (!wantInhibit_)
                updateScreensaver();
        });
    } else if (!wantInhibit_ && inhibitCookie_ != 0) {
        QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                           kScreenSaverService, QStringLiteral("UnInhibit"));
        call << inhibitCookie_;
        inhibitCookie_ = 0;
        bus_.asyncCall(call);
    }
}

} // namespace tavero

#include "DesktopIntegration.moc"
