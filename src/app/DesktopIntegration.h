#pragma once
// What a Linux desktop expects of a player beyond its window: the MPRIS
// remote control on the session bus (media keys, desktop widgets) and
// keeping the screensaver away while video plays. Every command from the
// bus goes through the same menu actions a user would choose, so the menus
// stay in step. Without a session bus none of this is there, silently.

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

namespace tavero {

class Form1;

class DesktopIntegration : public QObject {
    Q_OBJECT
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
    DesktopIntegration(Form1 *form, QDBusConnection bus);
    ~DesktopIntegration() override;

    bool isRegistered() const { return registered_; }
    QString serviceName() const { return serviceName_; }
    bool screensaverInhibited() const { return inhibitCookie_ != 0; }

    // The MPRIS state, as the adaptors publish it.
    QString playbackStatus() const;
    QString loopStatus() const;
    void setLoopStatus(const QString &status);
    QVariantMap metadata() const;
    qlonglong position() const;
    bool canPlay() const;
    bool canPause() const;
    bool canSeek() const;

    void play();
    void pause();
    void playPause();
    void stop();
    void seek(qlonglong offsetMicroseconds);
    void setPosition(const QString &trackId, qlonglong positionMicroseconds);
    void quit();
    void raise();

signals:
    void Seeked(qlonglong position);

private:
    void playerChanged();
    void publishChanges();
    void updateScreensaver();
    QString trackId() const;

    QPointer<Form1> form_;
    QDBusConnection bus_;
    QString serviceName_;
    bool registered_ = false;
    QVariantMap published_;
    uint inhibitCookie_ = 0;
    bool inhibitPending_ = false;
    bool wantInhibit_ = false;
    quint64 trackSerial_ = 0;
    QString lastFile_;
};

} // namespace tavero
