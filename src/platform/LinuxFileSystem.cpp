#include "platform/LinuxFileSystem.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace tavero {

namespace {

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool isHiddenName(const QString &name)
{
    return name.startsWith(QLatin1Char('.'));
}

// Entries of a folder, without "." and "..". Returns false with errno set
// when the folder cannot be read.
struct Entry {
    QString name;
    unsigned char type;
};

bool readFolder(const QString &folder, std::vector<Entry> &out, int &err)
{
    const QByteArray native = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    DIR *dir = ::opendir(native.constData());
    if (!dir) {
        err = errno;
        return false;
    }
    errno = 0;
    while (dirent *d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
            continue;
        out.push_back({QFile::decodeName(d->d_name), d->d_type});
    }
    err = errno;
    ::closedir(dir);
    return err == 0;
}

// Regular file after following links; d_type saves a stat where it can.
bool isRegularEntry(const QString &folder, const Entry &e)
{
    if (e.type == DT_REG)
        return true;
    if (e.type != DT_UNKNOWN && e.type != DT_LNK)
        return false;
    struct stat st {};
    const QByteArray p = QFile::encodeName(folder + QLatin1Char('/') + e.name);
    return ::stat(p.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool wildMatch(const QChar *n, const QChar *nEnd, const QChar *m, const QChar *mEnd)
{
    // Iterative glob with backtracking on the last "*".
    const QChar *starM = nullptr, *starN = nullptr;
    while (n != nEnd) {
        if (m != mEnd && (*m == QLatin1Char('?') || m->toCaseFolded() == n->toCaseFolded())) {
            ++m;
            ++n;
        } else if (m != mEnd && *m == QLatin1Char('*')) {
            starM = m++;
            starN = n;
        } else if (starM) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m != mEnd && *m == QLatin1Char('*'))
        ++m;
    return m == mEnd;
}

// Some file systems find a name in any letter case (iso9660 and vfat
// mounted the usual way), so a folder that exists may still be spelled
// otherwise on disc: take the last name as the folder lists it.
QString realLastName(const QString &folder)
{
    QString trimmed = folder;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const int slash = trimmed.lastIndexOf(QLatin1Char('/'));
    const QString last = trimmed.mid(slash + 1);
    if (last.isEmpty() || last == QLatin1String(".") || last == QLatin1String(".."))
        return folder;
    const QString parent = slash < 0 ? QStringLiteral(".") : (slash == 0 ? QStringLiteral("/") : trimmed.left(slash));
    std::vector<Entry> entries;
    int err = 0;
    if (!readFolder(parent, entries, err))
        return folder;
    if (std::any_of(entries.begin(), entries.end(), [&](const Entry &e) { return e.name == last; }))
        return folder;
    for (const Entry &e : entries) {
        if (e.name.compare(last, Qt::CaseInsensitive) == 0)
            return trimmed.left(slash + 1) + e.name;
    }
    return folder;
}

} // namespace

bool LinuxFileSystem::matchesMask(const QString &name, const QString &mask)
{
    const QString m = mask.trimmed();
    if (m.isEmpty())
        return false;
    if (m == QLatin1String("*.*") || m == QLatin1String("*"))
        return true;
    return wildMatch(name.constData(), name.constData() + name.size(), m.constData(),
                     m.constData() + m.size());
}

QString LinuxFileSystem::resolveFolder(const QString &folder, QString *error)
{
    if (folder.isEmpty())
        return QString();
    struct stat st {};
    const QByteArray native = QFile::encodeName(folder);
    if (::stat(native.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? realLastName(folder) : QString();

    // Walk down from the top, looking each missing component up without
    // regard to case.
    const bool absolute = folder.startsWith(QLatin1Char('/'));
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = absolute ? QStringLiteral("/") : QString();
    for (const QString &part : parts) {
        const QString parent = path.isEmpty() ? QStringLiteral(".") : path;
        QString candidate = path + part;
        if (::stat(QFile::encodeName(candidate).constData(), &st) != 0) {
            std::vector<Entry> entries;
            int err = 0;
            if (!readFolder(parent, entries, err)) {
                if (error)
                    *error = errnoText(err);
                return QString();
            }
            auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry &e) {
                return e.name.compare(part, Qt::CaseInsensitive) == 0;
            });
            if (it == entries.end())
                return QString();
            candidate = path + it->name;
        }
        path = candidate + QLatin1Char('/');
    }
    if (path.size() > 1)
        path.chop(1);
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return QString();
    return path;
}

Lookup LinuxFileSystem::findFile(const QString &path)
{
    if (path.isEmpty())
        return Lookup::NotFound;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (isHiddenName(path.mid(slash + 1)))
        return Lookup::NotFound;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP)
                   ? Lookup::NotFound
                   : Lookup::Error;
    return S_ISREG(st.st_mode) ? Lookup::Found : Lookup::NotFound;
}

ProbeResult LinuxFileSystem::probe(const QString &path)
{
    ProbeResult r;
    const bool anyEntry = path.endsWith(QLatin1Char('/'));
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = anyEntry ? path : (slash >= 0 ? path.left(slash + 1) : QString());
    const QString wanted = anyEntry ? QString() : path.mid(slash + 1);
    if (!anyEntry && wanted.isEmpty())
        return r;

    std::vector<Entry> entries;
    int err = 0;
    if (!readFolder(folder, entries, err)) {
        if (err == ENOENT || err == ENOTDIR)
            return r;
        r.status = Lookup::Error;
        r.error = errnoText(err);
        return r;
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    for (const Entry &e : entries) {
        if (isHiddenName(e.name))
            continue;
        if (anyEntry || e.name == wanted) {
            r.status = Lookup::Found;
            r.name = e.name;
            return r;
        }
    }
    if (!anyEntry) {
        for (const Entry &e : entries) {
            if (!isHiddenName(e.name) && e.name.compare(wanted, Qt::CaseInsensitive) == 0) {
                r.status = Lookup::Found;
                r.name = e.name;
                return r;
            }
        }
    }
    return r;
}

FileListing LinuxFileSystem::listFiles(const QString &folder, const QString &masks)
{
    FileListing listing;
    QString err;
    QString real = resolveFolder(folder, &err);
    if (real.isEmpty()) {
        listing.error = err.isEmpty() ? errnoText(ENOENT) : err;
        return listing;
    }
    std::vector<Entry> entries;
    int e = 0;
    if (!readFolder(real, entries, e)) {
        listing.error = errnoText(e);
        return listing;
    }
    const QStringList maskList = masks.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    // Sorted by name without regard to case, then exactly. Each name is
    // folded once: the idle scan lists the track folder every second, and
    // folding inside the comparison made sorting a large folder its
    // biggest cost.
    std::vector<std::pair<QString, QString>> matched; // folded, name
    for (const Entry &entry : entries) {
        if (isHiddenName(entry.name))
            continue;
        const bool match = std::any_of(maskList.begin(), maskList.end(), [&](const QString &m) {
            return matchesMask(entry.name, m);
        });
        if (match && isRegularEntry(real, entry))
            matched.emplace_back(entry.name.toCaseFolded(), entry.name);
    }
    std::sort(matched.begin(), matched.end());
    listing.names.reserve(qsizetype(matched.size()));
    for (auto &m : matched)
        listing.names.append(std::move(m.second));
    listing.ok = true;
    listing.folder = real;
    return listing;
}

std::optional<qint64> LinuxFileSystem::fileSize(const QString &path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return qint64(st.st_size);
}

} // namespace tavero
