// Discs that the program reads itself: the image drive, and discs in
// optical drives that nobody mounted.

#include "platform/LinuxCdDrives.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <grp.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace tavero {

namespace {

QString cannotOpen(const QString &path, const QString &why)
{
    return QStringLiteral("Cannot open \"%1\": %2.").arg(path, why);
}

// The group whose members may read the device: the one that owns it, as
// udev sets it up; "cdrom", Debian's, when that cannot be found.
QString readersGroup(const QString &device)
{
    struct stat st {};
    if (::stat(QFile::encodeName(device).constData(), &st) != 0)
        return QStringLiteral("cdrom");
    group entry {};
    group *found = nullptr;
    std::vector<char> buffer(16384);
    if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QStringLiteral("cdrom");
    return QString::fromLocal8Bit(found->gr_name);
}

} // namespace

// A drive can take seconds to read a scratched directory: that happens on
// a thread of its own, and the next refresh takes the result.
struct LinuxCdDrives::PendingRead {
    std::mutex mutex;
    bool done = false;
    std::shared_ptr<Disc> disc;
    OpenFailure failure = OpenFailure::Other;
};

DiscFolders *LinuxCdDrives::folders()
{
    if (!folders_) {
        const QString base = linkFolder();
        if (base.isEmpty())
            return nullptr;
        folders_ = std::make_unique<DiscFolders>(base, [this] { return mounts(); });
        folders_->removeLeftovers();
    }
    return folders_.get();
}

DiscImages::Result LinuxCdDrives::insertImage(const QString &path)
{
    using Outcome = DiscImages::Outcome;
    QString why;
    OpenFailure failure = OpenFailure::Other;
    std::shared_ptr<Disc> disc = openDisc(path, &why, &failure);
    if (!disc)
        return failure == OpenFailure::NotAnImage ? DiscImages::Result{Outcome::NotAnImage, {}}
                                                  : DiscImages::Result{Outcome::Failed, cannotOpen(path, why)};
    if (disc->trackFolder() < 0)
        return {Outcome::NoVideoCd, {}};
    if (!disc->firstTrackReadable())
        return {Outcome::Failed,
                cannotOpen(path, QStringLiteral("its Video CD tracks read as empty (are its data files where the "
                                                "image says?)"))};
    DiscFolders *f = folders();
    const QString folder = f ? f->lay(disc, kImageDrive) : QString();
    if (folder.isEmpty())
        return {Outcome::Failed, cannotOpen(path, QStringLiteral("no private folder can be made for its disc"))};
    if (image_.disc)
        f->remove(image_.folder);
    image_ = {disc, folder};
    imagePath_ = QFileInfo(path).absoluteFilePath();
    refresh();
    return {Outcome::Inserted, {}};
}

bool LinuxCdDrives::ejectImage()
{
    if (!image_.disc)
        return false;
    if (folders_)
        folders_->remove(image_.folder);
    image_ = {};
    imagePath_.clear();
    refresh();
    return true;
}

void LinuxCdDrives::forget(const QString &name)
{
    pending_.remove(name);
    const LaidOutDisc laid = laid_.take(name);
    if (laid.disc && folders_)
        folders_->remove(laid.folder);
}

void LinuxCdDrives::tellRefused(const QString &name)
{
    if (refused_.contains(name))
        return;
    refused_.insert(name);
    const CdDrive *d = find(name);
    notice_ = QStringLiteral("The disc in %1 cannot be read: permission denied. Ask for your user to be added to the "
                             "%2 group.")
                  .arg(name, readersGroup(d ? d->device : QString()));
}

bool LinuxCdDrives::swappedAtLook(const QString &name, bool present, bool changed, int openError)
{
    // Told once a disc: the drive is looked at every second until the user
    // may read it.
    if (openError == EACCES)
        tellRefused(name);
    if (!present || changed) {
        forget(name);
        if (openError == 0)
            refused_.remove(name);
    }
    // The first look's "changed" only says that a disc is in.
    const bool swapped = present && changed && withDisc_.contains(name);
    if (present)
        withDisc_.insert(name);
    else
        withDisc_.remove(name);
    const CdDrive *d = find(name);
    if (!present || !d || d->image || laid_.contains(name) || pending_.contains(name))
        return swapped;
    // A mounted disc is read through its mount; its drive's link points there.
    if (!d->mountPoint.isEmpty())
        return swapped;
    auto pending = std::make_shared<PendingRead>();
    pending_.insert(name, pending);
    std::thread([pending, device = d->device] {
        QString error;
        OpenFailure failure = OpenFailure::Other;
        std::shared_ptr<Disc> disc = openDisc(device, &error, &failure);
        const std::lock_guard<std::mutex> lock(pending->mutex);
        pending->disc = std::move(disc);
        pending->failure = failure;
        pending->done = true;
    }).detach();
    return swapped;
}

void LinuxCdDrives::takeFinishedReads()
{
    for (auto it = pending_.begin(); it != pending_.end();) {
        std::shared_ptr<Disc> disc;
        OpenFailure failure = OpenFailure::Other;
        {
            const std::lock_guard<std::mutex> lock(it.value()->mutex);
            if (!it.value()->done) {
                ++it;
                continue;
            }
            disc = it.value()->disc;
            failure = it.value()->failure;
        }
        // Refused: read again at the next look, which may be allowed then.
        if (failure == OpenFailure::PermissionDenied) {
            tellRefused(it.key());
            it = pending_.erase(it);
            continue;
        }
        refused_.remove(it.key());
        // A disc that cannot be read (an audio CD, a blank) is not tried
        // again until it is taken out or changed.
        DiscFolders *f = disc ? folders() : nullptr;
        const QString folder = f ? f->lay(disc, it.key()) : QString();
        laid_.insert(it.key(), {folder.isEmpty() ? nullptr : disc, folder});
        it = pending_.erase(it);
    }
}

QString LinuxCdDrives::rootOfTopFolder(const QString &folder)
{
    const QString wanted = QFileInfo(folder).canonicalFilePath();
    if (wanted.isEmpty())
        return QString();
    for (const CdDrive &d : std::as_const(drives_)) {
        if (!d.mountPoint.isEmpty() && QFileInfo(d.mountPoint).canonicalFilePath() == wanted)
            return rootOf(d.name);
    }
    return QString();
}

} // namespace tavero
