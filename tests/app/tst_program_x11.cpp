// The real program under an X server with a session bus: a clip named on its command line plays, the desktop steers
// it over MPRIS and the screensaver is kept away while it plays; SIGTERM, SIGINT, SIGHUP and MPRIS's Quit close it
// through File > Exit, with exit status 0 and, under the sanitizers, nothing of ours leaked.
#include "desktop/DesktopIntegration.h"
#include "support/FormRig.h"

#include <QDBusConnectionInterface>
#include <QDBusVariant>
#include <QProcess>
#include <QSlider>
#include <QtTest>
#include <csignal>

using namespace tavero;
using namespace tavero::test;

class TestProgramX11 : public QObject {
    Q_OBJECT
private slots:
    void clipOnTheCommandLine();
    void desktopStepsThroughADisc();
};

namespace {

const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2"), kPlayer = kRoot + QStringLiteral(".Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QDBusMessage call(const QString &iface, const QString &method, const QVariantList &args = {})
{
    QDBusMessage m = QDBusMessage::createMethodCall(DesktopIntegration::kServiceName, DesktopIntegration::kObjectPath,
                                                    iface, method);
    m.setArguments(args);
    return m;
}

QVariant get(const QString &name, const QString &iface = kPlayer)
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call(kProperties, "Get", {iface, name}));
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

} // namespace

void TestProgramX11::clipOnTheCommandLine()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    FakeScreenSaver saver;
    QVERIFY(bus.registerObject("/org/freedesktop/ScreenSaver", &saver, QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService("org.freedesktop.ScreenSaver"));
    QTemporaryDir dir;
    // Blanks and capitals: one argument, shown lower-cased and alone in the caption.
    const QString clip = dir.filePath("My Holiday Clip.MPG");
    QVERIFY(QFile::copy(TestMedia::mpegClip(20.0), clip));
    const QStringList findWindow{"-c", "xwininfo -name \"$0\" >/dev/null 2>&1", "Tavero : " + clip.toLower()};
    for (int signal : {SIGTERM, SIGINT, SIGHUP, 0}) {   // 0: Quit over MPRIS
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        // Its own settings (tests/CMakeLists.txt): under the sanitizers it looks for leaks at exit.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &key : env.keys())
            env.insert(key.startsWith("TAVERO_CHILD_") ? key.mid(13) : key, env.value(key));
        // One run draws through OpenGL, one asks for it where it cannot start and falls back; the
        // others let it choose, which under Xvfb is without it.
        const bool gl = signal == SIGHUP;
        if (gl || signal == SIGINT)
            env.insert("TAVERO_VIDEO", "gl");
        if (gl)
            env.insert("LD_PRELOAD", (env.value("LD_PRELOAD") + ' ' + env.value("TAVERO_GL_PRELOAD")).trimmed());
        else if (signal == SIGINT)
            env.insert("QT_XCB_GL_INTEGRATION", "none");
        program.setProcessEnvironment(env);
        program.start(TAVERO_PROGRAM_DIR "/tavero-player", {clip});
        QVERIFY(program.waitForStarted(10000));
        QTRY_COMPARE_WITH_TIMEOUT(QProcess::execute("sh", findWindow), 0, 30000);
        QTRY_COMPARE(saver.active.size(), 1);
        // Drawn without OpenGL, it loads no OpenGL driver (nor LLVM); the libraries that only
        // dispatch to one are linked by Qt and libmpv themselves.
        QFile maps(QString("/proc/%1/maps").arg(program.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QRegularExpression driver("_dri\\.so|libLLVM|libGLX_mesa|libEGL_mesa|libglapi|libgallium|gl[x]?-integration");
        QCOMPARE(QString(maps.readAll()).contains(driver), gl);
        QVERIFY(bus.interface()->isServiceRegistered(DesktopIntegration::kServiceName).value());
        QCOMPARE(get("Identity", kRoot).toString(), QStringLiteral("Tavero Player"));
        QVERIFY(get("DesktopEntry", kRoot) == QStringLiteral("org.tavero.Player") && get("CanQuit", kRoot).toBool());
        QCOMPARE(qdbus_cast<QVariantMap>(get("Metadata"))["xesam:url"].toUrl(), QUrl::fromLocalFile(clip));
        // The bus steers through the menus: bus, menus (CanPause) and screensaver agree.
        for (const auto &[command, now] : {std::pair{"PlayPause", "Paused"}, {"PlayPause", "Playing"},
                                           {"Stop", "Stopped"}, {"Play", "Playing"}}) {
            QCOMPARE(bus.call(call(kPlayer, command)).type(), QDBusMessage::ReplyMessage);
            QTRY_COMPARE_WITH_TIMEOUT(get("PlaybackStatus").toString(), now, 10000);
            QCOMPARE(get("CanPause").toBool(), QLatin1String(now) == "Playing");
            QTRY_COMPARE(saver.active.size(), QLatin1String(now) == "Playing" ? 1 : 0);
            if (QLatin1String(now) != "Paused")
                continue;
            // Paused, the bus moves the position (to a key frame: they are
            // 0.6 s apart in this clip).
            const qlonglong before = get("Position").toLongLong();
            bus.call(call(kPlayer, "Seek", {qlonglong(5'000'000)}));
            QTRY_VERIFY_WITH_TIMEOUT(qAbs(get("Position").toLongLong() - before - 5'000'000) < 700'000, 10000);
        }
        bus.call(call(kProperties, "Set", {kPlayer, "LoopStatus", QVariant::fromValue(QDBusVariant("Track"))}));
        QCOMPARE(get("LoopStatus").toString(), QStringLiteral("Track"));
        signal ? void(::kill(pid_t(program.processId()), signal)) : void(bus.send(call(kRoot, "Quit")));
        QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, 10000);
        QCOMPARE(std::pair(program.exitStatus(), program.exitCode()), std::pair(QProcess::NormalExit, 0));
        QTRY_VERIFY(saver.active.isEmpty());
        QVERIFY(!bus.interface()->isServiceRegistered(DesktopIntegration::kServiceName).value());
    }
}

// The desktop's own client steps through a disc of three tracks as the slots do, and sets the
// volume on the slider; the slider moved is announced to it.
void TestProgramX11::desktopStepsThroughADisc()
{
    FormRig rig({.real = true});
    const DesktopIntegration desktop(rig.form->remoteControls(), QDBusConnection::sessionBus());
    rig.form->Form_Load();
    rig.insertDisc(3, TestMedia::vcdTrack(20.0));
    rig.form->mnuPlayVCD_Click();
    QProcess follow;
    const auto playerctl = [](QProcess &p, const QStringList &args) {
        p.start("playerctl", QStringList{"--player=tavero"} + args);
        QVERIFY(p.waitForStarted());
    };
    for (const auto &[command, track] : {std::pair{"", 0}, {"next", 1}, {"next", 2}, {"previous", 1}}) {
        QProcess client;
        if (*command)
            playerctl(client, {command});
        QTRY_COMPARE_WITH_TIMEOUT(rig.form->windowTitle(), captionFor(rig.track(track)), 15000);
        QCOMPARE(rig.marked(), QList<int>{track});
        QTRY_COMPARE(std::pair(get("CanGoNext").toBool(), get("CanGoPrevious").toBool()), std::pair(track < 2, track > 0));
        QTRY_COMPARE(client.state(), QProcess::NotRunning);
    }
    QProcess client;
    playerctl(client, {"volume", "0.5"});
    auto *slider = rig.mpv->findChild<QSlider *>("volumeSlider");
    QTRY_COMPARE(slider->value(), 50);
    playerctl(follow, {"--follow", "volume"});
    QByteArray heard;
    QTRY_VERIFY2((heard += follow.readAll()).contains("0.5"), heard.constData());
    slider->setValue(30);
    QTRY_VERIFY2((heard += follow.readAll()).contains("0.3"), heard.constData());
    follow.kill();
    QVERIFY(follow.waitForFinished());
}

QTEST_MAIN(TestProgramX11)
#include "tst_program_x11.moc"
