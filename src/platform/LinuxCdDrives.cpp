#include "platform/LinuxCdDrives.h"

#include <QFile>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavero {

namespace {

// A mount table is a few kilobytes; anything far bigger is not one.
constexpr qsizetype kMaxFileSize = 4 * 1024 * 1024;

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

// Reads a small file whole. Files under /proc and /sys report size 0, so
// read until the end instead of trusting the size.
bool readSmallFile(const QString &path, QByteArray &out)
{
    out.clear();
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[8192];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (n == 0)
            break;
        out.append(buf, n);
        if (out.size() > kMaxFileSize) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    if (!ok)
        out.clear();
    return ok;
}

QStringList folderNames(const QString &folder)
{
    QStringList names;
    DIR *dir = ::opendir(native(folder).constData());
    if (!dir)
        return names;
    while (dirent *d = ::readdir(dir)) {
        if (d->d_name[0] != '.')
            names << QFile::decodeName(d->d_name);
    }
    ::closedir(dir);
    return names;
}

// "sr2" before "sr10": the kernel numbers drives as it finds them.
bool numberedLess(const QString &a, const QString &b)
{
    static const QRegularExpression tail(QStringLiteral("^(\\D*)(\\d+)$"));
    const auto ma = tail.match(a), mb = tail.match(b);
    if (ma.hasMatch() && mb.hasMatch() && ma.captured(1) == mb.captured(1)) {
        const QString na = ma.captured(2), nb = mb.captured(2);
        // Compare as numbers without overflow: shorter digit string first.
        const auto strip = [](const QString &s) {
            qsizetype i = 0;
            while (i + 1 < s.size() && s[i] == QLatin1Char('0'))
                ++i;
            return s.mid(i);
        };
        const QString sa = strip(na), sb = strip(nb);
        if (sa.size() != sb.size())
            return sa.size() < sb.size();
        if (sa != sb)
            return sa < sb;
    }
    return a < b;
}

bool isSymlink(const QByteArray &path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

QByteArray readLink(const QByteArray &path)
{
    QByteArray buf(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(path.constData(), buf.data(), buf.size());
    if (n < 0 || n >= buf.size())
        return QByteArray();
    buf.truncate(n);
    return buf;
}

} // namespace

bool makePrivateFolder(const QByteArray &path)
{
    if (::mkdir(path.constData(), 0700) == 0)
        return true;
    struct stat st {};
    return errno == EEXIST && ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
           && (st.st_mode & 077) == 0;
}

QString unescapeMountField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3'
            && field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.append(char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(c);
        }
    }
    return QFile::decodeName(out);
}

QList<MountRecord> parseMountInfo(const QByteArray &text)
{
    // id parent major:minor root mount-point options [optional...] - fstype source super-options
    QList<MountRecord> records;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() < 9)
            continue;
        qsizetype sep = -1;
        for (qsizetype i = 6; i < f.size(); ++i) {
            if (f[i] == "-") {
                sep = i;
                break;
            }
        }
        if (sep < 0 || sep + 2 >= f.size())
            continue;
        MountRecord r;
        r.id = QString::fromLatin1(f[0]);
        r.device = QString::fromLatin1(f[2]);
        r.root = unescapeMountField(f[3]);
        r.mountPoint = unescapeMountField(f[4]);
        r.fsType = unescapeMountField(f[sep + 1]);
        r.source = unescapeMountField(f[sep + 2]);
        if (r.mountPoint.isEmpty() || !r.mountPoint.startsWith(QLatin1Char('/')))
            continue;
        records << r;
    }
    return records;
}

LinuxCdDrives::LinuxCdDrives(LinuxCdPaths paths) : paths_(std::move(paths)) {}

LinuxCdDrives::~LinuxCdDrives()
{
    removeLinks();
}

bool LinuxCdDrives::isDriveName(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^(sr|image)\\d+$"));
    return name == kImageDrive || re.match(name).hasMatch();
}

void LinuxCdDrives::endLookSoon()
{
    if (!look_)
        look_ = std::make_unique<QObject>();
    QTimer::singleShot(0, look_.get(), [this] { mountsRead_ = sysfsRead_ = false; });
}

const QList<MountRecord> &LinuxCdDrives::mounts()
{
    if (!mountsRead_) {
        QByteArray table;
        // An unreadable mount table reads as "nothing mounted".
        readSmallFile(paths_.mountInfo, table);
        mounts_ = parseMountInfo(table);
        mountsRead_ = true;
        endLookSoon();
    }
    return mounts_;
}

QList<CdDrive> LinuxCdDrives::scan()
{
    static const QRegularExpression srName(QStringLiteral("^sr\\d+$"));
    static const QRegularExpression devNumber(QStringLiteral("^\\d+:\\d+$"));
    if (sysfsRead_)
        return refresh();
    sysfsRead_ = true;
    endLookSoon();
    optical_.clear();
    devNumbers_.clear();
    for (const QString &name : folderNames(paths_.sysBlock)) {
        if (srName.match(name).hasMatch())
            optical_ << name;
    }
    std::sort(optical_.begin(), optical_.end(), numberedLess);
    for (const QString &name : std::as_const(optical_)) {
        QByteArray dev;
        if (readSmallFile(paths_.sysBlock + QLatin1Char('/') + name + QStringLiteral("/dev"), dev)) {
            const QString d = QString::fromLatin1(dev.trimmed());
            if (devNumber.match(d).hasMatch())
                devNumbers_.insert(name, d);
        }
    }
    return refresh();
}

QList<CdDrive> LinuxCdDrives::refresh()
{
    takeFinishedReads();
    drives_ = build(mounts());
    if (DiscFolders *f = folders())
        f->watchMounts(mounts_);
    updateLinks();
    return drives_;
}

QList<CdDrive> LinuxCdDrives::build(const QList<MountRecord> &mounts) const
{
    static const QRegularExpression loopSource(QStringLiteral("^/dev/loop\\d+$"));
    QList<CdDrive> out;
    if (image_.disc)
        out << CdDrive{kImageDrive, imagePath_, true, image_.folder, image_.disc->label()};
    for (const QString &name : optical_) {
        CdDrive d;
        d.name = name;
        d.device = paths_.devices + QLatin1Char('/') + name;
        const QString source = QStringLiteral("/dev/") + name;
        const QString number = devNumbers_.value(name);
        // A disc mounted twice, or a part of it bound elsewhere: the first
        // mount of its whole file system is the one.
        for (const MountRecord &m : mounts) {
            if (m.root == QLatin1String("/")
                && (m.source == source || d.device == m.source || (!number.isEmpty() && m.device == number))) {
                d.mountPoint = m.mountPoint;
                break;
            }
        }
        const LaidOutDisc laid = laid_.value(name);
        if (d.mountPoint.isEmpty() && laid.disc) {
            d.mountPoint = laid.folder;
            d.label = laid.disc->label();
        }
        out << d;
    }

    QList<MountRecord> images;
    for (const MountRecord &m : mounts) {
        if (m.root != QLatin1String("/") || !loopSource.match(m.source).hasMatch())
            continue;
        if (m.fsType != QLatin1String("iso9660") && m.fsType != QLatin1String("udf"))
            continue;
        const bool seen = std::any_of(images.begin(), images.end(),
                                      [&](const MountRecord &o) { return o.source == m.source; });
        if (!seen)
            images << m;
    }
    std::stable_sort(images.begin(), images.end(), [](const MountRecord &a, const MountRecord &b) {
        return numberedLess(a.source, b.source);
    });
    for (qsizetype i = 0; i < images.size(); ++i) {
        CdDrive d;
        d.name = QStringLiteral("image") + QString::number(i);
        d.device = images[i].source;
        d.image = true;
        d.mountPoint = images[i].mountPoint;
        out << d;
    }
    return out;
}

const CdDrive *LinuxCdDrives::find(const QString &name) const
{
    for (const CdDrive &d : drives_) {
        if (d.name == name)
            return &d;
    }
    return nullptr;
}

QString LinuxCdDrives::linkFolder()
{
    if (linkFolderTried_)
        return linkFolder_;
    linkFolderTried_ = true;
    if (!paths_.links.isEmpty()) {
        struct stat st {};
        const QByteArray folder = native(paths_.links);
        ::mkdir(folder.constData(), 0700);
        if (::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            linkFolder_ = paths_.links;
        return linkFolder_;
    }
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/')) {
        const QByteArray folder = runtime + "/tavero-player";
        if (makePrivateFolder(folder)) {
            linkFolder_ = QFile::decodeName(folder);
            return linkFolder_;
        }
    }
    const QByteArray shared = "/tmp/tavero-player-" + QByteArray::number(::getuid());
    if (makePrivateFolder(shared)) {
        linkFolder_ = QFile::decodeName(shared);
        return linkFolder_;
    }
    // Someone else holds that name: a folder of our own for this run.
    QByteArray unique = "/tmp/tavero-player-XXXXXX";
    if (::mkdtemp(unique.data()))
        linkFolder_ = QFile::decodeName(unique);
    return linkFolder_;
}

QString LinuxCdDrives::rootOf(const QString &name)
{
    const QString folder = linkFolder();
    if (!folder.isEmpty())
        return folder + QLatin1Char('/') + name + QLatin1Char('/');
    const CdDrive *d = find(name);
    return d && !d->mountPoint.isEmpty() ? d->mountPoint + QLatin1Char('/') : QString();
}

bool LinuxCdDrives::isRoot(const QString &root)
{
    if (root.isEmpty())
        return false;
    const QString withSlash = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    return std::any_of(drives_.begin(), drives_.end(),
                       [&](const CdDrive &d) { return rootOf(d.name) == withSlash; });
}

void LinuxCdDrives::updateLinks()
{
    const QString folder = linkFolder();
    if (folder.isEmpty())
        return;
    for (const CdDrive &d : std::as_const(drives_)) {
        const QByteArray link = native(folder + QLatin1Char('/') + d.name);
        if (d.mountPoint.isEmpty()) {
            if (isSymlink(link))
                ::unlink(link.constData());
            continue;
        }
        const QByteArray target = native(d.mountPoint);
        if (isSymlink(link) && readLink(link) == target)
            continue;
        // Make the new link aside and rename it over the old one, so the
        // root never names nothing while it moves to another disc.
        const QByteArray temp = native(folder + QStringLiteral("/.") + d.name + QStringLiteral(".new"));
        ::unlink(temp.constData());
        if (::symlink(target.constData(), temp.constData()) == 0
            && ::rename(temp.constData(), link.constData()) != 0)
            ::unlink(temp.constData());
    }
    // Links of drives that are gone (an image unmounted, a drive unplugged).
    for (const QString &name : folderNames(folder)) {
        if (!isDriveName(name) || find(name))
            continue;
        const QByteArray link = native(folder + QLatin1Char('/') + name);
        if (isSymlink(link))
            ::unlink(link.constData());
    }
}

void LinuxCdDrives::removeLinks()
{
    if (!linkFolderTried_ || linkFolder_.isEmpty())
        return;
    for (const QString &name : folderNames(linkFolder_)) {
        if (!isDriveName(name))
            continue;
        const QByteArray link = native(linkFolder_ + QLatin1Char('/') + name);
        if (isSymlink(link))
            ::unlink(link.constData());
    }
}

} // namespace tavero
