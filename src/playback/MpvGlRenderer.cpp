#include "playback/MpvGlRenderer.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWindow>
#include <mpv/client.h>
#include <mpv/render_gl.h>
#include <vector>

namespace tavero {

namespace {

void *getProcAddress(void *ctx, const char *name)
{
    return reinterpret_cast<void *>(static_cast<QOpenGLContext *>(ctx)->getProcAddress(name));
}

} // namespace

MpvGlRenderer::MpvGlRenderer(mpv_handle *mpv, QWindow *window, std::function<void(Note)> notify)
    : MpvRenderer(mpv, std::move(notify)), window_(window)
{
    start();
}

MpvGlRenderer::~MpvGlRenderer()
{
    stop();
    delete offscreen_;
}

void MpvGlRenderer::provideSurface()
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

bool MpvGlRenderer::setUp()
{
    gl_ = new QOpenGLContext;
    gl_->setFormat(window_->requestedFormat());
    if (!gl_->create())
        return false;
    {
        std::unique_lock lock(m_);
        phase_ = Phase::WantsSurface;
        wake_.notify_all();
        notify_(Note::SurfaceWanted);
        wake_.wait(lock, [this] { return quit_ || offscreen_; });
        if (quit_)
            return false;
    }
    if (!gl_->makeCurrent(offscreen_))
        return false;
    mpv_opengl_init_params init{&getProcAddress, gl_};
    const mpv_render_param initParams{MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init};
    return createRenderContext(MPV_RENDER_API_TYPE_OPENGL, &initParams);
}

void MpvGlRenderer::tearDown()
{
    if (render_) {
        gl_->makeCurrent(offscreen_);
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

void MpvGlRenderer::drawInto(QSize pixels, bool newFrame)
{
    if (!gl_->makeCurrent(window_)) {
        if (newFrame)
            takeHidden(pixels);
        return;
    }
    mpv_opengl_fbo fbo{int(gl_->defaultFramebufferObject()), pixels.width(), pixels.height(), 0};
    int flipY = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    render(params);
    gl_->swapBuffers(window_);
    // Not left current on a surface the GUI thread may take away.
    gl_->doneCurrent();
}

void MpvGlRenderer::takeHidden(QSize pixels)
{
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
    render(params.data());
    if (fbo) {
        f->glBindFramebuffer(GL_FRAMEBUFFER, gl_->defaultFramebufferObject());
        f->glDeleteFramebuffers(1, &fbo);
        f->glDeleteTextures(1, &texture);
    }
    noteHidden();
}

} // namespace tavero
