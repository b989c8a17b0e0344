#pragma once
// What the fuzz targets share: turning libFuzzer's bytes into the readers'
// inputs, and walking what a reader made so that every part of it is used.

#include "disc/Disc.h"
#include "disc/DiscEntries.h"
#include "disc/ImageLayout.h"

#include <QByteArray>
#include <cstdint>
#include <memory>

namespace tavero::fuzz {

inline QByteArray bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A file of `prefix` zero bytes (never stored) followed by `tail`: the
// sectors of a big image before the part a reader looks at.
class ZeroPrefixed : public ByteSource {
public:
    ZeroPrefixed(std::int64_t prefix, QByteArray tail) : prefix_(prefix), tail_(std::move(tail)) {}
    std::int64_t size() const override { return prefix_ + tail_.size(); }
    bool readAt(std::int64_t offset, void *out, std::size_t n) const override
    {
        if (offset < 0 || offset > size() || n > std::uint64_t(size() - offset))
            return false;
        auto *to = static_cast<unsigned char *>(out);
        for (std::size_t i = 0; i < n; ++i) {
            const std::int64_t at = offset + std::int64_t(i);
            to[i] = at < prefix_ ? 0 : static_cast<unsigned char>(tail_[qsizetype(at - prefix_)]);
        }
        return true;
    }

private:
    std::int64_t prefix_;
    QByteArray tail_;
};

// Data files for the sheets: each name gets a file of zeros whose size
// comes from the name, so the last track's length varies; a name with
// "gone" in it cannot be found.
inline DataFileFinder zeroFiles()
{
    return [](const QString &name, bool, QString *why) -> std::shared_ptr<const ByteSource> {
        if (name.contains(QLatin1String("gone"))) {
            *why = QStringLiteral("which cannot be found");
            return nullptr;
        }
        return std::make_shared<ZeroPrefixed>(std::int64_t(qHash(name) % 4000) * 2352, QByteArray());
    };
}

// Reads what a layout says the disc holds, at its edges: every extent's
// first and last sector, and the directory when there is one.
inline void walk(ImageLayout layout)
{
    std::vector<std::int64_t> edges;
    for (const ImageExtent &e : layout.extents)
        edges.insert(edges.end(), {e.lsn, e.lsn + e.sectors - 1, e.lsn + e.sectors});
    QString error;
    std::unique_ptr<SectorSource> source = makeImageSource(std::move(layout), &error);
    if (!source)
        return;
    unsigned char sector[kSectorBytes * 2];
    for (std::int64_t lsn : edges)
        source->read(lsn, 2, sector);
    const std::shared_ptr<Disc> disc = Disc::open(std::move(source), &error);
    if (!disc)
        return;
    disc->firstTrackReadable();
    for (const DiscEntry &e : disc->trackFiles())
        entryTimes(disc->track(e));
}

} // namespace tavero::fuzz
