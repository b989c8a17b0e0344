#pragma once
// Discs that no mount shows (an image in the program's image drive, a disc
// in a drive nobody mounted) appear as folders of their own: the disc's
// directory laid out as real folders and sparse files of the data's size
// in the program's private runtime folder. The track panel, the open
// dialog and every look through the file system then work as they do on a
// mounted disc. No file's data is ever read from there: the component asks
// find() and reads the disc's sectors.
//
// find() also knows mounted discs: a Form 2 file on an iso9660 mount of an
// optical drive (or of an image file standing for one) is read from the
// mount's source, since the kernel cannot read it. Such a disc's directory
// is read on a thread of its own as soon as its mount is seen (a drive
// spinning up takes seconds), once per mount.

#include "platform/DiscSource.h"

#include <QHash>
#include <QList>
#include <functional>
#include <optional>
#include <QString>

namespace tavero {

struct MountRecord;

class DiscFolders : public DiscTrackFinder {
public:
    // `base`: a private folder of the program's, made already; `mounts`:
    // the mount table as it is now.
    DiscFolders(QString base, std::function<QList<MountRecord>()> mounts);
    ~DiscFolders() override;

    // Lays the disc out in a new folder under `base`; "" when that fails.
    QString lay(const std::shared_ptr<Disc> &disc, const QString &key);
    void remove(const QString &folder);
    // Folders an earlier run left behind (it was killed).
    void removeLeftovers();

    std::shared_ptr<DiscTrack> find(const QString &path, bool *pending = nullptr) override;
    // Starts reading the directory of every disc mounted now that find()
    // reads from its source, and forgets those of mounts gone.
    void watchMounts(const QList<MountRecord> &mounts);

    // The disc a path lies on: one laid out here (`disc`), or one mounted
    // from `source` (a drive, or an image file standing for one), which the
    // caller opens where it may wait. Both empty: no disc of ours.
    struct Site {
        std::shared_ptr<Disc> disc;
        QString source;
        QString relative;   // the path's place on the disc
    };
    Site siteOf(const QString &path);

private:
    struct MountRead;
    std::shared_ptr<DiscTrack> findOnMount(const QString &canonical, bool *pending);
    std::shared_ptr<MountRead> readOf(const MountRecord &mount);
    // The iso9660 mount of a drive or image file under `canonical`.
    std::optional<MountRecord> mountUnder(const QString &canonical, QString *relative);

    QString base_;
    std::function<QList<MountRecord>()> mounts_;
    quint64 serial_ = 0;
    QHash<QString, std::shared_ptr<Disc>> laid_;                // folder -> disc
    QHash<QString, std::shared_ptr<MountRead>> mountReads_;    // mount id and source -> its read
};

} // namespace tavero
