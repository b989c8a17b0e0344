#include "playback/MpvRenderer.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWindow>
#include <mpv/client.h>
#include <mpv/render_gl.h>
#include <pthread.h>
#include <vector>

namespace tavero {

namespace {

void *getProcAddress(void *ctx, const char *name)
{
    return reinterpret_cast<void *>(static_cast<QOpenGLContext *>(ctx)->getProcAddress(name));
}

} // namespace

MpvRenderer::MpvRenderer(mpv_handle *mpv, QWindow *window, std::function<void(Note)> notify)
    : mpv_(mpv), window_(window), notify_(std::move(notify))
{
    thread_ = std::thread([this] {
        // Named, so that per-thread figures tell it from the GUI thread.
        pthread_setname_np(pthread_self(), "tavero:render");
        run();
    });
}

MpvRenderer::~MpvRenderer()
{
    stop();
    delete offscreen_;
}

void MpvRenderer::provideSurface()
{
    std::unique_lock lock(m_);
    if (phase_ != Phase::WantsSurface || offscreen_)
        return;
    lock.unlock();
    // gl_ is the thread's until it has asked for the surface; now it waits.
    auto *surface = new QOffscreenSurface(window_->screen());
    surface->setFormat(gl_->format());
    surface->create();
    lock.lock();
    offscreen_ = surface;
    phase_ = Phase::MakingRenderContext;
    wake_.notify_all();
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
        // touches the window: once we hold it, no frame goes there.
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

// ---- The thread ---------------------------------------------------------

void MpvRenderer::run()
{
    const bool ok = setUp();
    {
        std::lock_guard lock(m_);
        phase_ = ok ? Phase::Ready : Phase::Failed;
        wake_.notify_all();
    }
    notify_(ok ? Note::Ready : Note::Failed);
    if (ok)
        loop();
    if (render_) {
        gl_->makeCurrent(offscreen_);
        // After this no update callback runs any more.
        mpv_render_context_free(render_);
        render_ = nullptr;
    }
    // Deleted here, not by the GUI thread: the context's share group
    // belongs to this thread, and a group losing its last context on
    // another thread is deleted through this thread's event loop, which
    // never runs. It would stay, and with it Qt's record of this thread.
    delete gl_;
    gl_ = nullptr;
}

bool MpvRenderer::setUp()
{
    gl_ = new QOpenGLContext;
    gl_->setFormat(window_->requestedFormat());
    if (!gl_->create()) {
        qWarning("mpv: no OpenGL context; the video stays black");
        return false;
    }
    {
        std::unique_lock lock(m_);
        phase_ = Phase::WantsSurface;
        wake_.notify_all();
        notify_(Note::SurfaceWanted);
        wake_.wait(lock, [this] { return quit_ || offscreen_; });
        if (quit_)
            return false;
    }
    if (!gl_->makeCurrent(offscreen_)) {
        qWarning("mpv: no OpenGL context; the video stays black");
        return false;
    }
    mpv_opengl_init_params init{&getProcAddress, gl_};
    int advancedControl = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advancedControl},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_create(&render_, mpv_, params) < 0) {
        render_ = nullptr;
        qWarning("mpv: cannot create the OpenGL render context; the video stays black");
        return false;
    }
    mpv_render_context_set_update_callback(render_, &MpvRenderer::onUpdate, this);
    return true;
}

void MpvRenderer::loop()
{
    for (;;) {
        bool updates, redraw, exposed;
        QSize pixels;
        {
            std::unique_lock lock(m_);
            wake_.wait(lock, [this] { return quit_ || updates_ || redraw_; });
            if (quit_)
                return;
            updates = std::exchange(updates_, false);
            redraw = std::exchange(redraw_, false);
            exposed = exposed_;
            pixels = pixels_;
        }
        // Not every announcement is a frame (some come before the first).
        const bool newFrame = updates && (mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME);
        if (exposed && (newFrame || redraw)) {
            drawIntoWindow(newFrame);
        } else if (newFrame) {
            drawHidden(pixels);
        }
        if (newFrame && noteFrame_.exchange(false))
            notify_(Note::FrameDrawn);
    }
}

void MpvRenderer::drawIntoWindow(bool newFrame)
{
    std::lock_guard drawing(drawing_);
    QSize pixels;
    {
        std::lock_guard lock(m_);
        if (exposed_)
            pixels = pixels_;
    }
    if (pixels.isEmpty() || !gl_->makeCurrent(window_)) {
        if (newFrame)
            drawHidden(pixels);
        return;
    }
    mpv_opengl_fbo fbo{int(gl_->defaultFramebufferObject()), pixels.width(), pixels.height(), 0};
    int flipY = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(render_, params);
    gl_->swapBuffers(window_);
    // Not left current on a surface the GUI thread may take away.
    gl_->doneCurrent();
}

void MpvRenderer::drawHidden(QSize pixels)
{
    // Frames nobody can see (the window not shown yet, or minimised) are
    // taken all the same, or mpv's video output would stall.
    if (!gl_->makeCurrent(offscreen_))
        return;
    QOpenGLFunctions *f = gl_->functions();
    GLuint texture = 0, fbo = 0;
    int skip = 1;
    mpv_opengl_fbo target{0, 0, 0, 0};
    std::vector<mpv_render_param> params;
    if (warmedUp_) {
        params.push_back({MPV_RENDER_PARAM_SKIP_RENDERING, &skip});
    } else {
        // The first frame is drawn for real, off screen: mpv's shaders are
        // compiled then, not when the window is first shown, which is what
        // would hold up the first picture (tens of milliseconds with a
        // software rasterizer).
        warmedUp_ = true;
        const QSize s = pixels.isEmpty() ? QSize(64, 64) : pixels;
        f->glGenTextures(1, &texture);
        f->glBindTexture(GL_TEXTURE_2D, texture);
        f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, s.width(), s.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        f->glGenFramebuffers(1, &fbo);
        f->glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        f->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        target = {int(fbo), s.width(), s.height(), 0};
        params.push_back({MPV_RENDER_PARAM_OPENGL_FBO, &target});
    }
    params.push_back({MPV_RENDER_PARAM_INVALID, nullptr});
    mpv_render_context_render(render_, params.data());
    if (fbo) {
        f->glBindFramebuffer(GL_FRAMEBUFFER, gl_->defaultFramebufferObject());
        f->glDeleteFramebuffers(1, &fbo);
        f->glDeleteTextures(1, &texture);
    }
    bool note = false;
    {
        std::lock_guard lock(m_);
        note = !std::exchange(hiddenNoted_, true);
    }
    if (note)
        notify_(Note::HiddenFrame);
}

} // namespace tavero
