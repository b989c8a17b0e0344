#include "platform/LinuxCdDevice.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tavero {

namespace {

// Error texts are cut to fit; a cut "true" or "false" would read as
// something else, so such a reply does not fit at all.
int answer(int result, const QString &text, QString *reply, int capacity)
{
    if (!reply || capacity <= 0)
        return result;
    if (result == 0 && text.size() > capacity) {
        reply->clear();
        return LinuxCdAudioDevice::kParamOverflow;
    }
    *reply = text.left(capacity);
    return result;
}

QString errorText(const QString &device, int err)
{
    return device + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

LinuxCdAudioDevice::LinuxCdAudioDevice(std::shared_ptr<LinuxCdDrives> drives, StatusQuery query)
    : drives_(drives ? std::move(drives) : std::make_shared<LinuxCdDrives>()),
      query_(query ? std::move(query) : StatusQuery(&LinuxCdAudioDevice::queryDriveStatus))
{
}

CdDriveStatus LinuxCdAudioDevice::queryDriveStatus(const QString &device)
{
    CdDriveStatus s;
    // O_NONBLOCK: the cdrom driver then neither waits for a disc nor locks
    // the tray. The descriptor is not kept: while it is open the kernel
    // refuses to eject the disc for anyone else.
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        s.openError = errno;
        return s;
    }
    const int r = ::ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    if (r < 0)
        s.queryError = errno;
    else
        s.status = r;
    s.mediaChanged = ::ioctl(fd, CDROM_MEDIA_CHANGED, CDSL_CURRENT) == 1;
    ::close(fd);
    return s;
}

int LinuxCdAudioDevice::sendCommand(const QString &command, QString *reply, int capacity)
{
    // Command words are matched as the Windows device does: any letter
    // case, any run of blanks between them.
    const QString c = command.simplified().toLower();
    if (c == QLatin1String("status cd media present"))
        return mediaPresent(reply, capacity);
    if (c == QLatin1String("open cdaudio alias cd wait shareable"))
        return open(reply, capacity);
    if (c == QLatin1String("close all")) {
        drive_.clear();
        open_ = false;
        drives_->removeLinks();
        return 0;
    }
    return answer(kUnrecognizedCommand, QStringLiteral("Unrecognized command: ") + command.left(64), reply,
                  capacity);
}

int LinuxCdAudioDevice::open(QString *reply, int capacity)
{
    if (open_)
        return answer(kDuplicateAlias, QStringLiteral("The alias cd is already open"), reply, capacity);
    // The first drive of the list: an optical drive when there is one,
    // else the first mounted disc image. Without any, the alias still
    // opens: an image put into the image drive later is a disc, and with
    // none in, the answer is that no disc is present.
    QList<CdDrive> list = drives_->scan();
    list.removeIf([](const CdDrive &d) { return d.name == LinuxCdDrives::kImageDrive; });
    if (list.isEmpty()) {
        open_ = true;
        return 0;
    }
    const CdDrive &first = list.first();
    if (!first.image) {
        const CdDriveStatus s = query_(first.device);
        // A drive the user may not read yet still opens: the disc checks
        // then say why, and find the disc once the user may.
        if (s.openError != 0 && s.openError != EACCES)
            return answer(s.openError == EBUSY ? kDeviceOpen : kHardware, errorText(first.device, s.openError),
                          reply, capacity);
    }
    drive_ = first.name;
    open_ = true;
    return 0;
}

int LinuxCdAudioDevice::mediaPresent(QString *reply, int capacity)
{
    // Every check re-aims the roots, so a disc put in, swapped or taken out
    // shows at the next look below a root.
    drives_->refresh();
    // While an image is in, the image drive is the CD drive.
    if (drives_->imageLoaded())
        return answer(0, QStringLiteral("true"), reply, capacity);
    if (!open_)
        return answer(kAliasUnknown, QString(), reply, capacity);
    if (drive_.isEmpty())
        return answer(0, QStringLiteral("false"), reply, capacity);
    const CdDrive *d = drives_->find(drive_);
    if (!d) // an image slot whose image went away
        return answer(0, QStringLiteral("false"), reply, capacity);
    const bool mounted = !d->mountPoint.isEmpty();
    if (d->image)
        return answer(0, mounted ? QStringLiteral("true") : QStringLiteral("false"), reply, capacity);

    const CdDriveStatus s = query_(d->device);
    // A disc swapped between two looks reads as taken out for one look, so
    // the window lets go of the old disc's tracks and lists the new ones.
    if (drives_->swappedAtLook(d->name, s.openError == 0 && s.queryError == 0 && s.status == CDS_DISC_OK,
                          s.mediaChanged, s.openError))
        return answer(0, QStringLiteral("false"), reply, capacity);
    if (s.openError != 0)
        return answer(kHardware, errorText(d->device, s.openError), reply, capacity);
    if (s.queryError != 0)
        return answer(kHardware, errorText(d->device, s.queryError), reply, capacity);
    switch (s.status) {
    case CDS_DISC_OK:
        return answer(0, QStringLiteral("true"), reply, capacity);
    case CDS_NO_DISC:
    case CDS_TRAY_OPEN:
        return answer(0, QStringLiteral("false"), reply, capacity);
    case CDS_NO_INFO: // the drive cannot tell: a mounted disc is surely in
        return answer(0, mounted ? QStringLiteral("true") : QStringLiteral("false"), reply, capacity);
    case CDS_DRIVE_NOT_READY:
        return answer(kDeviceNotReady, d->device + QStringLiteral(": the drive is not ready"), reply, capacity);
    default:
        return answer(kHardware, d->device + QStringLiteral(": unknown drive status ") + QString::number(s.status),
                      reply, capacity);
    }
}

LinuxDriveQuery::LinuxDriveQuery(std::shared_ptr<LinuxCdDrives> drives)
    : drives_(drives ? std::move(drives) : std::make_shared<LinuxCdDrives>())
{
}

QStringList LinuxDriveQuery::drives()
{
    QStringList entries;
    for (const CdDrive &d : drives_->scan()) {
        QString entry = d.name;
        const QString label = d.label.isEmpty() ? d.mountPoint.section(QLatin1Char('/'), -1) : d.label;
        if (!label.isEmpty())
            entry += QLatin1Char(' ') + label;
        entries << entry;
    }
    return entries;
}

QString LinuxDriveQuery::driveRoot(const QString &entry)
{
    const QString name = entry.section(QLatin1Char(' '), 0, 0);
    return LinuxCdDrives::isDriveName(name) ? drives_->rootOf(name) : QString();
}

int LinuxDriveQuery::driveType(const QString &root)
{
    return drives_->isRoot(root) ? kCdRom : kNoRootFolder;
}

QString LinuxDriveQuery::takeNotice()
{
    return drives_->takeNotice();
}

QString LinuxDriveQuery::rootOfTopFolder(const QString &folder)
{
    drives_->refresh();
    return drives_->rootOfTopFolder(folder);
}

DiscImages::Result LinuxDiscImages::insert(const QString &path)
{
    if (!isDiscImageName(path))
        return {};
    return drives_->insertImage(path);
}

} // namespace tavero
