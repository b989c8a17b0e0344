#include "platform/DiscFolders.h"

#include "platform/LinuxCdDrives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <ftw.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tavero {

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

int removeEntry(const char *path, const struct stat *, int type, struct FTW *)
{
    return type == FTW_DP ? ::rmdir(path) : ::unlink(path);
}

// Never follows a link out of the folder it was given.
void removeTree(const QString &folder)
{
    ::nftw(native(folder).constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// An iso9660 mount whose Form 2 files the kernel cannot read: of an optical
// drive, or of an image file that a test (or fuseiso) mounted.
bool readFromSource(const MountRecord &m)
{
    static const QRegularExpression optical(QStringLiteral("^sr\\d+$"));
    if (m.fsType != QLatin1String("iso9660"))
        return false;
    const QFileInfo source(m.source);
    return source.isFile() || optical.match(QFileInfo(source.canonicalFilePath()).fileName()).hasMatch();
}

QString keyOf(const MountRecord &m)
{
    return m.id + QLatin1Char(' ') + m.source;
}

} // namespace

struct DiscFolders::MountRead {
    std::mutex mutex;
    bool done = false;
    std::shared_ptr<Disc> disc;   // null: it could not be read
};

// Each running program lays its discs out in a folder named after its
// process, so two of them never remove each other's.
DiscFolders::DiscFolders(QString base, std::function<QList<MountRecord>()> mounts)
    : base_(std::move(base) + QStringLiteral("/.discs")), mounts_(std::move(mounts))
{
}

DiscFolders::~DiscFolders()
{
    for (const QString &folder : laid_.keys())
        remove(folder);
    ::rmdir(native(base_ + QLatin1Char('/') + QString::number(::getpid())).constData());
}

void DiscFolders::removeLeftovers()
{
    for (const QString &name : QDir(base_).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        bool number = false;
        const pid_t pid = pid_t(name.toInt(&number));
        if (number && pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            removeTree(base_ + QLatin1Char('/') + name);
    }
}

QString DiscFolders::lay(const std::shared_ptr<Disc> &disc, const QString &key)
{
    const QString mine = base_ + QLatin1Char('/') + QString::number(::getpid());
    if (!disc || !makePrivateFolder(native(base_)) || !makePrivateFolder(native(mine)))
        return QString();
    QString folder;
    do {
        folder = mine + QLatin1Char('/') + key + QLatin1Char('.') + QString::number(++serial_);
    } while (::mkdir(native(folder).constData(), 0700) != 0 && errno == EEXIST);
    folder = QFileInfo(folder).canonicalFilePath();
    if (folder.isEmpty())
        return QString();
    // Parents come before their entries: the directory was read top down.
    // A name the file system refuses leaves that entry (and what it holds)
    // out.
    const DiscTree &tree = disc->tree();
    for (std::size_t i = 1; i < tree.entries.size(); ++i) {
        const DiscEntry &e = tree.entries[i];
        const QByteArray path = native(folder + QLatin1Char('/') + tree.path(int(i)));
        if (e.folder) {
            ::mkdir(path.constData(), 0700);
            continue;
        }
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0400);
        if (fd >= 0) {
            // Sparse: the size shows, no space is taken.
            if (::ftruncate(fd, off_t(Disc::dataSize(e))) != 0)
                ::unlink(path.constData());
            ::close(fd);
        }
    }
    laid_.insert(folder, disc);
    return folder;
}

void DiscFolders::remove(const QString &folder)
{
    if (laid_.remove(folder) > 0)
        removeTree(folder);
}

std::shared_ptr<DiscTrack> DiscFolders::find(const QString &path, bool *pending)
{
    if (pending)
        *pending = false;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return nullptr;
    for (auto it = laid_.cbegin(); it != laid_.cend(); ++it) {
        if (!canonical.startsWith(it.key() + QLatin1Char('/')))
            continue;
        const int entry = it.value()->tree().find(canonical.mid(it.key().size() + 1));
        if (entry > 0 && !it.value()->tree().entries[std::size_t(entry)].folder)
            return it.value()->track(it.value()->tree().entries[std::size_t(entry)]);
        return nullptr;
    }
    return findOnMount(canonical, pending);
}

DiscFolders::Site DiscFolders::siteOf(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return {};
    for (auto it = laid_.cbegin(); it != laid_.cend(); ++it) {
        if (canonical == it.key() || canonical.startsWith(it.key() + QLatin1Char('/')))
            return {it.value(), QString(), canonical.mid(it.key().size() + 1)};
    }
    QString relative;
    const std::optional<MountRecord> mount = mountUnder(canonical, &relative);
    return mount ? Site{nullptr, mount->source, relative} : Site{};
}

std::shared_ptr<DiscTrack> DiscFolders::findOnMount(const QString &canonical, bool *pending)
{
    QString relative;
    const std::optional<MountRecord> best = mountUnder(canonical, &relative);
    if (!best)
        return nullptr;
    const std::shared_ptr<MountRead> read = readOf(*best);
    const std::lock_guard<std::mutex> lock(read->mutex);
    if (!read->done) {
        if (pending)
            *pending = true;
        return nullptr;
    }
    if (!read->disc)
        return nullptr;
    const int entry = read->disc->tree().find(relative);
    if (entry <= 0 || !read->disc->tree().entries[std::size_t(entry)].form2)
        return nullptr;
    return read->disc->track(read->disc->tree().entries[std::size_t(entry)]);
}

void DiscFolders::watchMounts(const QList<MountRecord> &mounts)
{
    QSet<QString> now;
    for (const MountRecord &m : mounts) {
        if (m.root == QLatin1String("/") && readFromSource(m)) {
            readOf(m);
            now.insert(keyOf(m));
        }
    }
    for (auto it = mountReads_.begin(); it != mountReads_.end();)
        it = now.contains(it.key()) ? std::next(it) : mountReads_.erase(it);
}

std::shared_ptr<DiscFolders::MountRead> DiscFolders::readOf(const MountRecord &mount)
{
    std::shared_ptr<MountRead> &read = mountReads_[keyOf(mount)];
    if (read)
        return read;
    read = std::make_shared<MountRead>();
    std::thread([read, source = mount.source] {
        QString error;
        std::shared_ptr<Disc> disc = openDisc(source, &error);
        const std::lock_guard<std::mutex> lock(read->mutex);
        read->disc = std::move(disc);
        read->done = true;
    }).detach();
    return read;
}

std::optional<MountRecord> DiscFolders::mountUnder(const QString &canonical, QString *relative)
{
    const MountRecord *best = nullptr;
    const QList<MountRecord> mounts = mounts_();
    for (const MountRecord &m : mounts) {
        const bool under = m.mountPoint == QLatin1String("/") || canonical == m.mountPoint
                           || canonical.startsWith(m.mountPoint + QLatin1Char('/'));
        if (under && (!best || m.mountPoint.size() >= best->mountPoint.size()))
            best = &m;
    }
    if (!best || !readFromSource(*best))
        return std::nullopt;
    *relative = canonical.mid(best->mountPoint == QLatin1String("/") ? 0 : best->mountPoint.size());
    if (best->root != QLatin1String("/"))
        *relative = best->root + QLatin1Char('/') + *relative;
    return *best;
}

} // namespace tavero
