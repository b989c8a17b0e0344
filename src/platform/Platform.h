#pragma once
// The program's seams to the operating system. Form1 talks to the platform
// only through these interfaces, so tests can hand it fakes that record
// what they were asked. None of them throws: failures come back as values.

#include "disc/PlaybackControl.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QObject;
class QWidget;

namespace tavero {

enum class MessageIcon { Error, Information };

// Modal message box with one OK button.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void show(const QString &text, MessageIcon icon, const QString &title) = 0;
};

// "Let pending window events run" (the toolkit's event pump).
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
};

// String-command interface to the CD drive's audio device.
// The reply is cut to at most `capacity` characters; with capacity 0 (or a
// null reply) no reply is given. Returns 0 on success, else an error number.
class CdAudioDevice {
public:
    virtual ~CdAudioDevice() = default;
    static constexpr int kAliasUnknown = 263;
    virtual int sendCommand(const QString &command, QString *reply, int capacity) = 0;
};

// Drive enumeration and drive-type query. A drive's entry starts with its
// root name; driveRoot() turns an entry into a root path ending in "/".
class DriveQuery {
public:
    virtual ~DriveQuery() = default;
    static constexpr int kCdRom = 5;
    // Refreshes and returns the drive list, in order.
    virtual QStringList drives() = 0;
    // The root path (ending in "/") that belongs to a drive list entry.
    virtual QString driveRoot(const QString &entry) = 0;
    // 5 for a CD-ROM drive; other values as the platform gives them.
    virtual int driveType(const QString &root) = 0;
    // The root of the drive whose disc has `folder` as its top folder (the
    // folder a desktop names when it offers a disc to a player); "" when
    // it is no disc's top folder.
    virtual QString rootOfTopFolder(const QString &folder)
    {
        Q_UNUSED(folder);
        return QString();
    }
    // What a drive has to tell the user that no command asked about (a
    // disc the user may not read), each thing once; "" when nothing new.
    virtual QString takeNotice() { return QString(); }
};

// The program's own drive for disc images. An image put into it acts as a
// disc in a drive that comes first in the drive list while it is in.
class DiscImages {
public:
    enum class Outcome {
        NotAnImage,   // no disc in the file: it is played as a media file
        NoVideoCd,    // a disc without Video CD tracks: played as a file too
        Inserted,     // in the drive, swapping out any other
        Failed,       // a damaged image: `error` says why, naming the file
    };
    struct Result {
        Outcome outcome = Outcome::NotAnImage;
        QString error;
    };
    virtual ~DiscImages() = default;
    virtual Result insert(const QString &path) = 0;
    // False when no image was in.
    virtual bool eject() = 0;
};

// A disc's menus (its playback control) and what their items need: where
// each entry point lies in its track.
struct DiscMenuData {
    PlaybackControl menus;   // not usable() when the disc has none
    struct Entry {
        int track = 0;        // as the disc counts: 2 is the first track
        double seconds = 0;   // into that track, as the player counts
    };
    std::vector<Entry> entries;   // [0] is entry point 1
};

// Reads the menus of the disc whose root is `root`, off the GUI thread (a
// drive may take seconds to spin up): `done` runs later on the GUI thread,
// while `context` lives, with what was read (no menus when the disc has
// none or cannot be read).
class DiscMenuReader {
public:
    virtual ~DiscMenuReader() = default;
    using Done = std::function<void(std::shared_ptr<const DiscMenuData>)>;
    virtual void read(const QString &root, QObject *context, Done done) = 0;
};

enum class Lookup { Found, NotFound, Error };

struct ProbeResult {
    Lookup status = Lookup::NotFound;
    QString name;    // name of the first matching entry (files and folders)
    QString error;   // why the place could not be read (status Error)
};

struct FileListing {
    bool ok = false;
    QString folder;      // the folder as it really is on disk (letter case resolved)
    QStringList names;   // ordinary, not hidden files matching a mask, sorted by name
    QString error;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // An ordinary file (not a folder, not hidden, not a system file).
    virtual Lookup findFile(const QString &path) = 0;
    // First entry (file or folder) that the path names, matching the last
    // name without regard to case. A path ending in "/" means any entry of
    // that folder.
    virtual ProbeResult probe(const QString &path) = 0;
    // Files of `folder` matching any of the ";"-separated masks, without
    // regard to case. The folder itself is also found without regard to case.
    virtual FileListing listFiles(const QString &folder, const QString &masks) = 0;
    virtual std::optional<qint64> fileSize(const QString &path) = 0;
};

struct FileFilter {
    QString description;
    QString pattern;   // ";"-separated masks, matched without regard to case
};

class OpenFileDialog {
public:
    virtual ~OpenFileDialog() = default;
    // Returns the full path of an existing file, or "" when cancelled.
    // initialFolder may be empty or missing: the dialog then picks its own.
    virtual QString getOpenFileName(QWidget *owner, const QString &title,
                                    const QList<FileFilter> &filters, int selectedFilter,
                                    const QString &initialFolder) = 0;
};

// Starts a program without waiting for it, never through a shell.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;
};

// What the program was started with.
class ProgramInfo {
public:
    virtual ~ProgramInfo() = default;
    // The whole argument text: the arguments joined by single blanks.
    virtual QString argumentText() = 0;
    // The folder that holds the executable, as the system gives it.
    virtual QString programFolder() = 0;
};

// Monotonic seconds; immune to midnight and to changes of the wall clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double seconds() = 0;
};

// Everything Form1 needs from the platform. Not owned.
struct Seams {
    MessageBoxes *messages = nullptr;
    EventPump *events = nullptr;
    CdAudioDevice *cdAudio = nullptr;
    DriveQuery *drives = nullptr;
    FileSystem *files = nullptr;
    OpenFileDialog *openDialog = nullptr;
    ProcessLauncher *launcher = nullptr;
    ProgramInfo *program = nullptr;
    Clock *clock = nullptr;
    DiscImages *images = nullptr;   // may be absent: no image drive then
    DiscMenuReader *menus = nullptr;   // may be absent: discs play without their menus
};

} // namespace tavero
