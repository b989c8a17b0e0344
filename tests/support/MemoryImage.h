#pragma once
// A disc image in memory, whose sectors can be changed or refuse to be read,
// and what the player reads of a track on it.

#include "disc/Disc.h"

#include <QByteArray>
#include <QSet>
#include <cstring>

namespace tavero::test {

struct MemoryImage : SectorSource {
    static constexpr qint64 kPvd = 16, kRoot = 18;   // the volume descriptor, the top folder
    QByteArray data;
    QSet<qint64> bad;
    bool read(std::int64_t lsn, int count, unsigned char *out) override
    {
        for (qint64 s = lsn; s < lsn + count; ++s)
            if (s < 0 || s >= sectorCount() || bad.contains(s))
                return false;
        std::memcpy(out, at(lsn * kSectorBytes), std::size_t(count) * kSectorBytes);
        return true;
    }
    std::int64_t sectorCount() const override { return data.size() / kSectorBytes; }
    uchar *at(qsizetype offset) { return reinterpret_cast<uchar *>(data.data()) + offset; }
    uchar *block(qint64 lsn) { return at(lsn * kSectorBytes + kSubheaderBytes); }
    // A directory record, found by its name and the name's length before it.
    uchar *record(const QByteArray &name) { return at(data.indexOf(char(name.size()) + name) - 32); }
};

// What the player reads of a track: all of it, or up to where the stream gave out.
inline QByteArray readAll(const std::shared_ptr<DiscTrack> &track)
{
    QByteArray out, buf(65536, '\0');
    DiscTrackReader reader(track);
    for (std::int64_t n; (n = reader.read(buf.data(), std::uint64_t(buf.size()))) > 0;)
        out.append(buf.constData(), n);
    return out;
}

} // namespace tavero::test
