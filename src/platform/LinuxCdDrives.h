#pragma once
// What the CD layer knows about the machine's CD drives, shared by the
// drive list and the CD audio device.
//
// Linux has no drive letters, and automounters mount each disc at a new
// place (/media/$USER/<LABEL>). So every drive gets a fixed root of its
// own: a symbolic link <link folder>/<name> that points at the folder
// where the disc now in that drive is mounted. Each refresh re-aims the
// links; a drive with no mounted disc has no link, so whatever looks
// below its root finds nothing.
//
// Drive names: "disc-image" for the program's own image drive while an
// image is in it (it then comes first, so it is the drive the program
// uses), "sr0", "sr1", ... for the optical drives (as sysfs has them), then
// "image0", "image1", ... for the mounted disc images (iso9660 or udf on a
// loop device), in loop device order. An image slot follows whatever image
// is k-th now, so re-mounting an image on another loop device keeps its
// root.
//
// A disc that no mount shows (the image drive's, or one in a drive nobody
// mounted) is read by the program and laid out as a folder of its own
// (DiscFolders.h); the drive's link points there instead.

#include "platform/DiscFolders.h"
#include "platform/Platform.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <utility>

namespace tavero {

// Where the layer reads and writes. The defaults are the real places;
// tests point them at files they write.
struct LinuxCdPaths {
    QString sysBlock = QStringLiteral("/sys/class/block");
    QString mountInfo = QStringLiteral("/proc/self/mountinfo");
    QString devices = QStringLiteral("/dev");
    // Folder of the per-drive links. Empty: $XDG_RUNTIME_DIR/tavero-player,
    // or a private folder under /tmp when there is no runtime folder.
    QString links;
};

// One line of a mountinfo file.
struct MountRecord {
    QString id;           // the mount's own number: a new mount gets a new one
    QString device;       // "major:minor"
    QString root;         // the part of the file system that is mounted
    QString mountPoint;
    QString fsType;
    QString source;
};

// Lines that do not parse are left out.
QList<MountRecord> parseMountInfo(const QByteArray &text);
// Undoes the kernel's octal escapes (\040 blank, \011 tab, \012 newline,
// \134 backslash).
QString unescapeMountField(const QByteArray &field);
// Makes a folder that only we can write into, or finds it made: ours, a
// real folder, not a link, closed to others.
bool makePrivateFolder(const QByteArray &path);

struct CdDrive {
    QString name;         // "sr0", "image0"
    QString device;       // device node: "/dev/sr0", the loop device of an image
    bool image = false;
    QString mountPoint;   // empty while no disc is mounted (or laid out)
    QString label;        // the volume label of a disc the program read itself
};

class LinuxCdDrives {
public:
    explicit LinuxCdDrives(LinuxCdPaths paths = {});
    ~LinuxCdDrives();
    LinuxCdDrives(const LinuxCdDrives &) = delete;
    LinuxCdDrives &operator=(const LinuxCdDrives &) = delete;

    // Looks for optical drives in sysfs and for mounts in the mount table;
    // re-aims the links. Optical drives first, then disc images. One look
    // (everything done before control returns to the event loop) reads
    // sysfs and the mount table once, however many callers scan.
    QList<CdDrive> scan();
    // The same from the mount table alone, with the optical drives of the
    // last scan: cheap enough for every timer tick.
    QList<CdDrive> refresh();
    // The mount table as this look read it.
    const QList<MountRecord> &mounts();
    const CdDrive *find(const QString &name) const;

    // "<link folder>/<name>/"; the mount point itself (or "") when no link
    // folder can be had.
    QString rootOf(const QString &name);
    // Whether `root` ("/" at the end or not) is the root of a known drive.
    bool isRoot(const QString &root);
    // Removes every drive link; the next refresh makes them again.
    void removeLinks();

    // Made on first use; "" when no safe folder can be had.
    QString linkFolder();

    static bool isDriveName(const QString &name);

    // The image drive (LinuxCdDiscs.cpp).
    static inline const QString kImageDrive = QStringLiteral("disc-image");
    DiscImages::Result insertImage(const QString &path);
    bool ejectImage();
    bool imageLoaded() const { return image_.disc != nullptr; }
    // Takes what a look at an optical drive found, and tells whether another
    // disc went in since the last look that saw one. A disc in it that no
    // mount shows is read in the background and shows at a later refresh.
    // `openError` is why the drive could not be looked at (0: it could).
    bool swappedAtLook(const QString &name, bool present, bool changed, int openError = 0);
    // A drive's trouble for the user, each once until it goes away; "" when
    // nothing new (see DriveQuery::takeNotice).
    QString takeNotice() { return std::exchange(notice_, QString()); }
    // The root of the drive whose disc's top folder `folder` is; "" if none.
    QString rootOfTopFolder(const QString &folder);
    // Finds the disc under a path, for the player.
    DiscTrackFinder *tracks() { return folders(); }
    // The discs laid out as folders and those mounted.
    DiscFolders *folders();

private:
    struct LaidOutDisc {
        std::shared_ptr<Disc> disc;   // null: the disc could not be read
        QString folder;
    };
    struct PendingRead;

    QList<CdDrive> build(const QList<MountRecord> &mounts) const;
    void updateLinks();
    void takeFinishedReads();
    void forget(const QString &name);
    void tellRefused(const QString &name);
    // Whatever this look read is read again by the next one.
    void endLookSoon();

    LinuxCdPaths paths_;
    QStringList optical_;                 // names, in order
    QHash<QString, QString> devNumbers_;  // name -> "major:minor"
    QList<CdDrive> drives_;
    QString linkFolder_;
    bool linkFolderTried_ = false;
    std::unique_ptr<DiscFolders> folders_;
    QString imagePath_;
    LaidOutDisc image_;
    QHash<QString, LaidOutDisc> laid_;                                  // optical drive -> its disc
    QHash<QString, std::shared_ptr<PendingRead>> pending_;       // optical drive -> read under way
    QSet<QString> refused_;   // drives the user was told they may not read
    QSet<QString> withDisc_;  // drives whose last look found a disc
    QString notice_;
    QList<MountRecord> mounts_;
    bool mountsRead_ = false, sysfsRead_ = false;
    std::unique_ptr<QObject> look_;   // the end of the look is posted to it
};

} // namespace tavero
