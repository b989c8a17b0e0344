// Times the track scan over a folder of many track files: the steady scan
// that the status timer runs every idle second (the count unchanged), and a
// full rebuild of the panel. The file system is the real one; the CD drive
// is a folder that a fake drive list and a fake CD device present as a
// disc that is in.
//
//   bench-scan [files] [steady runs] [rebuild runs]
//
// Prints files=, steady_us= and rebuild_us= (medians, in microseconds).
#include "app/Form1.h"
#include "platform/LinuxFileSystem.h"
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

namespace {

using namespace tavero;

class QuietMessages : public MessageBoxes {
public:
    void show(const QString &text, MessageIcon, const QString &) override
    {
        std::fprintf(stderr, "bench-scan: message: %s\n", qPrintable(text));
    }
};

class Pump : public EventPump {
public:
    void processEvents() override { QCoreApplication::processEvents(); }
};

// A drive with a disc in it.
class DiscIn : public CdAudioDevice {
public:
    int sendCommand(const QString &, QString *reply, int capacity) override
    {
        if (reply && capacity > 0)
            *reply = QStringLiteral("true");
        return 0;
    }
};

class OneDrive : public DriveQuery {
public:
    explicit OneDrive(QString root) : root_(std::move(root)) {}
    QStringList drives() override { return {QStringLiteral("sr0")}; }
    QString driveRoot(const QString &) override { return root_; }
    int driveType(const QString &root) override { return root == root_ ? kCdRom : 3; }

private:
    QString root_;
};

class NoDialog : public OpenFileDialog {
public:
    QString getOpenFileName(QWidget *, const QString &, const QList<FileFilter> &, int, const QString &) override
    {
        return {};
    }
};

class NoLauncher : public ProcessLauncher {
public:
    bool startDetached(const QString &, const QStringList &) override { return false; }
};

class NoArguments : public ProgramInfo {
public:
    QString argumentText() override { return {}; }
    QString programFolder() override { return QDir::tempPath(); }
};

class SteadyClock : public Clock {
public:
    double seconds() override { return timer_.elapsed() / 1000.0; }
    SteadyClock() { timer_.start(); }

private:
    QElapsedTimer timer_;
};

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
    if (!disc.isValid() || !QDir(disc.path()).mkdir(QStringLiteral("MPEGAV"))) {
        std::fprintf(stderr, "bench-scan: cannot make the temporary disc\n");
        return 1;
    }
    for (int i = 1; i <= files; ++i) {
        QFile f(disc.path() + QStringLiteral("/MPEGAV/AVSEQ%1.DAT").arg(i, 4, 10, QLatin1Char('0')));
        if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray(2048 + i, 'v')) < 0) {
            std::fprintf(stderr, "bench-scan: cannot write %s\n", qPrintable(f.fileName()));
            return 1;
        }
    }

    QuietMessages messages;
    Pump pump;
    DiscIn cd;
    OneDrive drives(disc.path() + QLatin1Char('/'));
    LinuxFileSystem fs;
    NoDialog dialog;
    NoLauncher launcher;
    NoArguments program;
    SteadyClock clock;
    Seams seams{&messages, &pump, &cd, &drives, &fs, &dialog, &launcher, &program, &clock};

    Form1 form(seams, new MpvPlayer(MpvPlayer::Output::Headless));
    form.FindCDDrive(false);
    form.LoadTrackList();
    if (form.state.TrackCount != std::min(files, 32767) || form.File1.ListCount() != files) {
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
    for (int i = 0; i < rebuildRuns; ++i) {
        form.state.TrackCount = 0;
        t.start();
        form.LoadTrackList();
        rebuild.push_back(t.nsecsElapsed() / 1000.0);
    }
    if (form.state.TrackCount != files || form.Lbl1[9]->toolTip() != QLatin1String(" More tracks list ...")) {
        std::fprintf(stderr, "bench-scan: the panel was not built\n");
        return 1;
    }
    std::printf("files=%d\nsteady_us=%.1f\nrebuild_us=%.1f\n", files, median(steady), median(rebuild));
    return 0;
}
