#include "playback/MpvVideoWidget.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <mpv/client.h>
#include <mpv/render_gl.h>

namespace tavero {

namespace {

void *getProcAddress(void *, const char *name)
{
    QOpenGLContext *ctx = QOpenGLContext::currentContext();
    return ctx ? reinterpret_cast<void *>(ctx->getProcAddress(name)) : nullptr;
}

} // namespace

MpvVideoWidget::MpvVideoWidget(mpv_handle *mpv, QWidget *parent) : QOpenGLWidget(parent), mpv_(mpv)
{
    setMouseTracking(true);
}

MpvVideoWidget::~MpvVideoWidget()
{
    releaseRenderContext(false);
    // QOpenGLWidget's own destructor destroys the GL context, and its
    // aboutToBeDestroyed must not call back into this half-destroyed object.
    if (QOpenGLContext *ctx = context())
        ctx->disconnect(this);
}

void MpvVideoWidget::releaseRenderContext(bool keepPlaying)
{
    if (!render_)
        return;
    // Freeing the context under a running video output would stop the
    // video for good (and fail a file without sound): hand the video to
    // the null output first; a new context takes it back.
    if (keepPlaying && mpv_)
        mpv_set_property_string(mpv_, "vo", "null");
    makeCurrent();
    // After this no update callback runs any more.
    mpv_render_context_free(render_);
    render_ = nullptr;
    doneCurrent();
}

void MpvVideoWidget::initializeGL()
{
    // Qt may give this widget a new GL context (after a move to another
    // window); the old render context went with the old one.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] { releaseRenderContext(true); },
            Qt::DirectConnection);
    if (render_ || !mpv_)
        return;
    mpv_opengl_init_params gl{&getProcAddress, nullptr};
    int advancedControl = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_OPENGL)},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl},
        {MPV_RENDER_PARAM_ADVANCED_CONTROL, &advancedControl},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_create(&render_, mpv_, params) < 0) {
        render_ = nullptr;
        qWarning("mpv: cannot create the OpenGL render context; the video stays black");
        return;
    }
    mpv_render_context_set_update_callback(render_, &MpvVideoWidget::onRenderUpdate, this);
    emit renderContextReady();
}

void MpvVideoWidget::paintGL()
{
    if (!render_) {
        QOpenGLFunctions *f = context()->functions();
        f->glClearColor(0, 0, 0, 1);
        f->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    const qreal dpr = devicePixelRatioF();
    mpv_opengl_fbo fbo{int(defaultFramebufferObject()), int(width() * dpr), int(height() * dpr), 0};
    int flipY = 1;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
        {MPV_RENDER_PARAM_FLIP_Y, &flipY},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    mpv_render_context_render(render_, params);
}

void MpvVideoWidget::onRenderUpdate(void *self)
{
    // Runs on one of mpv's threads: only post to the GUI thread.
    auto *w = static_cast<MpvVideoWidget *>(self);
    QMetaObject::invokeMethod(w, [w] { w->update(); }, Qt::QueuedConnection);
}

} // namespace tavero
