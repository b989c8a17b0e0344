// WMP1 with a real display and OpenGL: decoded frames reach the window.
#include "playback/MpvPlayer.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QImage>
#include <QtTest>

using namespace tavero;
using namespace tavero::test;

class TestMpvPlayerX11 : public QObject {
    Q_OBJECT
private slots:
    void frameReachesTheWindow();
};

namespace {

// Distinct colours in a sample of the picture: a test pattern has many, a
// black or empty area one.
int colours(const QImage &image)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            seen.insert(image.pixel(x, y));
    return int(seen.size());
}

} // namespace

void TestMpvPlayerX11::frameReachesTheWindow()
{
    const QString clip = TestMedia::mpegClip(4.0);
    QWidget window;
    auto *player = new MpvPlayer(&window);
    QVERIFY(!player->isHeadless());
    player->setAutoSize(true);
    for (int id : {23, 26, 1025, 1086, 1108})
        player->setViewOption(id, true);
    // Opened before the window is first shown, as at start-up with a file
    // on the command line: there is no GL context yet.
    QString error;
    QVERIFY2(player->Open(clip, &error), qPrintable(error));
    window.resize(player->size());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto picture = [&] { return player->findChild<QWidget *>(QStringLiteral("video"))->grab().toImage(); };
    QTRY_VERIFY_WITH_TIMEOUT(colours(picture()) > 8, 15000);
    QCOMPARE(player->videoArea()->size(), QSize(352, 288));
    const QString shot = QDir(TestMedia::dir()).filePath(QStringLiteral("player-x11.png"));
    window.grab().save(shot);
    qInfo("screenshot: %s", qPrintable(shot));

    // Full screen gives the picture a new GL context; the video comes back
    // in it, and again when it returns.
    player->setDisplaySize(3);
    QVERIFY(player->fullScreenWindow());
    QVERIFY(QTest::qWaitForWindowExposed(player->fullScreenWindow()));
    QWidget *video = player->fullScreenWindow()->findChild<QWidget *>(QStringLiteral("video"));
    QVERIFY(video);
    QTRY_VERIFY_WITH_TIMEOUT(colours(video->grab().toImage()) > 8, 15000);
    player->setDisplaySize(0);
    QTRY_VERIFY_WITH_TIMEOUT(!player->fullScreenWindow(), 5000);
    if (player->PlayState() != MediaPlayer::Playing) {
        player->Stop();
        QVERIFY(player->Play());
    }
    QTRY_VERIFY_WITH_TIMEOUT(colours(picture()) > 8, 15000);

    // Destroyed while playing, with its GL context alive.
    delete player;
}

QTEST_MAIN(TestMpvPlayerX11)
#include "tst_mpvplayer_x11.moc"
