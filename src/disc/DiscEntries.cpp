#include "disc/DiscEntries.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace tavero {

namespace {

constexpr int kMaxEntries = 500;
constexpr int kHeaderBytes = 12;   // tag, version, profile, count
constexpr int kEntryBytes = 4;     // track, minute, second, frame
static_assert(kHeaderBytes + kMaxEntries * kEntryBytes <= kForm1Bytes);
// The first stamps lie past the empty sectors a track starts with (30 from
// vcdimager), and so does the first of an entry at a track's start.
// Elsewhere the pack an entry marks holds a picture's stamp itself.
constexpr int kStartSectors = 150;
constexpr int kEntrySectors = 32;
constexpr std::int64_t kPtsWrap = std::int64_t(1) << 33;
constexpr double kPtsRate = 90000.0;

int bcd(unsigned char b)
{
    return (b >> 4) <= 9 && (b & 15) <= 9 ? (b >> 4) * 10 + (b & 15) : -1;
}

// The track folder's files in the order they lie on the disc: track n of
// the table is the (n-1)th of them.
std::vector<DiscEntry> trackFiles(const Disc &disc)
{
    std::vector<DiscEntry> files = disc.trackFiles();
    std::stable_sort(files.begin(), files.end(), [](const DiscEntry &a, const DiscEntry &b) { return a.lsn < b.lsn; });
    return files;
}

} // namespace

std::vector<EntryPoint> parseEntryTable(const unsigned char *block, const std::vector<DiscEntry> &tracks)
{
    // A Super Video CD's table should say ENTRYSVD; vcdimager, and so the
    // discs made with it, write ENTRYVCD there too.
    if (std::memcmp(block, "ENTRYVCD", 8) != 0 && std::memcmp(block, "ENTRYSVD", 8) != 0)
        return {};
    const int count = block[10] << 8 | block[11];
    if (count < 1 || count > kMaxEntries)
        return {};
    std::vector<EntryPoint> points;
    for (int i = 0; i < count; ++i) {
        const unsigned char *e = block + kHeaderBytes + i * kEntryBytes;
        const int track = bcd(e[0]), m = bcd(e[1]), s = bcd(e[2]), f = bcd(e[3]);
        if (track < 2 || std::size_t(track - 2) >= tracks.size() || m < 0 || s < 0 || s >= 60 || f < 0 || f >= 75)
            return {};
        const std::int64_t lsn = (std::int64_t(m) * 60 + s) * 75 + f - 150;
        const DiscEntry &file = tracks[std::size_t(track - 2)];
        if (lsn < std::int64_t(file.lsn) || lsn >= std::int64_t(file.lsn) + DiscTree::sectorsOf(file))
            return {};
        if (!points.empty() && (track < points.back().track || lsn < std::int64_t(points.back().lsn)))
            return {};
        points.push_back({track, std::uint32_t(lsn)});
    }
    return points;
}

namespace {

std::optional<std::int64_t> pesStamp(const unsigned char *pes, std::size_t len)
{
    std::size_t j = 6;
    if (len > 8 && (pes[6] & 0xC0) == 0x80) {   // MPEG-2's header
        if (!(pes[7] & 0x80) || pes[8] < 5)
            return std::nullopt;
        j = 9;
    } else {   // MPEG-1's: stuffing, a buffer size, then the stamps
        while (j < len && j < 6 + 16 && pes[j] == 0xFF)
            ++j;
        if (j < len && (pes[j] & 0xC0) == 0x40)
            j += 2;
        if (j >= len || (pes[j] & 0xE0) != 0x20)
            return std::nullopt;
    }
    if (j + 5 > len || !(pes[j] & 1) || !(pes[j + 2] & 1) || !(pes[j + 4] & 1))
        return std::nullopt;
    return std::int64_t(pes[j] >> 1 & 7) << 30 | std::int64_t(pes[j + 1]) << 22 | std::int64_t(pes[j + 2] >> 1) << 15 |
           std::int64_t(pes[j + 3]) << 7 | std::int64_t(pes[j + 4] >> 1);
}

struct Stamps {
    std::optional<std::int64_t> video, audio;
};

// The first picture and sound stamps in a stretch of a program stream,
// walked packet by packet; bytes between packets (empty sectors, damage)
// are stepped over until the next start code.
Stamps firstStamps(const unsigned char *p, std::size_t n, bool videoOnly)
{
    Stamps found;
    std::size_t i = 0;
    while (i + 6 <= n && !(found.video && (videoOnly || found.audio))) {
        if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1) {
            ++i;
            continue;
        }
        const unsigned id = p[i + 3];
        if (id == 0xBA) {
            if ((p[i + 4] & 0xC0) == 0x40)
                i += i + 14 <= n ? 14 + (p[i + 13] & 7) : 14;
            else
                i += 12;
            continue;
        }
        if (id < 0xBB) {
            i += 4;
            continue;
        }
        const std::size_t len = std::min<std::size_t>(6 + (std::size_t(p[i + 4]) << 8 | p[i + 5]), n - i);
        const bool video = (id & 0xF0) == 0xE0, audio = (id & 0xE0) == 0xC0;
        std::optional<std::int64_t> &slot = video ? found.video : found.audio;
        if ((video || audio) && !slot)
            slot = pesStamp(p + i, len);
        i += len;
    }
    return found;
}

// Whether a stretch starts with a pack, past the empty sectors that may
// open a track: an entry marks where a pack starts.
bool startsWithPack(const std::vector<unsigned char> &data)
{
    const auto first = std::find_if(data.begin(), data.end(), [](unsigned char b) { return b != 0; });
    const auto at = std::size_t(first - data.begin());
    return at >= 2 && at + 1 < data.size() && data[at] == 1 && data[at + 1] == 0xBA;
}

std::vector<unsigned char> readStretch(const std::shared_ptr<DiscTrack> &track, std::uint32_t sector, int count)
{
    const int per = Disc::dataPerSector(track->entry);
    std::vector<unsigned char> data(std::size_t(count) * std::size_t(per));
    DiscTrackReader reader(track);
    if (!reader.seek(std::int64_t(sector) * per))
        return {};
    const std::int64_t got = reader.read(reinterpret_cast<char *>(data.data()), data.size());
    data.resize(got > 0 ? std::size_t(got) : 0);
    return data;
}

} // namespace

std::vector<EntryPoint> readEntryPoints(Disc &disc)
{
    for (const char *path : {"VCD/ENTRIES.VCD", "SVCD/ENTRIES.SVD"}) {
        const int at = disc.tree().find(QLatin1String(path));
        if (at < 0)
            continue;
        const DiscEntry &file = disc.tree().entries[std::size_t(at)];
        unsigned char sector[kSectorBytes];
        if (file.folder || file.form2 || file.size < kHeaderBytes || !disc.read(file.lsn, 1, sector))
            return {};
        return parseEntryTable(sector + kSubheaderBytes, trackFiles(disc));
    }
    return {};
}

std::vector<double> entryTimes(const std::shared_ptr<DiscTrack> &playing)
{
    if (!playing || !playing->disc)
        return {};
    // A reader of our own: the playing track's says when its stream gave out.
    const std::shared_ptr<DiscTrack> track = playing->disc->track(playing->entry);
    const std::vector<DiscEntry> files = trackFiles(*track->disc);
    const auto mine = std::find_if(files.begin(), files.end(),
                                   [&](const DiscEntry &e) { return e.lsn == track->entry.lsn && e.size == track->entry.size; });
    if (mine == files.end())
        return {};
    const int number = int(mine - files.begin()) + 2;
    std::vector<EntryPoint> points = readEntryPoints(*track->disc);
    std::erase_if(points, [number](const EntryPoint &p) { return p.track != number; });
    if (points.empty())
        return {};

    const std::vector<unsigned char> head = readStretch(track, 0, kStartSectors);
    const Stamps first = firstStamps(head.data(), head.size(), false);
    if (!first.video)
        return {};
    const std::int64_t start = first.audio ? std::min(*first.video, *first.audio) : *first.video;
    std::vector<double> times;
    for (const EntryPoint &p : points) {
        const std::uint32_t sector = p.lsn - track->entry.lsn;
        const std::vector<unsigned char> at = readStretch(track, sector, sector ? kEntrySectors : kStartSectors);
        const Stamps s = firstStamps(at.data(), at.size(), true);
        if (!startsWithPack(at) || !s.video)
            return {};
        // Stamps count modulo 2^33; one that lies before the start is damage.
        const std::int64_t ticks = ((*s.video - start) % kPtsWrap + kPtsWrap) % kPtsWrap;
        if (ticks >= kPtsWrap / 2)
            return {};
        const double seconds = double(ticks) / kPtsRate;
        if (!times.empty() && seconds < times.back())
            return {};
        times.push_back(seconds);
    }
    return times;
}

} // namespace tavero
