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
// Drive names: "sr0", "sr1", ... for the optical drives (as sysfs has
// them), then "image0", "image1", ... for the mounted disc images
// (iso9660 or udf on a loop device), in loop device order. An image slot
// follows whatever image is k-th now, so re-mounting an image on another
// loop device keeps its root.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

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

struct CdDrive {
    QString name;         // "sr0", "image0"
    QString device;       // device node: "/dev/sr0", the loop device of an image
    bool image = false;
    QString mountPoint;   // empty while no disc is mounted
};

class LinuxCdDrives {
public:
    explicit LinuxCdDrives(LinuxCdPaths paths = {});
    ~LinuxCdDrives();
    LinuxCdDrives(const LinuxCdDrives &) = delete;
    LinuxCdDrives &operator=(const LinuxCdDrives &) = delete;

    // Looks for optical drives in sysfs and for mounts in the mount table;
    // re-aims the links. Optical drives first, then disc images.
    QList<CdDrive> scan();
    // The same from the mount table alone, with the optical drives of the
    // last scan: cheap enough for every timer tick.
    QList<CdDrive> refresh();
    // The drives as of the last scan or refresh.
    const QList<CdDrive> &known() const { return drives_; }
    const CdDrive *find(const QString &name) const;

    // "<link folder>/<name>/"; the mount point itself (or "") when no link
    // folder can be had.
    QString rootOf(const QString &name);
    // Whether `root` ("/" at the end or not) is the root of a known drive.
    bool isRoot(const QString &root);
    // Removes every drive link; the next refresh makes them again.
    void removeLinks();

    const LinuxCdPaths &paths() const { return paths_; }
    // Made on first use; "" when no safe folder can be had.
    QString linkFolder();

    static bool isDriveName(const QString &name);

private:
    QList<CdDrive> build(const QList<MountRecord> &mounts) const;
    void updateLinks();

    LinuxCdPaths paths_;
    QStringList optical_;                 // names, in order
    QHash<QString, QString> devNumbers_;  // name -> "major:minor"
    QList<CdDrive> drives_;
    QString linkFolder_;
    bool linkFolderTried_ = false;
};

} // namespace tavero
