#pragma once
// A disc image in memory, whose sectors can be changed or refuse to be read.

#include "disc/SectorSource.h"

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

} // namespace tavero::test
