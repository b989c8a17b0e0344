#include "disc/IsoDirectory.h"

#include <QSet>
#include <cstring>
#include <deque>

namespace tavero {

namespace {

constexpr std::int64_t kFirstDescriptor = 16;
constexpr int kMaxDescriptors = 32;
constexpr int kBlock = 2048;
// A Video CD has a handful of folders and a few dozen files; these leave
// room for any real disc and bound what a crafted one can make us do.
constexpr std::uint32_t kMaxFolderBytes = 1024 * 1024;
constexpr std::size_t kMaxEntries = 20000;
constexpr int kMaxDepth = 16;
constexpr int kMinRecord = 34;
constexpr unsigned kFlagFolder = 0x02;
constexpr unsigned kXaForm2 = 0x1000;

const QString kUnreadable = QStringLiteral("its directory cannot be read: the image is cut short or damaged");

std::uint32_t le32(const unsigned char *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// The name a record gives, without its version, or "" when it is not one
// that can stand as a file name here.
QString cleanName(const unsigned char *p, int length)
{
    QString name;
    for (int i = 0; i < length; ++i) {
        const unsigned char c = p[i];
        if (c == ';')
            break;
        if (c < 0x20 || c > 0x7e || c == '/' || c == '\\')
            return QString();
        name += QLatin1Char(char(c));
    }
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (name.startsWith(QLatin1Char('.')))
        return QString();
    return name;
}

QString text(const unsigned char *p, int length)
{
    QString s;
    for (int i = 0; i < length; ++i)
        s += p[i] >= 0x20 && p[i] < 0x7f ? QLatin1Char(char(p[i])) : QLatin1Char(' ');
    return s.trimmed();
}

} // namespace

QString DiscTree::path(int index) const
{
    QString p;
    for (int i = index; i > 0 && i < int(entries.size()); i = entries[std::size_t(i)].parent)
        p = p.isEmpty() ? entries[std::size_t(i)].name : entries[std::size_t(i)].name + QLatin1Char('/') + p;
    return p;
}

int DiscTree::child(int folder, const QString &name) const
{
    QString wanted = name.section(QLatin1Char(';'), 0, 0);
    while (wanted.endsWith(QLatin1Char('.')))
        wanted.chop(1);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].parent == folder && entries[i].name.compare(wanted, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int DiscTree::find(const QString &relative) const
{
    if (entries.empty())
        return -1;
    int at = 0;
    for (const QString &part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!entries[std::size_t(at)].folder)
            return -1;
        at = child(at, part);
        if (at < 0)
            return -1;
    }
    return at;
}

bool readIsoTree(const BlockReader &read, std::int64_t sectorCount, DiscTree *tree, QString *error,
                 OpenFailure *why)
{
    tree->entries.clear();
    unsigned char block[kBlock];
    bool found = false;
    for (int i = 0; i < kMaxDescriptors && !found; ++i) {
        if (!read(kFirstDescriptor + i, block)) {
            *error = kUnreadable;
            return false;
        }
        if (std::memcmp(block + 1, "CD001", 5) != 0 || block[0] == 255)
            break;
        found = block[0] == 1;
    }
    if (!found) {
        if (why)
            *why = OpenFailure::NotAnImage;
        *error = QStringLiteral("it holds no ISO 9660 file system");
        return false;
    }
    const std::uint32_t blockSize = std::uint32_t(block[128]) | std::uint32_t(block[129]) << 8;
    const std::int64_t volumeSectors = le32(block + 80);
    const unsigned char *root = block + 156;
    if (blockSize != kBlock || root[0] < kMinRecord || !(root[25] & kFlagFolder)) {
        *error = QStringLiteral("its file system is damaged");
        return false;
    }
    tree->volumeId = text(block + 40, 32);
    tree->entries.push_back({QString(), -1, true, false, le32(root + 2), le32(root + 10)});

    struct Pending {
        int index;
        int depth;
    };
    std::deque<Pending> folders{{0, 0}};
    QSet<std::uint32_t> visited;
    std::vector<unsigned char> data;
    while (!folders.empty()) {
        const Pending f = folders.front();
        folders.pop_front();
        const DiscEntry folder = tree->entries[std::size_t(f.index)];
        const std::uint32_t sectors = DiscTree::sectorsOf(folder);
        // A folder beyond the end of the image means the image was cut
        // short. One that is absurdly large, lies outside the volume, or
        // was seen before (a folder that holds itself) is not walked.
        if (sectorCount > 0 && std::int64_t(folder.lsn) + sectors > sectorCount) {
            *error = kUnreadable;
            return false;
        }
        const bool sane = folder.size > 0 && folder.size <= kMaxFolderBytes
                          && (volumeSectors <= 0 || std::int64_t(folder.lsn) + sectors <= volumeSectors)
                          && !visited.contains(folder.lsn);
        if (!sane) {
            if (f.index == 0) {
                *error = QStringLiteral("its file system is damaged");
                return false;
            }
            continue;
        }
        visited.insert(folder.lsn);
        data.resize(std::size_t(sectors) * kBlock);
        for (std::uint32_t s = 0; s < sectors; ++s) {
            if (!read(std::int64_t(folder.lsn) + s, data.data() + std::size_t(s) * kBlock)) {
                *error = kUnreadable;
                return false;
            }
        }
        QSet<QString> names;
        // Records never cross a sector's end; a zero length ends a sector.
        for (std::uint32_t s = 0; s < sectors; ++s) {
            const unsigned char *sector = data.data() + std::size_t(s) * kBlock;
            for (int off = 0; off + kMinRecord <= kBlock;) {
                const unsigned char *r = sector + off;
                const int length = r[0];
                if (length == 0)
                    break;
                if (length < kMinRecord || off + length > kBlock)
                    break;   // a damaged record: the rest of this sector cannot be trusted
                off += length;
                const int nameLength = r[32];
                if (33 + nameLength > length || nameLength == 0)
                    continue;
                if (nameLength == 1 && (r[33] == 0 || r[33] == 1))
                    continue;   // the folder itself and its parent
                if (r[26] != 0)
                    continue;   // interleaved: not a plain run of sectors
                const QString name = cleanName(r + 33, nameLength);
                if (name.isEmpty() || names.contains(name.toCaseFolded()))
                    continue;
                DiscEntry e{name, f.index, bool(r[25] & kFlagFolder), false, le32(r + 2), le32(r + 10)};
                const int su = 33 + nameLength + (nameLength % 2 == 0 ? 1 : 0);
                if (su + 14 <= length && r[su + 6] == 'X' && r[su + 7] == 'A')
                    e.form2 = ((unsigned(r[su + 4]) << 8 | r[su + 5]) & kXaForm2) != 0;
                if (e.folder && f.depth + 1 > kMaxDepth)
                    continue;
                if (tree->entries.size() >= kMaxEntries) {
                    *error = QStringLiteral("its directory is damaged (too many entries)");
                    return false;
                }
                names.insert(name.toCaseFolded());
                tree->entries.push_back(e);
                if (e.folder)
                    folders.push_back({int(tree->entries.size() - 1), f.depth + 1});
            }
        }
    }
    return true;
}

} // namespace tavero
