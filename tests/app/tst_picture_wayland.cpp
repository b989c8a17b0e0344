// The picture under a Wayland compositor (weston, headless, started by the test's wrapper), drawn through OpenGL or
// by the CPU: in its screenshots a clip of one colour fills the video area, framed by the window, at each size.
#include "app/Form1.h"
#include "playback/MpvPlayer.h"
#include "support/Fakes.h"
#include "support/TestMedia.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QtTest>

using namespace tavero;
using namespace tavero::test;
Q_DECLARE_METATYPE(MpvPlayer::Output)

class TestPictureWayland : public QObject {
    Q_OBJECT
private slots:
    void pictureFillsTheVideoArea_data();
    void pictureFillsTheVideoArea();
};

// Where the clip's magenta is on the screen; empty unless it fills that box and the
// window frames it (its light grey border right of the picture, black in full screen).
static QRect magentaBox()
{
    QTemporaryDir dir;
    QProcess::execute(QStringLiteral("sh"), {"-c", "cd \"$0\" && exec weston-screenshooter", dir.path()});
    const QStringList shots = QDir(dir.path()).entryList({QStringLiteral("*.png")});
    const QImage image = shots.isEmpty() ? QImage() : QImage(dir.filePath(shots.first()));
    QRect box;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            const bool magenta = qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) > 200;
            box |= magenta ? QRect(x, y, 1, 1) : QRect();
            count += magenta;
        }
    }
    const QColor beside = box.right() + 2 < image.width() ? image.pixelColor(box.right() + 2, box.center().y())
                                                          : QColor(Qt::black);
    const bool framed = beside.saturation() == 0 && (beside.value() > 200 || beside.value() < 20);
    return framed && count > 0.99 * box.width() * box.height() ? box : QRect();
}

void TestPictureWayland::pictureFillsTheVideoArea_data()
{
    QTest::addColumn<MpvPlayer::Output>("path");
    QTest::newRow("opengl") << MpvPlayer::Output::OpenGL;
    QTest::newRow("software") << MpvPlayer::Output::Software;
}

void TestPictureWayland::pictureFillsTheVideoArea()
{
    QFETCH(MpvPlayer::Output, path);
    const QString clip = QDir(TestMedia::dir()).filePath(QStringLiteral("magenta-30s.mpg"));
    const QString make = "ffmpeg -v error -y -f lavfi -i color=c=magenta:size=352x288:rate=25 -t 30 -target pal-vcd";
    QVERIFY(QFile::exists(clip) || QProcess::execute(make.section(' ', 0, 0), make.split(' ').mid(1) << clip) == 0);
    // Started as the program starts with a clip on its command line: the window opens at the picture's size.
    FakePlatform platform;
    platform.program.arguments = clip;
    Form1 form(platform.seams(), new MpvPlayer(path));
    form.Form_Load();
    form.show();
    const QSize screen = form.screen()->size(), picture(352, 288);
    const QList<std::tuple<QAction *, const char *, QSize>> sizes{
        {form.mnu100, "default", picture}, {form.mnu200, "double", picture * 2}, {form.mnu50, "half", picture / 2},
        {form.mnuFullScreen, "full", picture.scaled(screen, Qt::KeepAspectRatio)}, {form.mnu100, "back", picture}};
    for (const auto &[item, name, size] : sizes) {
        item->trigger();
        // Weston places a window at random: a big one may run past the
        // screen's edge. Screenshots take a while: the wait is in real time.
        QRect box;
        auto right = [&] {
            const QSize seen = size.boundedTo(screen - QSize(box.left(), box.top()));
            return !box.isEmpty() && qAbs(box.width() - seen.width()) <= 2 && qAbs(box.height() - seen.height()) <= 2;
        };
        for (QDeadlineTimer deadline(15000); !right() && !deadline.hasExpired(); QTest::qWait(100))
            box = magentaBox();
        QVERIFY2(right(), qPrintable(QStringLiteral("%1: %2x%3").arg(name).arg(box.width()).arg(box.height())));
    }
}

QTEST_MAIN(TestPictureWayland)
#include "tst_picture_wayland.moc"
