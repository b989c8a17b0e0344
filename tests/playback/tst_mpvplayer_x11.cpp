// WMP1 with a real display and OpenGL: decoded frames reach the window.
#include "playback/MpvPlayer.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QWindow>
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

// What the screen shows where the widget is: the picture is a native
// window of its own, which a widget grab does not see.
QImage onScreen(const QWidget *w)
{
    const QPoint at = w->mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), w->width(), w->height()).toImage();
}

} // namespace

void TestMpvPlayerX11::frameReachesTheWindow()
{
    const QString clip = TestMedia::mpegClip(4.0);
    QWidget window;
    auto *player = new MpvPlayer(&window);
    QVERIFY(!player->isHeadless());
    player->setAutoSize(true);
    for (int id : {23, 26, 1025, 1086, 1107, 1108})
        player->setViewOption(id, true);
    // Opened before the window is first shown, as at start-up with a file
    // on the command line: the first frames come before there is a window
    // to show them in.
    QString error;
    QVERIFY2(player->Open(clip, &error), qPrintable(error));
    window.resize(player->size());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto picture = [&] { return onScreen(player->findChild<QWidget *>(QStringLiteral("video"))); };
    QTRY_VERIFY_WITH_TIMEOUT(colours(picture()) > 8, 15000);
    QCOMPARE(player->videoArea()->size(), QSize(352, 288));
    const QString shot = QDir(TestMedia::dir()).filePath(QStringLiteral("player-x11.png"));
    onScreen(&window).save(shot);
    qInfo("screenshot: %s", qPrintable(shot));

    // Full screen moves the picture's window to another top-level window
    // and back; the video keeps showing in both.
    player->setDisplaySize(3);
    QVERIFY(player->fullScreenWindow());
    QVERIFY(QTest::qWaitForWindowExposed(player->fullScreenWindow()));
    QWidget *video = player->fullScreenWindow()->findChild<QWidget *>(QStringLiteral("video"));
    QVERIFY(video);
    QCOMPARE(video->size(), player->fullScreenWindow()->size());
    QTRY_VERIFY_WITH_TIMEOUT(colours(onScreen(video)) > 8, 15000);
    // The mouse lands on the picture's own window; the component still
    // hears it: a double click leaves full screen.
    QWindow *pictureWindow = nullptr;
    for (QWindow *w : QGuiApplication::allWindows())
        if (w->objectName() == QLatin1String("videoWindow"))
            pictureWindow = w;
    QVERIFY(pictureWindow);
    // (QTest's double click on a window makes no double-click event here;
    // the window system would, and this is what it delivers.)
    QMouseEvent dblClick(QEvent::MouseButtonDblClick, QPointF(40, 40), pictureWindow->mapToGlobal(QPointF(40, 40)),
                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pictureWindow, &dblClick);
    QTRY_VERIFY_WITH_TIMEOUT(!player->fullScreenWindow(), 5000);
    if (player->PlayState() != MediaPlayer::Playing) {
        player->Stop();
        QVERIFY(player->Play());
    }
    QTRY_VERIFY_WITH_TIMEOUT(colours(picture()) > 8, 15000);

    // Moves reach the window's handlers in the component's coordinates;
    // the right button opens the component's menu.
    QSignalSpy moves(player, &MediaPlayer::MouseMove);
    QTest::mouseMove(pictureWindow, QPoint(30, 20));
    QTRY_VERIFY(!moves.isEmpty());
    QCOMPARE(moves.last().at(2).toFloat(), 30.0f);
    QCOMPARE(moves.last().at(3).toFloat(), 20.0f);
    QTest::mouseClick(pictureWindow, Qt::RightButton, {}, QPoint(30, 20));
    QTRY_VERIFY(player->contextMenu()->isVisible());
    player->contextMenu()->hide();

    // Destroyed while playing, with its GL context alive.
    delete player;
}

QTEST_MAIN(TestMpvPlayerX11)
#include "tst_mpvplayer_x11.moc"
