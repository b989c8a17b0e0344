#include "playback/MpvVideoWindow.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
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

MpvVideoWindow::MpvVideoWindow(mpv_handle *mpv)
    : mpv_(mpv), wayland_(QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
{
    setObjectName(QStringLiteral("videoWindow"));
    setSurfaceType(QSurface::OpenGLSurface);
    // Keys belong to the component's widgets; a click on the picture must
    // not take the keyboard away from them.
    setFlag(Qt::WindowDoesNotAcceptFocus);
    if (!mpv_)
        return;
    // Creating the GL context loads the OpenGL driver, the slow part; the
    // helper thread does only that, and hands the context back.
    gl_ = new QOpenGLContext;
    gl_->setFormat(requestedFormat());
    QThread *gui = thread();
    maker_ = QThread::create([this, gui] {
        gl_->create();
        gl_->moveToThread(gui);
    });
    gl_->moveToThread(maker_);
    maker_->start();
}

MpvVideoWindow::~MpvVideoWindow()
{
    releaseRenderContext();
    delete offscreen_;
    delete gl_;
}

bool MpvVideoWindow::joinMaker()
{
    if (!maker_)
        return false;
    maker_->wait();
    delete maker_;
    maker_ = nullptr;
    return true;
}

bool MpvVideoWindow::ensureRenderContext()
{
    if (!joinMaker())
        return render_ != nullptr;
    // The offscreen surface has to be made on the GUI thread.
    offscreen_ = new QOffscreenSurface(screen());
    offscreen_->setFormat(gl_->format());
    offscreen_->create();
    if (!gl_->isValid() || !gl_->makeCurrent(offscreen_)) {
        qWarning("mpv: no OpenGL context; the video stays black");
        emit cannotDraw();
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
    } else {
        mpv_render_context_set_update_callback(render_, &MpvVideoWindow::onRenderUpdate, this);
    }
    gl_->doneCurrent();
    if (render_)
        emit renderContextReady();
    else
        emit cannotDraw();
    return render_ != nullptr;
}

void MpvVideoWindow::releaseRenderContext()
{
    joinMaker();
    if (!render_)
        return;
    gl_->makeCurrent(offscreen_);
    // After this no update callback runs any more.
    mpv_render_context_free(render_);
    render_ = nullptr;
    gl_->doneCurrent();
}

void MpvVideoWindow::takeFrame()
{
    framePending_ = false;
    if (maker_ || !render_)
        return;
    const bool visible = isExposed();
    if (!visible && wayland_ && isVisible())
        followTopLevel();
    if (!gl_->makeCurrent(visible ? static_cast<QSurface *>(this) : offscreen_))
        return;
    // Not every announcement is a frame (some come before the first one).
    if (!(mpv_render_context_update(render_) & MPV_RENDER_UPDATE_FRAME))
        return;
    if (visible)
        render();
    else
        renderHidden();
}

void MpvVideoWindow::renderHidden()
{
    // Frames nobody can see (the window not shown yet, or minimised) are
    // taken all the same. The GL context is current on the offscreen
    // surface.
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
        const QSize s = size().isEmpty() ? QSize(64, 64) : size() * devicePixelRatio();
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
    gl_->doneCurrent();
}

void MpvVideoWindow::render()
{
    if (maker_ || !gl_ || !isExposed() || !gl_->makeCurrent(this))
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
    exposedThere_ = exposedThere_ || isExposed();
    ensureRenderContext();
    render();
}

bool MpvVideoWindow::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (wayland_)
            followTopLevel();
        return QWindow::event(event);
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

// Qt's Wayland plugin exposes a child window (a sub-surface) only when its
// own geometry changes while its top-level is exposed, or on a configure of
// the top-level after the first one. Ours is shown before its top-level's
// first configure (the main window opens with it, as does the full-screen
// window), so it would never be exposed and never drawn: once the
// top-level is exposed, a move there and back has the plugin expose it.
// Should a compositor still not let it be drawn, it says so.
void MpvVideoWindow::followTopLevel()
{
    QWindow *top = this;
    while (top->parent())
        top = top->parent();
    if (top == this || top == topLevel_)
        return;
    if (topLevel_)
        topLevel_->removeEventFilter(this);
    topLevel_ = top;
    exposedThere_ = false;
    top->installEventFilter(this);
    if (top->isExposed())
        askForExpose();
}

void MpvVideoWindow::askForExpose()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isExposed() || !isVisible())
                return;
            const QPoint at = position();
            setPosition(at + QPoint(1, 0));
            setPosition(at);
            QTimer::singleShot(3000, this, [this] {
                if (!exposedThere_ && isVisible() && topLevel_ && topLevel_->isExposed())
                    emit cannotDraw();
            });
        },
        Qt::QueuedConnection);
}

bool MpvVideoWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == topLevel_ && event->type() == QEvent::Expose && topLevel_->isExposed() && !isExposed())
        askForExpose();
    return QWindow::eventFilter(watched, event);
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
    if (!w->framePending_.exchange(true))
        QMetaObject::invokeMethod(w, [w] { w->takeFrame(); }, Qt::QueuedConnection);
}

} // namespace tavero
