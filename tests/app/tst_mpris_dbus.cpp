// The MPRIS remote control and the screensaver inhibit, on a private
// session bus (the test runs under dbus-run-session).
#include "desktop/DesktopIntegration.h"
#include "support/FormRig.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QtTest>

using namespace tavero;
using namespace tavero::test;

// Collects PropertiesChanged signals seen from outside.
class ChangeLog : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
public slots:
    void changed(const QString &, const QVariantMap &props, const QStringList &) { changes << props; }
};

class TestMpris : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rootInterface();
    void realComponentFromTheBus();
    void loopStatusFollowsPlayLoop();
    void screensaverHeldWhilePlaying();
    void noBusIsSilent();

private:
    QVariant property(const QString &iface, const QString &name);
    QDBusMessage callPlayer(const QString &method, const QVariantList &args = {});
    QDBusConnection client_{QStringLiteral("none")};
};

void TestMpris::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "no session bus: run under dbus-run-session");
    client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
    QVERIFY(client_.isConnected());
}

QVariant TestMpris::property(const QString &iface, const QString &name)
{
    QDBusMessage m = QDBusMessage::createMethodCall(DesktopIntegration::kServiceName, DesktopIntegration::kObjectPath,
                                                    QStringLiteral("org.freedesktop.DBus.Properties"),
                                                    QStringLiteral("Get"));
    m << iface << name;
    // The service lives on this thread: wait with the event loop running.
    QDBusMessage reply = client_.call(m, QDBus::BlockWithGui, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return QVariant();
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

QDBusMessage TestMpris::callPlayer(const QString &method, const QVariantList &args)
{
    QDBusMessage m = QDBusMessage::createMethodCall(DesktopIntegration::kServiceName, DesktopIntegration::kObjectPath,
                                                    QStringLiteral("org.mpris.MediaPlayer2.Player"), method);
    m.setArguments(args);
    return client_.call(m, QDBus::BlockWithGui, 5000);
}

void TestMpris::rootInterface()
{
    FormRig rig;
    auto *desktop = new DesktopIntegration(rig.form.get(), QDBusConnection::sessionBus());
    QVERIFY(desktop->isRegistered());
    const QString root = QStringLiteral("org.mpris.MediaPlayer2");
    QCOMPARE(property(root, QStringLiteral("Identity")).toString(), QStringLiteral("Tavero Player"));
    QCOMPARE(property(root, QStringLiteral("DesktopEntry")).toString(), QStringLiteral("org.tavero.Player"));
    QCOMPARE(property(root, QStringLiteral("CanQuit")).toBool(), true);
    QCOMPARE(property(root, QStringLiteral("CanRaise")).toBool(), true);
    // Nothing loaded.
    QCOMPARE(property(QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("PlaybackStatus")).toString(),
             QStringLiteral("Stopped"));
}

// Collects Seeked signals seen from outside.
class SeekLog : public QObject {
    Q_OBJECT
public:
    QList<qlonglong> positions;
public slots:
    void seeked(qlonglong position) { positions << position; }
};

void TestMpris::realComponentFromTheBus()
{
    FormRig rig({.real = true});
    Form1 &form = *rig.form;
    FakePlatform &platform = rig.platform;
    MpvPlayer *player = rig.mpv;
    form.Form_Load();
    new DesktopIntegration(&form, QDBusConnection::sessionBus());
    const QString p = QStringLiteral("org.mpris.MediaPlayer2.Player");
    ChangeLog log;
    QVERIFY(client_.connect(DesktopIntegration::kServiceName, DesktopIntegration::kObjectPath,
                            QStringLiteral("org.freedesktop.DBus.Properties"),
                            QStringLiteral("PropertiesChanged"), &log,
                            SLOT(changed(QString, QVariantMap, QStringList))));
    auto announced = [&log](const QString &status) {
        return std::any_of(log.changes.begin(), log.changes.end(), [&](const QVariantMap &c) {
            return c.value(QStringLiteral("PlaybackStatus")) == status;
        });
    };
    auto status = [&] { return property(p, QStringLiteral("PlaybackStatus")).toString(); };
    auto position = [&] { return property(p, QStringLiteral("Position")).toLongLong(); };
    SeekLog seeks;
    QVERIFY(client_.connect(DesktopIntegration::kServiceName, DesktopIntegration::kObjectPath, p,
                            QStringLiteral("Seeked"), &seeks, SLOT(seeked(qlonglong))));

    // Long enough not to end while the test runs.
    const QString clip = TestMedia::mpegClip(20.0);
    form.state.SingleFileMode = true;
    form.PlayFile(clip);
    QVERIFY(platform.messages.shown.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Playing"), 10000);
    const QVariantMap meta = qdbus_cast<QVariantMap>(property(p, QStringLiteral("Metadata")));
    QCOMPARE(meta.value(QStringLiteral("xesam:title")).toString(), QFileInfo(clip).fileName());
    QCOMPARE(meta.value(QStringLiteral("xesam:url")).toString(), QUrl::fromLocalFile(clip).toString());
    QVERIFY(!meta.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path().isEmpty());
    QTRY_VERIFY(announced(QStringLiteral("Playing")));
    const qlonglong length = meta.value(QStringLiteral("mpris:length")).toLongLong();
    QVERIFY2(length > 15'000'000 && length < 25'000'000, qPrintable(QString::number(length)));
    QCOMPARE(property(p, QStringLiteral("CanSeek")).toBool(), true);
    const qlonglong started = position();
    QTRY_VERIFY_WITH_TIMEOUT(position() > started, 10000);

    QCOMPARE(callPlayer(QStringLiteral("PlayPause")).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), int(MediaPlayer::Paused), 10000);
    QVERIFY(form.mnuRun->isEnabled());
    QVERIFY(!form.mnuPause->isEnabled());
    QCOMPARE(status(), QStringLiteral("Paused"));
    QTRY_VERIFY(announced(QStringLiteral("Paused")));

    // Paused, the position stays until the bus moves it.
    const qlonglong before = position();
    QCOMPARE(callPlayer(QStringLiteral("Seek"), {qlonglong(5'000'000)}).type(), QDBusMessage::ReplyMessage);
    QTRY_VERIFY_WITH_TIMEOUT(!seeks.positions.isEmpty(), 10000);
    QVERIFY2(seeks.positions.last() >= before + 4'500'000,
             qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(seeks.positions.last())));
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(position() - (before + 5'000'000)) < 500'000, 10000);
    QCOMPARE(player->PlayState(), int(MediaPlayer::Paused));

    QCOMPARE(callPlayer(QStringLiteral("PlayPause")).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Playing"), 10000);
    QVERIFY(!form.mnuRun->isEnabled());
    QVERIFY(form.mnuPause->isEnabled());

    QCOMPARE(callPlayer(QStringLiteral("Stop")).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Stopped"), 10000);
    QVERIFY(form.mnuRun->isEnabled());
    QVERIFY(!form.mnuPause->isEnabled());
    QCOMPARE(callPlayer(QStringLiteral("Play")).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Playing"), 10000);
    QVERIFY(platform.messages.shown.isEmpty());
}

void TestMpris::loopStatusFollowsPlayLoop()
{
    FormRig rig;
    Form1 &form = *rig.form;
    new DesktopIntegration(&form, QDBusConnection::sessionBus());
    const QString p = QStringLiteral("org.mpris.MediaPlayer2.Player");
    QCOMPARE(property(p, QStringLiteral("LoopStatus")).toString(), QStringLiteral("None"));

    QDBusMessage set = QDBusMessage::createMethodCall(DesktopIntegration::kServiceName, DesktopIntegration::kObjectPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Set"));
    set << p << QStringLiteral("LoopStatus") << QVariant::fromValue(QDBusVariant(QStringLiteral("Track")));
    QCOMPARE(client_.call(set, QDBus::BlockWithGui, 5000).type(), QDBusMessage::ReplyMessage);
    QVERIFY(form.mnuLoop->isChecked());

    // The menu command is seen from the bus.
    form.mnuLoop->trigger();
    QVERIFY(!form.mnuLoop->isChecked());
    QCOMPARE(property(p, QStringLiteral("LoopStatus")).toString(), QStringLiteral("None"));
}

void TestMpris::screensaverHeldWhilePlaying()
{
    FakeScreenSaver saver;
    QDBusConnection serviceBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("saver"));
    QVERIFY(serviceBus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver,
                                      QDBusConnection::ExportAllSlots));
    QVERIFY(serviceBus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));

    FormRig rig;
    Form1 &form = *rig.form;
    form.Form_Load();
    auto *desktop = new DesktopIntegration(&form, QDBusConnection::sessionBus());

    form.state.SingleFileMode = true;
    form.PlayFile(TestMedia::mpegClip(1.0));
    QTRY_COMPARE(saver.active.size(), 1);
    QTRY_VERIFY(desktop->screensaverInhibited());

    form.mnuPause->trigger();
    QTRY_COMPARE(saver.active.size(), 0);
    QVERIFY(!desktop->screensaverInhibited());

    form.mnuRun->trigger();
    QTRY_COMPARE(saver.active.size(), 1);
    form.mnuClose->trigger();
    QTRY_COMPARE(saver.active.size(), 0);

    serviceBus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
    QDBusConnection::disconnectFromBus(QStringLiteral("saver"));
}

void TestMpris::noBusIsSilent()
{
    FormRig rig;
    FakeMediaPlayer *player = rig.player;
    auto *desktop = new DesktopIntegration(rig.form.get(), QDBusConnection(QStringLiteral("not connected")));
    QVERIFY(!desktop->isRegistered());
    player->Open(TestMedia::mpegClip(1.0));
    player->Pause();
    QVERIFY(!desktop->screensaverInhibited());

    // No bus announced and none in the runtime folder: the player does not
    // ask for one (libdbus would autolaunch it).
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const bool hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    QTemporaryDir emptyRuntime;
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(emptyRuntime.path()));
    const bool connectedWithout = DesktopIntegration::sessionBus().isConnected();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    if (hadRuntime)
        qputenv("XDG_RUNTIME_DIR", runtime);
    else
        qunsetenv("XDG_RUNTIME_DIR");
    QVERIFY(!connectedWithout);
    QVERIFY(DesktopIntegration::sessionBus().isConnected());
}

QTEST_MAIN(TestMpris)
#include "tst_mpris_dbus.moc"
