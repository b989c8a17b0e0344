// The real program under an X server: a clip named on its command line
// plays, the caption names it, and a decoded picture shows. SIGTERM,
// SIGINT and SIGHUP close it as File > Exit does.
#include "desktop/DesktopIntegration.h"
#include "support/Fakes.h"
#include "support/TestMedia.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

using namespace tavero;
using namespace tavero::test;

class TestStartupX11 : public QObject {
    Q_OBJECT
private slots:
    void commandLineClipPlays_data();
    void commandLineClipPlays();
};

// The place on the screen of the top-level window called exactly `title`.
static QRect windowNamed(const QString &title)
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    if (!xwininfo.waitForFinished(10000))
        return {};
    const QString quoted = QLatin1Char('"') + title + QLatin1Char('"');
    const QStringList lines = QString::fromUtf8(xwininfo.readAllStandardOutput()).split('\n');
    static const QRegularExpression geometry(QStringLiteral("(\\d+)x(\\d+)[+-]-?\\d+[+-]-?\\d+\\s+\\+(-?\\d+)\\+(-?\\d+)"));
    for (const QString &line : lines) {
        if (!line.contains(quoted))
            continue;
        const QRegularExpressionMatch m = geometry.match(line.mid(line.indexOf(quoted) + quoted.size()));
        if (m.hasMatch())
            return QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(),
                         m.captured(2).toInt());
    }
    return {};
}

// Pixels of strong colour: the test picture has them, the window's own
// greys and the black of an empty video area do not.
static int colourfulPixels(const QRect &area)
{
    const QImage image = QGuiApplication::primaryScreen()
                             ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                             .toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int hi = qMax(c.red(), qMax(c.green(), c.blue()));
            const int lo = qMin(c.red(), qMin(c.green(), c.blue()));
            if (hi - lo > 100)
                ++count;
        }
    }
    return count;
}

void TestStartupX11::commandLineClipPlays_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestStartupX11::commandLineClipPlays()
{
    QFETCH(int, signal);
    QDBusConnection bus = QDBusConnection::sessionBus();
    FakeScreenSaver saver;
    QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver,
                               QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
    auto mprisName = [&] { return bus.interface()->isServiceRegistered(DesktopIntegration::kServiceName).value(); };

    QTemporaryDir dir;
    // Blanks and capitals: one argument, played as it is, shown lower-cased.
    const QString clip = dir.filePath(QStringLiteral("My Holiday Clip.MPG"));
    QVERIFY(QFile::copy(TestMedia::mpegClip(4.0), clip));

    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(TAVERO_PROGRAM_DIR "/tavero-player"), {clip});
    QVERIFY(program.waitForStarted(10000));

    const QString caption = QStringLiteral("Tavero : ") + clip.toLower();
    QRect window;
    QTRY_VERIFY_WITH_TIMEOUT(!(window = windowNamed(caption)).isEmpty(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(colourfulPixels(windowNamed(caption)) > 2000, 30000);
    QCOMPARE(program.state(), QProcess::Running);
    QTRY_COMPARE(saver.active.size(), 1);
    QVERIFY(mprisName());

    ::kill(pid_t(program.processId()), signal);
    QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, 10000);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QTRY_VERIFY(saver.active.isEmpty());
    QVERIFY(!mprisName());
    bus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
    bus.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
}

QTEST_MAIN(TestStartupX11)
#include "tst_startup_x11.moc"
