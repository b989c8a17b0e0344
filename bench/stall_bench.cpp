// The GUI thread's longest stall while a track is opened from a drive that
// spins up: the fake drive of the tests (preloaded by bench/run.sh) holds a
// Video CD image; once its panel shows, the drive spins down, and Play Video
// CD opens the first track while the first read waits SPINUP ms. A 50 ms
// timer on the GUI thread measures how late each of its ticks comes; the
// worst lateness is the figure (a window that waits with the drive is late
// by the whole spin-up).
//
//   bench-stall [runs] [spinup-ms]
//
// with TAVERO_FAKE_DRIVE=<dir>/sr0, TAVERO_FAKE_DRIVE_SCRIPT=<dir>/sr0.script
// and LD_PRELOAD=libtavero_fakedrive.so.
//
// Prints runs=, worst_ms= (the median of the runs' worst lateness),
// all= (every run) and waited_ms= (how long Play Video CD took, median).
#include "BenchSeams.h"
#include "app/Form1.h"
#include "playback/MpvPlayer.h"
#include "support/TestMedia.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <linux/cdrom.h>

using namespace tavero;

namespace {

bool script(const QByteArray &lines)
{
    QSaveFile file(qEnvironmentVariable("TAVERO_FAKE_DRIVE_SCRIPT"));
    return file.open(QIODevice::WriteOnly) && file.write(lines) == lines.size() && file.commit();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int spinup = argc > 2 ? std::max(0, std::atoi(argv[2])) : 4000;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QString drive = qEnvironmentVariable("TAVERO_FAKE_DRIVE");
    QTemporaryDir machine;
    if (drive.isEmpty() || !machine.isValid()) {
        std::fprintf(stderr, "bench-stall: run it with the fake drive (bench/run.sh)\n");
        return 1;
    }
    qputenv("TAVERO_TEST_TMP", QFile::encodeName(machine.path()));
    const QString image = test::TestMedia::vcdImage(QStringLiteral("cue")).chopped(3) + QStringLiteral("bin");
    QDir().mkpath(machine.path() + "/sys/sr0");
    QDir().mkpath(QFileInfo(drive).path());   // the drive itself is the fake's: no file
    QFile dev(machine.path() + "/sys/sr0/dev"), mounts(machine.path() + "/mountinfo");
    if (!QFileInfo::exists(image) || !dev.open(QIODevice::WriteOnly) || !mounts.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "bench-stall: the test disc could not be made (ffmpeg, vcdimager)\n");
        return 1;
    }
    dev.write("11:0\n");
    mounts.write("1 0 8:1 / / rw - ext4 /dev/sda1 rw\n");
    dev.close(), mounts.close();
    const QByteArray disc = "disc " + QFile::encodeName(image) + "\n";
    script("tray open\n");

    bench::LinuxDiscSeams layer(machine.path(), QFileInfo(drive).path(),
                                [](const QString &device) { return LinuxCdAudioDevice::queryDriveStatus(device); });
    Seams seams = layer.seams();
    seams.menus = nullptr;   // the disc plays its tracks
    auto *player = new MpvPlayer(MpvPlayer::Output::Headless);
    player->setDiscTracks(layer.cd->tracks());
    Form1 form(seams, player);
    form.Form_Load();
    form.show();

    std::vector<double> worst, waited;
    for (int i = 0; i < runs; ++i) {
        script(disc);
        if (!bench::waitFor([&] { return form.Timer1_Timer(), form.Lbl1[0]->isEnabled(); })) {
            std::fprintf(stderr, "bench-stall: the disc did not show\n");
            return 1;
        }
        script(disc + "spinup " + QByteArray::number(spinup) + "\n");
        double late = 0;
        QElapsedTimer since;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            late = std::max(late, double(since.nsecsElapsed()) / 1e6 - 50);
            since.restart();
        });
        since.start();
        probe.start(50);
        QElapsedTimer open;
        open.start();
        form.mnuPlayVCD_Click();
        const bool played = bench::waitFor([&] { return player->PlayState() == MediaPlayer::Playing; });
        waited.push_back(double(open.elapsed()));
        probe.stop();
        if (!played) {
            std::fprintf(stderr, "bench-stall: the track did not play\n");
            return 1;
        }
        worst.push_back(late);
        form.mnuClose_Click();
        script("tray open\n");
        bench::waitFor([&] { return form.Timer1_Timer(), !form.Lbl1[0]->isEnabled(); });
    }
    std::printf("runs=%d\nworst_ms=%.1f\nwaited_ms=%.0f\nall=", runs, median(worst), median(waited));
    for (double w : worst)
        std::printf("%.1f ", w);
    std::printf("\n");
    return 0;
}
