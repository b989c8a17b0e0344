#pragma once
// Fake seams that record what they were asked. FakePlatform owns one of each and hands Form1 the bundle.

#include "platform/LinuxFileSystem.h"
#include "platform/Platform.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>

namespace tavero::test {

// Stands in for the desktop's screensaver on a session bus.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QList<uint> active;
    uint next = 41;
public slots:
    uint Inhibit(const QString &, const QString &)
    {
        active << ++next;
        return next;
    }
    void UnInhibit(uint cookie) { active.removeAll(cookie); }
};

struct ShownMessage { QString text; MessageIcon icon; QString title; };

class FakeMessageBoxes : public MessageBoxes {
public:
    void show(const QString &text, MessageIcon icon, const QString &title) override;
    QList<ShownMessage> shown;
    QStringList texts() const;
};

class FakeEventPump : public EventPump {
public:
    void processEvents() override;
    int calls = 0;
    bool runQtEvents = true;        // deliver queued Qt events, as the real pump does
    std::function<void()> onPump;   // runs on each call, after the Qt events
};

class FakeCdAudio : public CdAudioDevice {
public:
    int sendCommand(const QString &command, QString *reply, int capacity) override;
    QStringList commands;
    // Answer to "status cd media present"; a null reply is none written.
    int statusResult = 0;
    QString statusReply = QStringLiteral("true");
    void setDisc(bool present) { statusResult = 0; statusReply = present ? "true" : "false"; }
};

class FakeDrives : public DriveQuery {
public:
    QStringList drives() override;
    QString driveRoot(const QString &entry) override;
    int driveType(const QString &root) override;
    // Adds an entry with its root (a folder path; "/" is appended).
    void add(const QString &entry, const QString &root, int type);
    QStringList entries;
    QMap<QString, QString> roots;   // entry -> root
    QMap<QString, int> types;       // root -> type
};

// The real file system, with failures that tests can switch on and a log.
class FakeFileSystem : public FileSystem {
public:
    Lookup findFile(const QString &path) override;
    ProbeResult probe(const QString &path) override;
    FileListing listFiles(const QString &folder, const QString &masks) override;
    std::optional<qint64> fileSize(const QString &path) override;

    QStringList probes, listings, sizeQueries;
    QSet<QString> probeErrors;      // paths whose probe or lookup fails with an error
    bool failAllProbes = false;
    QSet<QString> sizeErrors;       // paths whose size cannot be read
    QMap<QString, qint64> sizes;    // sizes to report instead of the real ones

private:
    LinuxFileSystem real_;
};

class FakeOpenDialog : public OpenFileDialog {
public:
    QString getOpenFileName(QWidget *owner, const QString &title, const QList<FileFilter> &filters,
                            int selectedFilter, const QString &initialFolder) override;
    QString answer;
    int calls = 0;
    QString lastTitle, lastFolder;
    QList<FileFilter> lastFilters;
    int lastSelected = -1;
};

class FakeLauncher : public ProcessLauncher {
public:
    bool startDetached(const QString &program, const QStringList &arguments) override;
    struct Start { QString program; QStringList arguments; double at; };
    QList<Start> starts;
    bool result = true;
    std::function<double()> now;
};

class FakeProgramInfo : public ProgramInfo {
public:
    QString argumentText() override { return arguments; }
    QString programFolder() override { return folder; }
    QString arguments;
    QString folder = QStringLiteral("/opt/tavero");
};

// Time moves only when told, or by `step` on every read.
class FakeClock : public Clock {
public:
    double seconds() override { t += step; return t; }
    double t = 1000.0;
    double step = 0.0;
};

class FakePlatform {
public:
    Seams seams();

    FakeMessageBoxes messages;
    FakeEventPump events;
    FakeCdAudio cdAudio;
    FakeDrives drives;
    FakeFileSystem files;
    FakeOpenDialog openDialog;
    FakeLauncher launcher;
    FakeProgramInfo program;
    FakeClock clock;
};

} // namespace tavero::test
