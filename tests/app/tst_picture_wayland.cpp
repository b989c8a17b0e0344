// The picture under a Wayland compositor (weston on its headless backend,
// started by the test's wrapper), seen in the compositor's own screenshots:
// a clip of one colour fills the video area at each size, before and after
// full screen, and the screen (at the clip's shape) in full screen.
#include "app/Form1.h"
#include "playback/MpvPlayer.h"
#include "support/Fakes.h"
#include "support/TestMedia.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QtTest>

using namespace tavero;
using namespace tavero::test;

class TestPictureWayland : public QObject {
    Q_OBJECT
private slots:
    void pictureFillsTheVideoArea();
};

struct Shot {
    QImage image;
    QRect box;           // where the clip's colour is on the screen
    double filled = 0;   // how much of that box has it
    bool framed = false; // the window around it
};

static Shot screenshot()
{
    QTemporaryDir dir;
    QProcess shooter;
    shooter.setWorkingDirectory(dir.path());
    shooter.start(QStringLiteral("weston-screenshooter"), {});
    shooter.waitForFinished(10000);
    const QStringList shots = QDir(dir.path()).entryList({QStringLiteral("*.png")});
    Shot shot;
    const QImage &image = shot.image = shots.isEmpty() ? QImage() : QImage(dir.filePath(shots.first()));
    QRect &box = shot.box;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) > 200) {
                box |= QRect(x, y, 1, 1);
                ++count;
            }
        }
    }
    shot.filled = box.isEmpty() ? 0 : double(count) / (box.width() * box.height());
    // Right of the picture the window's light grey border, or black in full
    // screen, not the desktop: the window has grown around the picture.
    const QColor beside = box.right() + 2 < image.width() ? QColor(image.pixel(box.right() + 2, box.center().y()))
                                                          : QColor(Qt::black);
    shot.framed = !box.isEmpty() && beside.saturation() == 0 && (beside.value() > 200 || beside.value() < 20);
    return shot;
}

void TestPictureWayland::pictureFillsTheVideoArea()
{
    QVERIFY(QGuiApplication::platformName().startsWith(QLatin1String("wayland")));
    const QString clip = QDir(TestMedia::dir()).filePath(QStringLiteral("magenta-30s.mpg"));
    if (!QFile::exists(clip))
        QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"), {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                                              "color=c=magenta:size=352x288:rate=25", "-t", "30",
                                                              "-target", "pal-vcd", clip}),
                 0);
    // Started as the program starts with a clip on its command line: the
    // window opens at the picture's size.
    FakePlatform platform;
    platform.program.arguments = clip;
    auto *player = new MpvPlayer;
    Form1 form(platform.seams(), player);
    form.Form_Load();
    form.show();
    QCOMPARE(player->PlayState(), int(MediaPlayer::Playing));

    const QSize screen = form.screen()->size();
    const struct {
        QAction *item;
        const char *name;
        QSize picture;
    } sizes[] = {{form.mnu100, "default", {352, 288}},
                 {form.mnu200, "double", {704, 576}},
                 {form.mnu50, "half", {176, 144}},
                 {form.mnuFullScreen, "full", QSize(352, 288).scaled(screen, Qt::KeepAspectRatio)},
                 {form.mnu100, "back", {352, 288}}};
    for (const auto &s : sizes) {
        s.item->trigger();
        // Weston places a window at random: a big one may run past the
        // screen's edge.
        auto right = [&](const Shot &shot) {
            const QSize seen =
                s.picture.boundedTo(QSize(screen.width() - shot.box.left(), screen.height() - shot.box.top()));
            return shot.framed && shot.filled > 0.99 && qAbs(shot.box.width() - seen.width()) <= 2 &&
                   qAbs(shot.box.height() - seen.height()) <= 2;
        };
        // Each screenshot takes a while: the wait is counted in real time.
        Shot shot;
        for (QDeadlineTimer deadline(15000); !right(shot = screenshot()) && !deadline.hasExpired();)
            QTest::qWait(100);
        shot.image.save(QDir(TestMedia::dir()).filePath(QStringLiteral("wayland-%1.png").arg(s.name)));
        QVERIFY2(right(shot), qPrintable(QStringLiteral("%1: colour in %2x%3, %4 of it filled, framed: %5")
                                             .arg(s.name)
                                             .arg(shot.box.width())
                                             .arg(shot.box.height())
                                             .arg(shot.filled)
                                             .arg(shot.framed)));
    }
    form.mnuStop->trigger();
}

QTEST_MAIN(TestPictureWayland)
#include "tst_picture_wayland.moc"
