// The component with a display, drawing through OpenGL or by the CPU: frames reach the screen, in the window and full
// screen; the mouse on the picture reaches the component.
#include "playback/MpvPlayer.h"
#include "support/TestMedia.h"

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

using namespace tavero;
Q_DECLARE_METATYPE(MpvPlayer::Output)

// Colours on the screen where `w` is (a grab of the widget cannot see the
// picture's native window): a test pattern has many, an empty area one.
static int colours(const QWidget *w)
{
    const QPoint at = w->mapToGlobal(QPoint(0, 0));
    const QImage image = w->screen()->grabWindow(0, at.x(), at.y(), w->width(), w->height()).toImage();
    QSet<QRgb> seen;
    for (qsizetype i = 0; i < qsizetype(image.width()) * image.height(); i += 97)
        seen.insert(image.pixel(int(i % image.width()), int(i / image.width())));
    return int(seen.size());
}

class TestMpvPlayerX11 : public QObject {
    Q_OBJECT
private slots:
    void pictureOnScreen_data()
    {
        QTest::addColumn<MpvPlayer::Output>("path");
        QTest::newRow("opengl") << MpvPlayer::Output::OpenGL;
        QTest::newRow("software") << MpvPlayer::Output::Software;
    }
    void pictureOnScreen()
    {
        QFETCH(MpvPlayer::Output, path);
        QWidget window;
        auto *player = new MpvPlayer(path, &window);
        QCOMPARE(player->drawsInSoftware(), path == MpvPlayer::Output::Software);
        player->setAutoSize(true);
        player->setViewOption(MpvPlayer::ViewContextMenu, true);
        // Opened before the window first shows, as a file named on the
        // command line: the first frames come before there is a window.
        QVERIFY(player->Open(tavero::test::TestMedia::mpegClip(4.0)));
        window.resize(player->size());
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(colours(player->findChild<QWidget *>("video")) > 8, 15000);

        player->setDisplaySize(MediaPlayer::FullScreen);
        QWidget *video = player->fullScreenWindow()->findChild<QWidget *>("video");
        QTRY_VERIFY_WITH_TIMEOUT(colours(video) > 8, 15000);
        // The mouse on the picture: the OpenGL one's native window, or the full-screen window the
        // software one's widget fills.
        QWindow *picture = nullptr;
        for (QWindow *w : QGuiApplication::allWindows())
            picture = w->objectName() == "videoWindow" ? w : picture;
        QVERIFY((picture != nullptr) == (path == MpvPlayer::Output::OpenGL));
        picture = picture ? picture : video->window()->windowHandle();
        QSignalSpy moves(player, &MediaPlayer::MouseMove);
        QTest::mouseMove(picture, QPoint(10, 10));   // Qt drops a move to where the last row's ended
        QTest::mouseMove(picture, QPoint(30, 20));
        QTRY_VERIFY(!moves.isEmpty());
        QCOMPARE(moves.last().mid(2), (QList<QVariant>{30.0f, 20.0f}));
        QTest::mouseClick(picture, Qt::RightButton, {}, QPoint(30, 20));
        QTRY_VERIFY(player->contextMenu()->isVisible());
        player->contextMenu()->hide();
        // What the window system sends on a double click (QTest sends none).
        QMouseEvent twice(QEvent::MouseButtonDblClick, {40, 40}, picture->mapToGlobal(QPointF(40, 40)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(picture, &twice);
        QTRY_VERIFY(!player->fullScreenWindow());
        QVERIFY(player->PlayState() == MediaPlayer::Playing || player->Play());
        QTRY_VERIFY_WITH_TIMEOUT(colours(player->findChild<QWidget *>("video")) > 8, 15000);

        // The full-screen close box only leaves full screen; closing the main
        // window in full screen ends the event loop, and the component goes.
        player->setDisplaySize(MediaPlayer::FullScreen);
        player->fullScreenWindow()->close();
        QTRY_VERIFY(!player->fullScreenWindow());
        QCOMPARE(std::pair(player->DisplaySize(), window.isVisible()), std::pair(int(MediaPlayer::DefaultSize), true));
        player->setDisplaySize(MediaPlayer::FullScreen);
        QTRY_VERIFY(player->fullScreenWindow()->isVisible());
        QTimer::singleShot(0, &window, [&window] { window.close(); });
        QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(TestMpvPlayerX11)
#include "tst_mpvplayer_x11.moc"
