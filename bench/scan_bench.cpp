// Times the track scan over a folder of many track files: the steady scan
// that the status timer runs every idle second (the count unchanged), and a
// full rebuild of the panel. The file system is the real one; the CD drive
// is a folder that a fake drive list and a fake CD device present as a
// disc that is in.
//
//   bench-scan [files] [steady runs] [rebuild runs]
//
// Prints files=, steady_us= and rebuild_us= (medians, in microseconds).
#include "BenchSeams.h"
#include "app/Form1.h"
#include "playback/MpvPlayer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

using namespace tavero;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const int files = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int steadyRuns = argc > 2 ? std::atoi(argv[2]) : 2000;
    const int rebuildRuns = argc > 3 ? std::atoi(argv[3]) : 200;
    // The window is never shown; it needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::setlocale(LC_NUMERIC, "C");

    QTemporaryDir disc;
    const QString failure =
        disc.isValid() ? bench::makeTracks(disc.path(), QStringLiteral("MPEGAV"), files) : QStringLiteral("no temporary folder");
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "bench-scan: %s\n", qPrintable(failure));
        return 1;
    }

    bench::BenchSeams seams(disc.path());
    Form1 form(seams.seams(), new MpvPlayer(MpvPlayer::Output::Headless));
    form.FindCDDrive(false);
    form.LoadTrackList();
    if (form.File1.ListCount() != files) {
        std::fprintf(stderr, "bench-scan: the scan found %d of %d files\n", form.File1.ListCount(), files);
        return 1;
    }

    QElapsedTimer t;
    std::vector<double> steady, rebuild;
    for (int i = 0; i < steadyRuns; ++i) {
        t.start();
        form.LoadTrackList();
        steady.push_back(t.nsecsElapsed() / 1000.0);
    }
    // A track more, then one less: each scan finds a new count and builds
    // the panel again.
    const QString extra = disc.path() + QStringLiteral("/MPEGAV/ZZEXTRA.DAT");
    for (int i = 0; i < rebuildRuns; ++i) {
        if (i % 2 == 0)
            (void)QFile(extra).open(QIODevice::WriteOnly);
        else
            QFile::remove(extra);
        t.start();
        form.LoadTrackList();
        rebuild.push_back(t.nsecsElapsed() / 1000.0);
    }
    if (form.File1.ListCount() < files || form.Lbl1[9]->toolTip() != QLatin1String(" More tracks list ...")) {
        std::fprintf(stderr, "bench-scan: the panel was not built\n");
        return 1;
    }
    std::printf("files=%d\nsteady_us=%.1f\nrebuild_us=%.1f\n", files, median(steady), median(rebuild));
    return 0;
}
