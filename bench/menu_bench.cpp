// Times a disc's menu from a number key to the chosen item: a Video CD 2.0
// image made by vcdxbuild in the image drive, the real window and
// component (headless), the menu's still on screen, then "1" pressed; the
// time until the chosen track plays (loaded, its first frame decoded).
// Each run enters the menu anew.
//
//   bench-menu [runs]
//
// Prints runs= and key_to_item_ms= (the median) and all= (every run).
#include "BenchSeams.h"
#include "app/Form1.h"
#include "playback/MpvPlayer.h"
#include "support/PbcDiscs.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QTemporaryDir>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <linux/cdrom.h>

using namespace tavero;

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir machine;
    qputenv("TAVERO_TEST_TMP", QFile::encodeName(machine.path()));
    const QString image = test::PbcDiscs::videoCd();
    QDir().mkpath(machine.path() + "/dev");
    QFile mounts(machine.path() + "/mountinfo");
    if (!QFileInfo::exists(image) || !mounts.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "bench-menu: the test disc could not be made (vcdxbuild, mjpegtools)\n");
        return 1;
    }
    mounts.write("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n");
    mounts.close();

    bench::LinuxDiscSeams layer(machine.path(), machine.path() + "/dev",
                                [](const QString &) { return CdDriveStatus{0, 0, CDS_NO_DISC}; });
    Seams seams = layer.seams();
    auto *player = new MpvPlayer(MpvPlayer::Output::Headless);
    player->setDiscTracks(layer.cd->tracks());
    Form1 form(seams, player);
    const auto playing = [&](const char *file) {
        return player->PlayState() == MediaPlayer::Playing && form.windowTitle().endsWith(QLatin1String(file));
    };
    form.PlayFile(image);
    auto *menuItem = player->contextMenu()->findChild<QAction *>("discMenu");
    if (!bench::waitFor([&] { return playing("avseq01.dat") && menuItem && menuItem->isVisible(); })) {
        std::fprintf(stderr, "bench-menu: the disc's menu was not offered\n");
        return 1;
    }
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        menuItem->trigger();
        if (!bench::waitFor([&] { return playing("item0001.dat"); }))
            break;
        QKeyEvent key(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier, QStringLiteral("1"));
        QElapsedTimer t;
        t.start();
        QCoreApplication::sendEvent(player, &key);
        if (!bench::waitFor([&] { return playing("avseq01.dat"); }))
            break;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    if (ms.size() != std::size_t(runs)) {
        std::fprintf(stderr, "bench-menu: a run did not reach the chosen item\n");
        return 1;
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    std::printf("runs=%d\nkey_to_item_ms=%.1f\nall=", runs, sorted[sorted.size() / 2]);
    for (double m : ms)
        std::printf("%.1f ", m);
    std::printf("\n");
    return 0;
}
