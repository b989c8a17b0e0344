#include "playback/MpvDiscStreams.h"

#include "disc/Disc.h"

#include <mpv/client.h>
#include <mpv/stream_cb.h>
#include <mutex>

namespace tavero {

namespace {
constexpr char kProtocol[] = "taverodisc";
}

struct MpvDiscStreams::Shared {
    std::mutex mutex;
    quint64 serial = 0;
    std::shared_ptr<DiscTrack> track;

    // mpv's threads from here on.
    static int open(void *self, char *uri, mpv_stream_cb_info *info)
    {
        auto *shared = static_cast<Shared *>(self);
        std::shared_ptr<DiscTrack> track;
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            const QByteArray wanted = QByteArray(kProtocol) + "://" + QByteArray::number(shared->serial);
            if (shared->track && wanted == uri)
                track = shared->track;
        }
        if (!track)
            return MPV_ERROR_LOADING_FAILED;
        info->cookie = new DiscTrackReader(std::move(track));
        info->read_fn = [](void *cookie, char *buf, uint64_t bytes) {
            return static_cast<DiscTrackReader *>(cookie)->read(buf, bytes);
        };
        info->seek_fn = [](void *cookie, int64_t offset) -> int64_t {
            return static_cast<DiscTrackReader *>(cookie)->seek(offset) ? offset : int64_t(MPV_ERROR_GENERIC);
        };
        info->size_fn = [](void *cookie) -> int64_t { return static_cast<DiscTrackReader *>(cookie)->size(); };
        info->close_fn = [](void *cookie) { delete static_cast<DiscTrackReader *>(cookie); };
        info->cancel_fn = [](void *cookie) { static_cast<DiscTrackReader *>(cookie)->cancel(); };
        return 0;
    }
};

MpvDiscStreams::MpvDiscStreams(mpv_handle *mpv) : shared_(std::make_unique<Shared>())
{
    if (mpv)
        mpv_stream_cb_add_ro(mpv, kProtocol, shared_.get(), &Shared::open);
}

MpvDiscStreams::~MpvDiscStreams() = default;

QByteArray MpvDiscStreams::address(std::shared_ptr<DiscTrack> track)
{
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->track = std::move(track);
    return QByteArray(kProtocol) + "://" + QByteArray::number(++shared_->serial);
}

} // namespace tavero
