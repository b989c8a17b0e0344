#include "disc/Disc.h"

#include "disc/TrackFolders.h"

#include <algorithm>
#include <cstring>

namespace tavero {

namespace {

// vcdimager starts a track with 30 empty sectors; a pack header comes soon
// after them on any real disc.
constexpr int kPackSearchSectors = 150;
constexpr auto kGiveUpTime = std::chrono::seconds(15);

} // namespace

std::shared_ptr<Disc> Disc::open(std::unique_ptr<SectorSource> source, QString *error, OpenFailure *why)
{
    std::shared_ptr<Disc> disc(new Disc(std::move(source)));
    unsigned char sector[kSectorBytes];
    const BlockReader block = [&](std::int64_t lsn, unsigned char *out) {
        if (!disc->read(lsn, 1, sector))
            return false;
        std::memcpy(out, sector + kSubheaderBytes, kForm1Bytes);
        return true;
    };
    if (!readIsoTree(block, disc->source_->sectorCount(), &disc->tree_, error, why))
        return nullptr;
    return disc;
}

std::shared_ptr<DiscTrack> Disc::track(const DiscEntry &entry)
{
    auto track = std::make_shared<DiscTrack>();
    track->disc = shared_from_this();
    track->entry = entry;
    return track;
}

bool Disc::read(std::int64_t lsn, int count, unsigned char *out)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return source_->read(lsn, count, out);
}

int Disc::trackFolder() const
{
    for (const QString &name : kTrackFolders) {
        const int folder = tree_.child(0, name);
        if (folder < 0 || !tree_.entries[std::size_t(folder)].folder)
            continue;
        for (const DiscEntry &e : tree_.entries) {
            if (e.parent == folder && !e.folder)
                return folder;
        }
    }
    return -1;
}

std::vector<DiscEntry> Disc::trackFiles() const
{
    std::vector<DiscEntry> files;
    const int folder = trackFolder();
    for (const DiscEntry &e : tree_.entries)
        if (folder >= 0 && e.parent == folder && !e.folder)
            files.push_back(e);
    return files;
}

bool Disc::firstTrackReadable()
{
    const std::vector<DiscEntry> files = trackFiles();
    const auto first = std::find_if(files.begin(), files.end(), [](const DiscEntry &e) { return e.size > 0; });
    if (first == files.end())
        return false;
    DiscTrackReader reader(track(*first));
    std::vector<char> data(std::size_t(kPackSearchSectors) * kForm2Bytes);
    const std::int64_t got = reader.read(data.data(), data.size());
    static const char pack[] = {0, 0, 1, char(0xBA)};
    return got > 0 && std::search(data.begin(), data.begin() + got, pack, pack + 4) != data.begin() + got;
}

std::int64_t Disc::dataSize(const DiscEntry &e)
{
    return e.form2 ? std::int64_t(DiscTree::sectorsOf(e)) * kForm2Bytes : std::int64_t(e.size);
}

DiscTrackReader::DiscTrackReader(std::shared_ptr<DiscTrack> track)
    : track_(std::move(track)),
      size_(Disc::dataSize(track_->entry)),
      sectors_(DiscTree::sectorsOf(track_->entry)),
      chunk_(std::size_t(kChunkSectors) * kSectorBytes)
{
}

bool DiscTrackReader::seek(std::int64_t position)
{
    if (position < 0 || position > size_)
        return false;
    position_ = position;
    // A jump (the demuxer looking at the end for the length, a seek) starts
    // a new stretch: only the stream read on gives out.
    badRun_ = 0;
    return true;
}

std::int64_t DiscTrackReader::read(char *out, std::uint64_t bytes)
{
    const int per = Disc::dataPerSector(track_->entry);
    std::int64_t done = 0;
    while (bytes > 0 && position_ < size_) {
        const auto sector = std::uint32_t(position_ / per);
        if (sector < chunkFirst_ || sector >= chunkFirst_ + chunkCount_) {
            if (!load(sector))
                return done > 0 ? done : -1;
        }
        const int within = int(position_ % per);
        const std::int64_t take = std::min<std::int64_t>({std::int64_t(bytes), per - within, size_ - position_});
        const unsigned char *data = chunk_.data() + std::size_t(sector - chunkFirst_) * kSectorBytes + kSubheaderBytes;
        std::memcpy(out + done, data + within, std::size_t(take));
        done += take;
        bytes -= std::uint64_t(take);
        position_ += take;
    }
    return done;
}

bool DiscTrackReader::readOne(std::int64_t lsn, unsigned char *out)
{
    return track_->disc->read(lsn, 1, out) || track_->disc->read(lsn, 1, out);
}

bool DiscTrackReader::load(std::uint32_t first)
{
    if (cancelled_)
        return false;
    const std::int64_t lsn = std::int64_t(track_->entry.lsn) + first;
    const int count = int(std::min<std::uint32_t>(kChunkSectors, sectors_ - first));
    chunkFirst_ = first;
    chunkCount_ = std::uint32_t(count);
    if (track_->disc->read(lsn, count, chunk_.data())) {
        badRun_ = 0;
        track_->brokeOff = false;
        return true;
    }
    // Sector by sector, to keep what can be read.
    for (int i = 0; i < count; ++i) {
        if (cancelled_) {
            chunkCount_ = 0;
            return false;
        }
        unsigned char *sector = chunk_.data() + std::size_t(i) * kSectorBytes;
        if (readOne(lsn + i, sector)) {
            badRun_ = 0;
            track_->brokeOff = false;
            continue;
        }
        std::memset(sector, 0, kSectorBytes);
        if (badRun_++ == 0)
            badSince_ = std::chrono::steady_clock::now();
        if (badRun_ >= kGiveUpSectors || std::chrono::steady_clock::now() - badSince_ > kGiveUpTime) {
            track_->brokeOff = true;
            chunkCount_ = 0;
            return false;
        }
    }
    return true;
}

} // namespace tavero
