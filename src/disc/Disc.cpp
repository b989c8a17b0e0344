#include "disc/Disc.h"

#include "disc/TrackFolders.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

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

// A drive spinning up, or retrying a sector, can hold one read for seconds
// or for good. The read runs on a thread of its own, which the stream stops
// waiting for when it is cancelled (mpv stopping, or quitting) or when the
// stretch's time is up; the drive then answers into the read's own buffer.
struct DiscTrackReader::Job {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    bool ok = false;
    std::vector<unsigned char> data;
};

DiscTrackReader::Read DiscTrackReader::readDisc(std::int64_t lsn, int count, unsigned char *out, Clock::time_point by)
{
    if (cancelled_)
        return Read::Abandoned;
    // A drive that has not answered the read given up on answers no other
    // meanwhile: the reads mpv tries after the break fail at once.
    if (stuck_) {
        const std::lock_guard<std::mutex> lock(stuck_->mutex);
        if (!stuck_->done)
            return Read::TimedOut;
    }
    stuck_.reset();
    auto job = std::make_shared<Job>();
    job->data.resize(std::size_t(count) * kSectorBytes);
    const auto run = [job, disc = track_->disc, lsn, count] {
        const bool ok = disc->read(lsn, count, job->data.data());
        const std::lock_guard<std::mutex> lock(job->mutex);
        job->ok = ok;
        job->done = true;
        job->answered.notify_all();
    };
    try {
        std::thread(run).detach();
    } catch (const std::system_error &) {
        run();   // no thread to be had: read here
    }
    std::unique_lock<std::mutex> lock(job->mutex);
    // cancel() does not know the job: it is looked for every 20 ms.
    while (!job->done && !cancelled_ && Clock::now() < by)
        job->answered.wait_for(lock, std::chrono::milliseconds(20));
    if (!job->done && cancelled_)
        return Read::Abandoned;
    if (!job->done) {
        stuck_ = job;
        return Read::TimedOut;
    }
    if (!job->ok)
        return Read::Failed;
    std::memcpy(out, job->data.data(), job->data.size());
    return Read::Ok;
}

bool DiscTrackReader::load(std::uint32_t first)
{
    if (cancelled_)
        return false;
    const std::int64_t lsn = std::int64_t(track_->entry.lsn) + first;
    const int count = int(std::min<std::uint32_t>(kChunkSectors, sectors_ - first));
    chunkFirst_ = first;
    chunkCount_ = std::uint32_t(count);
    const auto tried = Clock::now();
    const auto giveOut = [this] {
        track_->brokeOff = true;
        chunkCount_ = 0;
        return false;
    };
    // The stretch that cannot be read began with the first read that failed.
    const auto deadline = [&] { return (badRun_ > 0 ? badSince_ : tried) + kGiveUpTime; };
    switch (readDisc(lsn, count, chunk_.data(), deadline())) {
    case Read::Ok:
        badRun_ = 0;
        track_->brokeOff = false;
        return true;
    case Read::Abandoned:
        chunkCount_ = 0;
        return false;
    case Read::TimedOut:
        return giveOut();
    case Read::Failed:
        break;
    }
    // Sector by sector, to keep what can be read; each is tried twice.
    for (int i = 0; i < count; ++i) {
        unsigned char *sector = chunk_.data() + std::size_t(i) * kSectorBytes;
        Read got = readDisc(lsn + i, 1, sector, deadline());
        if (got == Read::Failed)
            got = readDisc(lsn + i, 1, sector, deadline());
        if (got == Read::Ok) {
            badRun_ = 0;
            track_->brokeOff = false;
            continue;
        }
        if (got == Read::Abandoned) {
            chunkCount_ = 0;
            return false;
        }
        std::memset(sector, 0, kSectorBytes);
        if (badRun_++ == 0)
            badSince_ = tried;
        if (got == Read::TimedOut || badRun_ >= kGiveUpSectors || Clock::now() - badSince_ > kGiveUpTime)
            return giveOut();
    }
    return true;
}

} // namespace tavero
