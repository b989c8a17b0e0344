#pragma once
// A disc as the program reads it itself: its sectors and its directory,
// and the data of its files as streams.

#include "disc/IsoDirectory.h"
#include "disc/SectorSource.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace tavero {

class Disc : public std::enable_shared_from_this<Disc> {
public:
    // Reads the directory of the disc in `source`; a failure says why in
    // `error` for the user, and in `why`, when asked, for the caller.
    static std::shared_ptr<Disc> open(std::unique_ptr<SectorSource> source, QString *error,
                                      OpenFailure *why = nullptr);

    const DiscTree &tree() const { return tree_; }
    QString label() const { return tree_.volumeId; }
    // The folder that holds a Video CD's tracks ("MPEGAV", else "MPEGSAV",
    // else a Super Video CD's "MPEG2") when it holds a file; -1 when there
    // is none.
    int trackFolder() const;
    // The files in that folder, in the directory's order.
    std::vector<DiscEntry> trackFiles() const;
    // Whether the first track starts like an MPEG stream within its first
    // sectors. A cdrdao table of contents whose data files lie elsewhere
    // opens fine and reads nothing but zeros.
    bool firstTrackReadable();

    // The bytes a file plays: its Form 2 payloads, or its Form 1 data.
    static std::int64_t dataSize(const DiscEntry &e);
    static int dataPerSector(const DiscEntry &e) { return e.form2 ? kForm2Bytes : kForm1Bytes; }

    // One of its files, to be streamed.
    std::shared_ptr<struct DiscTrack> track(const DiscEntry &entry);

    // Sectors in the shape of SectorSource.h. Streams on mpv's threads and
    // the window's thread take turns.
    bool read(std::int64_t lsn, int count, unsigned char *out);

private:
    explicit Disc(std::unique_ptr<SectorSource> source) : source_(std::move(source)) {}
    std::unique_ptr<SectorSource> source_;
    std::mutex mutex_;
    DiscTree tree_;
};

// One file of a disc, shared by the streams that read it and by the
// component that reports how it ended.
struct DiscTrack {
    std::shared_ptr<Disc> disc;
    DiscEntry entry;
    // Set while the stream has given out: the last stretch read could not
    // be read for too long, and nothing was read after it.
    std::atomic<bool> brokeOff{false};
};

// Tells whether a path lies on a disc whose data the program must read from
// its sectors, and gives the track to stream then; nullptr for a path the
// kernel reads as it is.
class DiscTrackFinder {
public:
    virtual ~DiscTrackFinder() = default;
    // `pending`, where given, is set while the disc's directory is still
    // being read: ask again later.
    virtual std::shared_ptr<DiscTrack> find(const QString &path, bool *pending = nullptr) = 0;
};

// Reads one file's data for the player. Reading goes on past sectors that
// cannot be read: each is tried twice, then stands in as zeros, which the
// MPEG demuxer skips to the next pack, so a scratch costs a moment of
// picture. When nothing could be read for five seconds of the stream (375
// sectors at the Video CD rate), or for fifteen seconds of a drive's
// retries (a read the drive has not answered by then counts as failed),
// that read fails and the track says so until a later read gets through
// again. A seek starts a new stretch.
class DiscTrackReader {
public:
    explicit DiscTrackReader(std::shared_ptr<DiscTrack> track);
    std::int64_t size() const { return size_; }
    // Bytes read; 0 at the end; -1 when the stream gave out.
    std::int64_t read(char *out, std::uint64_t bytes);
    bool seek(std::int64_t position);
    // From another thread: the reads under way and to come give up at
    // once (a drive retrying a scratch can take seconds a sector).
    void cancel() { cancelled_ = true; }

    static constexpr int kChunkSectors = 32;
    static constexpr std::uint32_t kGiveUpSectors = 375;

private:
    using Clock = std::chrono::steady_clock;
    enum class Read { Ok, Failed, TimedOut, Abandoned };
    struct Job;
    bool load(std::uint32_t first);
    Read readDisc(std::int64_t lsn, int count, unsigned char *out, Clock::time_point by);

    std::shared_ptr<DiscTrack> track_;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
    std::uint32_t sectors_ = 0;
    std::vector<unsigned char> chunk_;
    std::uint32_t chunkFirst_ = 0;
    std::uint32_t chunkCount_ = 0;
    std::uint32_t badRun_ = 0;
    Clock::time_point badSince_;
    std::atomic<bool> cancelled_{false};
    std::shared_ptr<Job> stuck_;   // the read given up on, while the drive still holds it
};

} // namespace tavero
