// Nero images (.nrg): the disc's sectors first, then a table of chunks,
// then a footer that says where the table starts: "NERO" and a 32-bit
// offset, or "NER5" and a 64-bit one, big-endian like everything in it.
// The track table is a disc-at-once chunk (DAOI, DAOX: each track's pregap,
// start and end in the file) or a track-at-once one (ETNF, ETN2: each
// track's place in the file and its first sector on the disc).

#include "disc/ImageLayout.h"

#include <cstring>

namespace tavero {

namespace {

// Nero's table is a few hundred bytes for a CD; this bounds what a crafted
// footer can make the program read.
constexpr std::uint64_t kMaxTableBytes = 1024 * 1024;
constexpr int kMaxChunks = 256;
constexpr std::int64_t kPregap = 150;

struct NeroMode {
    unsigned code;
    SectorShape shape;
    int stride;
};

const NeroMode kModes[] = {
    {0x00, SectorShape::Form1, 2048}, {0x02, SectorShape::Form1, 2048}, {0x03, SectorShape::Mode2, 2336},
    {0x05, SectorShape::Raw, 2352},   {0x06, SectorShape::Raw, 2352},   {0x07, SectorShape::Audio, 2352},
    // with 96 bytes of sub-channel data after each sector
    {0x0F, SectorShape::Raw, 2448},   {0x10, SectorShape::Audio, 2448}, {0x11, SectorShape::Raw, 2448},
};

std::uint64_t be(const unsigned char *p, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

const NeroMode *modeOf(unsigned code)
{
    for (const NeroMode &m : kModes) {
        if (m.code == code)
            return &m;
    }
    return nullptr;
}

class TrackTable {
public:
    TrackTable(ImageLayout *layout, QString *error, std::uint64_t sectorsEnd)
        : layout_(layout), error_(error), end_(sectorsEnd)
    {
    }

    bool damaged(const QString &what) const
    {
        *error_ = QStringLiteral("the Nero image is damaged: ") + what;
        return false;
    }

    // Entries after a 22-byte header: ISRC, sector size, mode, then the
    // pregap's, the track's and its end's places in the file.
    bool discAtOnce(const unsigned char *data, std::uint64_t length, bool wide)
    {
        const std::uint64_t entry = wide ? 42 : 30;
        const int number = wide ? 8 : 4;
        if (length < 22 || (length - 22) % entry != 0)
            return damaged(QStringLiteral("its table of tracks has a wrong size"));
        if (!count((length - 22) / entry))
            return false;
        std::uint64_t before = 0;
        std::int64_t lsn = 0;
        for (int i = 0; i < tracks_; ++i) {
            const unsigned char *e = data + 22 + std::size_t(i) * entry;
            const NeroMode *mode = modeOf(e[14]);
            if (!mode || be(e + 12, 2) != std::uint64_t(mode->stride))
                return damaged(QStringLiteral("track %1 is of a kind not known").arg(i + 1));
            const std::uint64_t pregap = be(e + 18, number), start = be(e + 18 + number, number),
                                stop = be(e + 18 + 2 * number, number);
            if (!(before <= pregap && pregap <= start && start <= stop && stop <= end_))
                return damaged(QStringLiteral("track %1 lies outside the image's sectors").arg(i + 1));
            if ((start - pregap) % std::uint64_t(mode->stride) != 0 || (stop - start) % std::uint64_t(mode->stride) != 0)
                return damaged(QStringLiteral("track %1 does not hold whole sectors").arg(i + 1));
            const auto pre = std::int64_t((start - pregap) / std::uint64_t(mode->stride));
            const auto sectors = std::int64_t((stop - start) / std::uint64_t(mode->stride));
            if (i == 0) {
                lsn = -pre;   // the first track's index 1 is sector 0
                layout_->firstTrackAudio = mode->shape == SectorShape::Audio;
            }
            layout_->extents.push_back({lsn, pre + sectors, 0, std::int64_t(pregap), mode->stride, mode->shape});
            lsn += pre + sectors;
            before = stop;
        }
        return true;
    }

    // Entries of the track's place and length in the file, its mode and
    // its first sector in the image. On the disc, every track after the
    // first follows a pregap of two seconds that the image leaves out.
    bool trackAtOnce(const unsigned char *data, std::uint64_t length, bool wide)
    {
        const std::uint64_t entry = wide ? 32 : 20;
        const int number = wide ? 8 : 4;
        if (length % entry != 0)
            return damaged(QStringLiteral("its table of tracks has a wrong size"));
        if (!count(length / entry))
            return false;
        std::int64_t next = 0;
        for (int i = 0; i < tracks_; ++i) {
            const unsigned char *e = data + std::size_t(i) * entry;
            const NeroMode *mode = modeOf(e[wide ? 19 : 11]);
            const std::uint64_t offset = be(e, number), bytes = be(e + number, number);
            const std::int64_t lsn = std::int64_t(be(e + (wide ? 20 : 12), 4)) + i * kPregap;
            if (!mode)
                return damaged(QStringLiteral("track %1 is of a kind not known").arg(i + 1));
            if (offset > end_ || bytes > end_ - offset)
                return damaged(QStringLiteral("track %1 lies outside the image's sectors").arg(i + 1));
            if (bytes % std::uint64_t(mode->stride) != 0)
                return damaged(QStringLiteral("track %1 does not hold whole sectors").arg(i + 1));
            if (lsn - (i > 0 ? kPregap : 0) < next)
                return damaged(QStringLiteral("track %1 overlaps the one before it").arg(i + 1));
            if (i == 0)
                layout_->firstTrackAudio = mode->shape == SectorShape::Audio;
            else
                layout_->extents.push_back({lsn - kPregap, kPregap, -1, 0, mode->stride, mode->shape});
            const auto sectors = std::int64_t(bytes / std::uint64_t(mode->stride));
            layout_->extents.push_back({lsn, sectors, 0, std::int64_t(offset), mode->stride, mode->shape});
            next = lsn + sectors;
        }
        return true;
    }

private:
    bool count(std::uint64_t tracks)
    {
        if (tracks < 1 || tracks > std::uint64_t(kMaxTracks))
            return damaged(QStringLiteral("its table of tracks lists %1 tracks").arg(tracks));
        tracks_ = int(tracks);
        return true;
    }

    ImageLayout *layout_;
    QString *error_;
    std::uint64_t end_;
    int tracks_ = 0;
};

} // namespace

bool readNeroImage(const std::shared_ptr<const ByteSource> &file, ImageLayout *layout, QString *error)
{
    const auto size = std::uint64_t(file->size());
    unsigned char tail[12];
    std::uint64_t table = 0, footer = 0;
    if (size >= sizeof tail && file->readAt(std::int64_t(size - sizeof tail), tail, sizeof tail)) {
        if (std::memcmp(tail + 4, "NERO", 4) == 0)
            table = be(tail + 8, 4), footer = 8;
        else if (std::memcmp(tail, "NER5", 4) == 0)
            table = be(tail + 4, 8), footer = 12;
    }
    if (footer == 0) {
        *error = QStringLiteral("it is not a Nero image");
        return false;
    }
    TrackTable tracks(layout, error, table);
    const std::uint64_t end = size - footer;
    if (table > end || end - table > kMaxTableBytes)
        return tracks.damaged(QStringLiteral("its table of chunks lies outside the file"));
    std::vector<unsigned char> chunks(std::size_t(end - table));
    if (!file->readAt(std::int64_t(table), chunks.data(), chunks.size()))
        return tracks.damaged(QStringLiteral("its table of chunks cannot be read"));
    // Every chunk lies within the table; the first track table is the one
    // read (a Video CD has one session).
    bool found = false;
    int seen = 0;
    for (std::size_t at = 0; at + 8 <= chunks.size();) {
        const unsigned char *chunk = chunks.data() + at;
        const std::uint64_t length = be(chunk + 4, 4);
        if (length > chunks.size() - at - 8 || ++seen > kMaxChunks)
            return tracks.damaged(QStringLiteral("a chunk runs past the end of the table"));
        const QByteArray id(reinterpret_cast<const char *>(chunk), 4);
        if (id == "END!")
            break;
        if (!found && (id == "DAOI" || id == "DAOX")) {
            if (!tracks.discAtOnce(chunk + 8, length, id == "DAOX"))
                return false;
            found = true;
        } else if (!found && (id == "ETNF" || id == "ETN2")) {
            if (!tracks.trackAtOnce(chunk + 8, length, id == "ETN2"))
                return false;
            found = true;
        }
        at += 8 + std::size_t(length);
    }
    if (!found)
        return tracks.damaged(QStringLiteral("it has no table of tracks"));
    layout->files.push_back(file);
    return true;
}

} // namespace tavero
