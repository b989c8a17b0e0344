// Plays a clip in the real main window, on the display it is given, while
// the GUI thread has other work: the drive watch scanning a disc of many
// track files every second, the window resized back and forth every 100 ms
// and a menu opened and closed every second. Frames that mpv drops or
// draws late then are frames the user misses. With "quiet" it only plays,
// at the size named (default, double or full), for the CPU figures at
// those sizes.
//
//   bench-busy CLIP [seconds] [files] [busy|quiet] [default|double|full]
//
// Prints frames_dropped= and frames_delayed= (mpv's frame-drop-count and
// vo-delayed-frame-count at the end), and how often each chore ran.
#include "BenchSeams.h"
#include "app/Form1.h"
#include "playback/MpvPlayer.h"

#include <QApplication>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <clocale>
#include <cstdio>
#include <cstring>

using namespace tavero;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-busy CLIP [seconds] [files]\n");
        return 2;
    }
    const QString clip = QString::fromLocal8Bit(argv[1]);
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 15;
    const int files = argc > 3 ? std::atoi(argv[3]) : 10000;
    const bool busy = argc <= 4 || std::strcmp(argv[4], "quiet") != 0;
    const char *size = argc > 5 ? argv[5] : "default";
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "bench-busy: needs an X display, not %s\n", qPrintable(QGuiApplication::platformName()));
        return 2;
    }

    QTemporaryDir disc;
    const QString failure =
        disc.isValid() ? bench::makeTracks(disc.path(), QStringLiteral("Mpegav"), files) : QStringLiteral("no temporary folder");
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "bench-busy: %s\n", qPrintable(failure));
        return 1;
    }
    bench::BenchSeams seams(disc.path());
    auto *player = new MpvPlayer;
    Form1 form(seams.seams(), player);
    form.Form_Load();
    form.show();
    QElapsedTimer wait;
    wait.start();
    while (!(form.windowHandle() && form.windowHandle()->isExposed()) && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (form.File1.ListCount() != files) {
        std::fprintf(stderr, "bench-busy: the drive shows %d of %d track files\n", form.File1.ListCount(), files);
        return 1;
    }

    form.PlayFile(clip);
    if (player->PlayState() != MediaPlayer::Playing) {
        std::fprintf(stderr, "bench-busy: the clip does not play: %s\n", qPrintable(player->ErrorDescription()));
        return 1;
    }
    if (std::strcmp(size, "double") == 0)
        form.mnu200->trigger();
    else if (std::strcmp(size, "full") == 0)
        form.mnuFullScreen->trigger();
    if (!busy) {
        QEventLoop playing;
        QTimer::singleShot(seconds * 1000, &playing, &QEventLoop::quit);
        playing.exec();
        return player->PlayState() == MediaPlayer::Playing ? 0 : 1;
    }

    // The status timer stands still while a medium plays; the drive is
    // watched here as it is when idle, every second.
    int scans = 0, resizes = 0, menus = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &form, [&] {
        form.LoadTrackList();
        ++scans;
    });
    watch.start(1000);
    const QSize base = form.size();
    QTimer resize;
    QObject::connect(&resize, &QTimer::timeout, &form, [&] {
        form.resize(++resizes % 2 ? base + QSize(160, 120) : base);
    });
    resize.start(100);
    QTimer menu;
    QObject::connect(&menu, &QTimer::timeout, &form, [&] {
        form.mnuAction->popup(form.mapToGlobal(QPoint(20, 20)));
        QTimer::singleShot(400, form.mnuAction, &QMenu::hide);
        ++menus;
    });
    QTimer::singleShot(500, &menu, [&menu] { menu.start(1000); });

    // A loop of its own: the application's quit would close the window,
    // and that stops the medium.
    QEventLoop playing;
    QTimer::singleShot(seconds * 1000, &playing, &QEventLoop::quit);
    playing.exec();
    const MpvPlayer::FrameCounts counts = player->frameCounts();
    watch.stop();
    resize.stop();
    menu.stop();

    if (player->PlayState() != MediaPlayer::Playing) {
        // The counts of a medium that stopped early say nothing.
        std::fprintf(stderr, "bench-busy: the clip stopped playing: %s\n", qPrintable(player->ErrorDescription()));
        return 1;
    }
    std::printf("frames_dropped=%lld\nframes_delayed=%lld\nscans=%d\nresizes=%d\nmenus=%d\n",
                static_cast<long long>(counts.dropped), static_cast<long long>(counts.delayed), scans, resizes, menus);
    return 0;
}
