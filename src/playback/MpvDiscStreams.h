#pragma once
// Disc tracks that the kernel cannot read reach mpv through stream
// callbacks of ours: mpv plays "taverodisc://<n>" and reads the track's
// sectors through a DiscTrackReader, on its own threads, with nothing
// written anywhere.

#include <QByteArray>
#include <memory>

struct mpv_handle;

namespace tavero {

struct DiscTrack;

class MpvDiscStreams {
public:
    // Registers the protocol; mpv must outlive nothing of ours: the
    // component destroys mpv before this.
    explicit MpvDiscStreams(mpv_handle *mpv);
    ~MpvDiscStreams();
    MpvDiscStreams(const MpvDiscStreams &) = delete;
    MpvDiscStreams &operator=(const MpvDiscStreams &) = delete;

    // The address mpv opens the track by. Only the latest address opens:
    // a stream left over from an earlier track cannot come back.
    QByteArray address(std::shared_ptr<DiscTrack> track);

    struct Shared;

private:
    std::unique_ptr<Shared> shared_;
};

} // namespace tavero
