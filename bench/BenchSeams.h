#pragma once
// The seams the benchmarks give the main window: the real file system,
// event pump, clock and launcher, and fakes where a real drive or a person
// would be needed. The CD drive is a folder that a fake drive list and a
// fake CD device present as a disc that is in.

#include "platform/LinuxCdDevice.h"
#include "platform/LinuxDiscMenus.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxPlatform.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

namespace tavero::bench {

// A message box would wait for a click that never comes.
class QuietMessages : public MessageBoxes {
public:
    void show(const QString &text, MessageIcon, const QString &) override
    {
        std::fprintf(stderr, "bench: message: %s\n", qPrintable(text));
    }
};

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

// Fills `discRoot`/`folder` with `files` track files of slightly
// different sizes; says why not, or "".
inline QString makeTracks(const QString &discRoot, const QString &folder, int files)
{
    if (!QDir(discRoot).mkdir(folder))
        return QStringLiteral("cannot make %1 in %2").arg(folder, discRoot);
    const int digits = files > 9999 ? 5 : 4;
    for (int i = 1; i <= files; ++i) {
        QFile f(discRoot + QLatin1Char('/') + folder +
                QStringLiteral("/AVSEQ%1.DAT").arg(i, digits, 10, QLatin1Char('0')));
        if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray(2048 + i, 'v')) < 0)
            return QStringLiteral("cannot write %1").arg(f.fileName());
    }
    return {};
}

// The seams over one fake drive whose root is `discRoot`.
struct BenchSeams {
    explicit BenchSeams(const QString &discRoot) : drives(discRoot + QLatin1Char('/')) {}
    Seams seams() { return Seams{&messages, &pump, &cd, &drives, &fs, &dialog, &launcher, &program, &clock}; }

    QuietMessages messages;
    QtEventPump pump;
    DiscIn cd;
    OneDrive drives;
    LinuxFileSystem fs;
    NoDialog dialog;
    NoLauncher launcher;
    NoArguments program;
    MonotonicClock clock;
};

// The real CD layer over a machine made of files under `machine` (its
// sysfs, mount table and drive links), the drives' device nodes in
// `devices`, each drive's status as `status` answers; the rest as
// BenchSeams has it.
struct LinuxDiscSeams {
    LinuxDiscSeams(const QString &machine, const QString &devices, LinuxCdAudioDevice::StatusQuery status)
        : cd(std::make_shared<LinuxCdDrives>(LinuxCdPaths{machine + QStringLiteral("/sys"),
                                                          machine + QStringLiteral("/mountinfo"), devices,
                                                          machine + QStringLiteral("/links")})),
          audio(cd, std::move(status)), drives(cd), images(cd), menus(cd)
    {
    }
    Seams seams()
    {
        return Seams{&messages, &pump, &audio, &drives, &fs, &dialog, &launcher, &program, &clock, &images, &menus};
    }

    std::shared_ptr<LinuxCdDrives> cd;
    LinuxCdAudioDevice audio;
    LinuxDriveQuery drives;
    LinuxDiscImages images;
    LinuxDiscMenus menus;
    QuietMessages messages;
    QtEventPump pump;
    LinuxFileSystem fs;
    NoDialog dialog;
    NoLauncher launcher;
    NoArguments program;
    MonotonicClock clock;
};

// Spins the event loop until `done` or `msecs` have passed; false on the
// timeout.
template <typename F> bool waitFor(F done, int msecs = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < msecs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

} // namespace tavero::bench
