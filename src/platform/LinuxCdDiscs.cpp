// Discs that the program reads itself: the image drive, and discs in
// optical drives that nobody mounted.

#include "platform/LinuxCdDrives.h"

#include <QFileInfo>
#include <mutex>
#include <thread>

namespace tavero {

namespace {

QString cannotOpen(const QString &path, const QString &why)
{
    return QStringLiteral("Cannot open \"%1\": %2.").arg(path, why);
}

} // namespace

// A drive can take seconds to read a scratched directory: that happens on
// a thread of its own, and the next refresh takes the result.
struct LinuxCdDrives::PendingRead {
    std::mutex mutex;
    bool done = false;
    std::shared_ptr<Disc> disc;
};

DiscFolders *LinuxCdDrives::folders()
{
    if (!folders_) {
        const QString base = linkFolder();
        if (base.isEmpty())
            return nullptr;
        folders_ = std::make_unique<DiscFolders>(base, paths_.mountInfo);
        folders_->removeLeftovers();
    }
    return folders_.get();
}

DiscImages::Result LinuxCdDrives::insertImage(const QString &path)
{
    using Outcome = DiscImages::Outcome;
    QString why;
    bool notAnImage = false;
    std::shared_ptr<Disc> disc = Disc::open(path, &why, &notAnImage);
    if (!disc)
        return notAnImage ? DiscImages::Result{Outcome::NotAnImage, {}}
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
    const Laid laid = laid_.take(name);
    if (laid.disc && folders_)
        folders_->remove(laid.folder);
}

void LinuxCdDrives::noteDisc(const QString &name, bool present, bool changed)
{
    if (!present || changed)
        forget(name);
    const CdDrive *d = find(name);
    if (!present || !d || d->image || laid_.contains(name) || pending_.contains(name))
        return;
    // A mounted disc is read through its mount; its drive's link points there.
    if (!d->mountPoint.isEmpty())
        return;
    auto pending = std::make_shared<PendingRead>();
    pending_.insert(name, pending);
    std::thread([pending, device = d->device] {
        QString error;
        std::shared_ptr<Disc> disc = Disc::open(device, &error);
        const std::lock_guard<std::mutex> lock(pending->mutex);
        pending->disc = std::move(disc);
        pending->done = true;
    }).detach();
}

void LinuxCdDrives::takeFinishedReads()
{
    for (auto it = pending_.begin(); it != pending_.end();) {
        std::shared_ptr<Disc> disc;
        {
            const std::lock_guard<std::mutex> lock(it.value()->mutex);
            if (!it.value()->done) {
                ++it;
                continue;
            }
            disc = it.value()->disc;
        }
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
