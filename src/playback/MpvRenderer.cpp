#include "playback/MpvRenderer.h"

#include <mpv/render.h>
#include <pthread.h>

namespace tavero {

MpvRenderer::MpvRenderer(mpv_handle *mpv, std::function<void(Note)> notify) : mpv_(mpv), notify_(std::move(notify)) {}

MpvRenderer::~MpvRenderer()
{
    // A subclass has stopped the thread already; this only guards against
    // one that forgot.
    stop();
}

void MpvRenderer::start()
{
    thread_ = std::thread([this] {
        // Named, so that per-thread figures tell it from the GUI thread.
        pthread_setname_np(pthread_self(), "tavero:render");
        run();
    });
}

bool MpvRenderer::waitUntilReady()
{
    std::unique_lock lock(m_);
    for (;;) {
        wake_.wait(lock, [this] { return phase_ != Phase::MakingContext && phase_ != Phase::MakingRenderContext; });
        if (phase_ != Phase::WantsSurface)
            return phase_ == Phase::Ready;
        lock.unlock();
        provideSurface();
        lock.lock();
    }
}

void MpvRenderer::setTarget(bool exposed, QSize pixels)
{
    {
        std::lock_guard lock(m_);
        if (exposed && (!exposed_ || pixels != pixels_))
            redraw_ = true;
        exposed_ = exposed;
        pixels_ = pixels;
        if (exposed)
            hiddenNoted_ = false;
        wake_.notify_all();
    }
    if (!exposed) {
        // The thread reads exposed_ again under this lock before it
        // touches the target: once we hold it, no frame goes there.
        std::lock_guard drawing(drawing_);
    }
}

void MpvRenderer::redraw()
{
    std::lock_guard lock(m_);
    redraw_ = true;
    wake_.notify_all();
}

void MpvRenderer::stop()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(m_);
        quit_ = true;
        wake_.notify_all();
    }
    thread_.join();
}

void MpvRenderer::onUpdate(void *self)
{
    // Runs on one of mpv's threads, which must not wait for us long: the
    // lock is only ever held for a few assignments.
    auto *r = static_cast<MpvRenderer *>(self);
    std::lock_guard lock(r->m_);
    r->updates_ = true;
    r->wake_.notify_all();
}

bool MpvRenderer::createRenderContext(const char *apiType, const mpv_render_param *extra)
{
    // No advanced control: with it, mpv's decoder may wait on this thread
    // for its frame buffers, and a stalled draw would stall playback.
    int advancedControl = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(apiType)},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advancedControl},
        extra ? *extra : mpv_render_param{MPV_RENDER_PARAM_INVALID, nullptr},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_create(&render_, mpv_, params) < 0) {
        render_ = nullptr;
        return false;
    }
    return true;
}

int MpvRenderer::render(mpv_render_param *params)
{
    return mpv_render_context_render(render_, params);
}

void MpvRenderer::noteHidden()
{
    bool note = false;
    {
        std::lock_guard lock(m_);
        note = !std::exchange(hiddenNoted_, true);
    }
    if (note)
        notify_(Note::HiddenFrame);
}

// ---- The thread ---------------------------------------------------------

void MpvRenderer::run()
{
    const bool ok = setUp();
    if (ok)
        mpv_render_context_set_update_callback(render_, &MpvRenderer::onUpdate, this);
    {
        std::lock_guard lock(m_);
        phase_ = ok ? Phase::Ready : Phase::Failed;
        wake_.notify_all();
    }
    notify_(ok ? Note::Ready : Note::Failed);
    if (ok)
        loop();
    // After this no update callback runs any more.
    tearDown();
}

void MpvRenderer::loop()
{
    for (;;) {
        bool updates, redraw;
        {
            std::unique_lock lock(m_);
            wake_.wait(lock, [this] { return quit_ || updates_ || redraw_; });
            if (quit_)
                return;
            updates = std::exchange(updates_, false);
            redraw = std::exchange(redraw_, false);
        }
        // Not every announcement is a frame (some come before the first).
        const bool newFrame = updates && (mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME);
        if (newFrame || redraw) {
            std::lock_guard drawing(drawing_);
            bool exposed;
            QSize pixels;
            {
                std::lock_guard lock(m_);
                exposed = exposed_;
                pixels = pixels_;
            }
            if (exposed && !pixels.isEmpty())
                drawInto(pixels, newFrame);
            else if (newFrame)
                takeHidden(pixels);
        }
        if (newFrame && noteFrame_.exchange(false))
            notify_(Note::FrameDrawn);
    }
}

} // namespace tavero
