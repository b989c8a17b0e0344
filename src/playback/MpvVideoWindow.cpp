#include "playback/MpvVideoWindow.h"

#include "playback/MpvGlRenderer.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPlatformSurfaceEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

namespace tavero {

MpvVideoWindow::MpvVideoWindow(mpv_handle *mpv)
    : wayland_(QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
{
    setObjectName(QStringLiteral("videoWindow"));
    setSurfaceType(QSurface::OpenGLSurface);
    // Keys belong to the component's widgets; a click on the picture must
    // not take the keyboard away from them.
    setFlag(Qt::WindowDoesNotAcceptFocus);
    if (!mpv)
        return;
    renderer_ = std::make_unique<MpvGlRenderer>(mpv, this, [this](MpvRenderer::Note note) {
        // On the drawing thread, which ends before this window does; a
        // call still queued when the window goes is dropped with it.
        QMetaObject::invokeMethod(this, [this, note] { onNote(note); }, Qt::QueuedConnection);
    });
}

MpvVideoWindow::~MpvVideoWindow()
{
    releaseRenderContext();
}

void MpvVideoWindow::onNote(MpvRenderer::Note note)
{
    if (!renderer_)
        return;
    switch (note) {
    case MpvRenderer::Note::SurfaceWanted:
        renderer_->provideSurface();
        break;
    case MpvRenderer::Note::Ready:
    case MpvRenderer::Note::Failed:
        announce(note == MpvRenderer::Note::Ready);
        break;
    case MpvRenderer::Note::FrameDrawn:
        emit frameDrawn();
        break;
    case MpvRenderer::Note::FrameReady:   // the software way's only
        break;
    case MpvRenderer::Note::HiddenFrame:
        // Frames keep coming while the window is shown but not exposed:
        // under Wayland that is a new top-level window that never exposed
        // ours.
        if (wayland_ && isVisible() && !isExposed())
            followTopLevel();
        break;
    }
}

void MpvVideoWindow::announce(bool ready)
{
    if (announced_)
        return;
    announced_ = true;
    if (ready) {
        emit renderContextReady();
    } else {
        emit openGlFailed();
    }
}

bool MpvVideoWindow::ensureRenderContext()
{
    if (!renderer_)
        return false;
    const bool ready = renderer_->waitUntilReady();
    announce(ready);
    return ready;
}

void MpvVideoWindow::releaseRenderContext()
{
    if (!renderer_)
        return;
    renderer_->stop();
    renderer_.reset();
}

void MpvVideoWindow::reportNextFrame()
{
    if (renderer_)
        renderer_->noteNextFrame();
}

void MpvVideoWindow::updateTarget()
{
    if (renderer_)
        renderer_->setTarget(isExposed(), size() * devicePixelRatio());
}

void MpvVideoWindow::exposeEvent(QExposeEvent *)
{
    exposedThere_ = exposedThere_ || isExposed();
    updateTarget();
    if (renderer_ && isExposed())
        renderer_->redraw();
}

void MpvVideoWindow::resizeEvent(QResizeEvent *)
{
    updateTarget();
}

bool MpvVideoWindow::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (wayland_)
            followTopLevel();
        return QWindow::event(event);
    case QEvent::Hide:
        updateTarget();
        return QWindow::event(event);
    case QEvent::PlatformSurface:
        // Before the surface goes, the drawing thread lets go of it.
        if (renderer_ && static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType() ==
                             QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
            renderer_->setTarget(false, QSize());
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

void MpvVideoWindow::setHolder(QWidget *holder)
{
    if (holder_)
        holder_->removeEventFilter(this);
    holder_ = holder;
    holder_->installEventFilter(this);
}

bool MpvVideoWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Hiding or moving the holder hides or moves this window next, and
    // under Wayland that takes its surface away at once: drawing stops
    // first. The next expose lets it go on.
    if (watched == holder_ && renderer_ &&
        (event->type() == QEvent::Hide || event->type() == QEvent::ParentAboutToChange))
        renderer_->setTarget(false, QSize());
    if (watched == topLevel_ && event->type() == QEvent::Expose && topLevel_->isExposed() && !isExposed())
        askForExpose();
    return QWindow::eventFilter(watched, event);
}

void MpvVideoWindow::forwardMouse(QEvent *event)
{
    if (!holder_)
        return;
    // The window fills its holder, so positions carry over unchanged.
    if (event->type() == QEvent::Wheel) {
        auto *w = static_cast<QWheelEvent *>(event);
        QWheelEvent copy(w->position(), w->globalPosition(), w->pixelDelta(), w->angleDelta(), w->buttons(),
                         w->modifiers(), w->phase(), w->inverted(), w->source(), w->pointingDevice());
        QCoreApplication::sendEvent(holder_, &copy);
        return;
    }
    auto *m = static_cast<QMouseEvent *>(event);
    QMouseEvent copy(m->type(), m->position(), m->globalPosition(), m->button(), m->buttons(), m->modifiers(),
                     m->pointingDevice());
    QPointer<QWidget> target = holder_;
    QCoreApplication::sendEvent(target, &copy);
    // Widgets get their context-menu event from Qt's widget windows, on the
    // right button's press under X11; this window is no widget window.
    if (target && m->type() == QEvent::MouseButtonPress && m->button() == Qt::RightButton) {
        QContextMenuEvent menu(QContextMenuEvent::Mouse, m->position().toPoint(), m->globalPosition().toPoint(),
                               m->modifiers());
        QCoreApplication::sendEvent(target, &menu);
    }
}

} // namespace tavero
