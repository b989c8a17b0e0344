#pragma once
// What a Linux desktop expects of a player beyond its window: the MPRIS
// remote control on the session bus (media keys, desktop widgets) and
// keeping the screensaver away while video plays. Every command from the
// bus goes through the same menu actions a user would choose, so the menus
// stay in step. Without a session bus none of this is there, silently;
// the keyboard's media keys in the window give the same commands either
// way.
//
// This object is what the bus sees at kObjectPath: the adaptors generated
// from org.mpris.MediaPlayer2*.xml read its properties and call its
// methods by their D-Bus names.

#include "platform/Program.h"
#include "playback/MediaPlayer.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

namespace tavero {

class ScreenSaverInhibitor;

// What the bus drives: the window, its player and the menu items a user
// would choose; `next` and `previous` step through a disc's tracks, enabled
// while there is a track to step to.
struct RemoteControls {
    QWidget *window = nullptr;
    MediaPlayer *player = nullptr;
    QAction *play = nullptr, *pause = nullptr, *stop = nullptr, *loop = nullptr, *exit = nullptr;
    QAction *next = nullptr, *previous = nullptr;
};

class DesktopIntegration : public QObject {
    Q_OBJECT
    // org.mpris.MediaPlayer2
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool CanSetFullscreen READ no)
    Q_PROPERTY(bool Fullscreen READ no)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)
    // org.mpris.MediaPlayer2.Player
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ one WRITE ignore)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ yes)
public:
    static inline const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.tavero");
    static inline const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");

    // The desktop's session bus when one is running, else a connection
    // that is not connected. Asking Qt for the session bus with none
    // announced makes libdbus autolaunch one (dbus-launch with $DISPLAY
    // set), which would outlive the player.
    static QDBusConnection sessionBus();

    // Becomes a child of the window; does nothing when the bus is not
    // connected.
    DesktopIntegration(const RemoteControls &controls, QDBusConnection bus);
    ~DesktopIntegration() override;

    bool isRegistered() const { return registered_; }
    QString serviceName() const { return serviceName_; }
    bool screensaverInhibited() const;

    QString playbackStatus() const;
    QString loopStatus() const;
    void setLoopStatus(const QString &status);
    QVariantMap metadata() const;
    qlonglong position() const;
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    // 0.0 to 1.0 over the component's volume range.
    double volume() const;
    void setVolume(double volume);

    // The bus's methods.
    void Raise();
    void Quit();
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong offsetMicroseconds);
    void SetPosition(const QDBusObjectPath &track, qlonglong positionMicroseconds);
    // Files reach the player through its own window only.
    void OpenUri(const QString &) {}

signals:
    void Seeked(qlonglong position);

protected:
    // The media keys, wherever in the window the keyboard is.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static bool yes() { return true; }
    static bool no() { return false; }
    static double one() { return 1.0; }
    static void ignore(double) {}
    static QStringList none() { return {}; }
    static QString identity() { return kProgramName; }
    static QString desktopEntry() { return QStringLiteral("org.tavero.Player"); }
    void playerChanged();
    void publishChanges();
    QString trackId() const;

    // Cleared as the window goes, before the items and the player do.
    QPointer<QWidget> form_;
    RemoteControls c_;
    QDBusConnection bus_;
    ScreenSaverInhibitor *screenSaver_ = nullptr;
    QString serviceName_;
    bool registered_ = false;
    QVariantMap published_;
    quint64 trackSerial_ = 0;
    QString lastFile_;
};

} // namespace tavero
