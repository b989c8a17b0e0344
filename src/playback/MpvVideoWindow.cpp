#include "playback/MpvVideoWindow.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWheelEvent>
#include <QWidget>
#include <mpv/client.h>
#include <mpv/render_gl.h>

namespace tavero {

namespace {

void *getProcAddress(void *ctx, const char *name)
{
    return reinterpret_cast<void *>(static_cast<QOpenGLContext *>(ctx)->getProcAddress(name));
}

} // namespace

MpvVideoWindow::MpvVideoWindow(mpv_handle *mpv) : mpv_(mpv)
{
    setObjectName(QStringLiteral("videoWindow"));
    setSurfaceType(QSurface::OpenGLSurface);
    // Keys belong to the component's widgets; a click on the picture must
    // not take the keyboard away from them.
    setFlag(Qt::WindowDoesNotAcceptFocus);
    createRenderContext();
}

MpvVideoWindow::~MpvVideoWindow()
{
    releaseRenderContext();
    delete offscreen_;
    delete gl_;
}

void MpvVideoWindow::createRenderContext()
{
    if (!mpv_)
        return;
    gl_ = new QOpenGLContext;
    gl_->setFormat(requestedFormat());
    offscreen_ = new QOffscreenSurface(screen());
    offscreen_->setFormat(gl_->format());
    offscreen_->create();
    if (!gl_->create() || !gl_->makeCurrent(offscreen_)) {
        qWarning("mpv: no OpenGL context; the video stays black");
        return;
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
    } else {
        mpv_render_context_set_update_callback(render_, &MpvVideoWindow::onRenderUpdate, this);
    }
    gl_->doneCurrent();
}

void MpvVideoWindow::releaseRenderContext()
{
    if (!render_)
        return;
    gl_->makeCurrent(offscreen_);
    // After this no update callback runs any more.
    mpv_render_context_free(render_);
    render_ = nullptr;
    gl_->doneCurrent();
}

void MpvVideoWindow::frameReady()
{
    if (isExposed()) {
        requestUpdate();
        return;
    }
    // mpv's video output waits for each frame to be taken; one that nobody
    // can see (the window not shown yet, or minimised) is taken unseen.
    if (render_ && gl_->makeCurrent(offscreen_)) {
        int skip = 1;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(render_, params);
        gl_->doneCurrent();
    }
}

void MpvVideoWindow::render()
{
    if (!gl_ || !isExposed() || !gl_->makeCurrent(this))
        return;
    if (render_) {
        const qreal dpr = devicePixelRatio();
        mpv_opengl_fbo fbo{int(gl_->defaultFramebufferObject()), int(width() * dpr), int(height() * dpr), 0};
        int flipY = 1;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
            {MPV_RENDER_PARAM_FLIP_Y, &flipY},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(render_, params);
    } else {
        QOpenGLFunctions *f = gl_->functions();
        f->glClearColor(0, 0, 0, 1);
        f->glClear(GL_COLOR_BUFFER_BIT);
    }
    gl_->swapBuffers(this);
}

void MpvVideoWindow::exposeEvent(QExposeEvent *)
{
    render();
}

bool MpvVideoWindow::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::UpdateRequest:
        render();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        forwardMouse(event);
        return true;
    default:
        return QWindow::event(event);
    }
}

void MpvVideoWindow::forwardMouse(QEvent *event)
{
    if (!target_)
        return;
    // The window fills its holder, so positions carry over unchanged.
    if (event->type() == QEvent::Wheel) {
        auto *w = static_cast<QWheelEvent *>(event);
        QWheelEvent copy(w->position(), w->globalPosition(), w->pixelDelta(), w->angleDelta(), w->buttons(),
                         w->modifiers(), w->phase(), w->inverted(), w->source(), w->pointingDevice());
        QCoreApplication::sendEvent(target_, &copy);
        return;
    }
    auto *m = static_cast<QMouseEvent *>(event);
    QMouseEvent copy(m->type(), m->position(), m->globalPosition(), m->button(), m->buttons(), m->modifiers(),
                     m->pointingDevice());
    QPointer<QWidget> target = target_;
    QCoreApplication::sendEvent(target, &copy);
    // Widgets get their context-menu event from Qt's widget windows, on the
    // right button's press under X11; this window is no widget window.
    if (target && m->type() == QEvent::MouseButtonPress && m->button() == Qt::RightButton) {
        QContextMenuEvent menu(QContextMenuEvent::Mouse, m->position().toPoint(), m->globalPosition().toPoint(),
                               m->modifiers());
        QCoreApplication::sendEvent(target, &menu);
    }
}

void MpvVideoWindow::onRenderUpdate(void *self)
{
    // Runs on one of mpv's threads: only post to the GUI thread.
    auto *w = static_cast<MpvVideoWindow *>(self);
    QMetaObject::invokeMethod(w, [w] { w->frameReady(); }, Qt::QueuedConnection);
}

} // namespace tavero
