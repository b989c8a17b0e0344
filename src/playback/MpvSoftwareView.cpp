#include "playback/MpvSoftwareView.h"

#include "playback/MpvSoftwareRenderer.h"

#include <QPainter>
#include <QWindow>

namespace tavero {

MpvSoftwareView::MpvSoftwareView(mpv_handle *mpv, QWidget *parent) : QWidget(parent)
{
    // Every pixel is painted from the frame: nothing to clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (!mpv)
        return;
    renderer_ = std::make_unique<MpvSoftwareRenderer>(mpv, [this](MpvRenderer::Note note) {
        // On the drawing thread, which ends before this widget does; a call
        // still queued when the widget goes is dropped with it.
        QMetaObject::invokeMethod(this, [this, note] { onNote(note); }, Qt::QueuedConnection);
    });
}

MpvSoftwareView::~MpvSoftwareView()
{
    releaseRenderContext();
}

bool MpvSoftwareView::ensureRenderContext()
{
    if (!renderer_)
        return false;
    const bool ready = renderer_->waitUntilReady();
    if (ready && !std::exchange(announced_, true))
        emit renderContextReady();
    return ready;
}

void MpvSoftwareView::releaseRenderContext()
{
    if (!renderer_)
        return;
    renderer_->stop();
    renderer_.reset();
}

void MpvSoftwareView::reportNextFrame()
{
    if (renderer_)
        renderer_->noteNextFrame();
}

void MpvSoftwareView::onNote(MpvRenderer::Note note)
{
    if (!renderer_)
        return;
    switch (note) {
    case MpvRenderer::Note::Ready:
        if (!std::exchange(announced_, true))
            emit renderContextReady();
        break;
    case MpvRenderer::Note::FrameReady:
        update();
        break;
    case MpvRenderer::Note::FrameDrawn:
        // Drawn into memory; it is on the screen once painted. A frame
        // taken while nothing is seen counts at once.
        if (isVisible() && topLevel_ && topLevel_->isExposed())
            reportOnPaint_ = true;
        else
            emit frameDrawn();
        break;
    default:
        break;
    }
}

void MpvSoftwareView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QImage frame = renderer_ ? renderer_->frame() : QImage();
    if (frame.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    frame.setDevicePixelRatio(devicePixelRatioF());
    if (frame.deviceIndependentSize() == QSizeF(size())) {
        // The frame has the widget's size in device pixels: a plain copy.
        painter.drawImage(QPointF(0, 0), frame);
    } else {
        // Only until the drawing thread has drawn at a new size.
        painter.drawImage(QRectF(rect()), frame);
    }
    if (std::exchange(reportOnPaint_, false))
        emit frameDrawn();
}

bool MpvSoftwareView::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::ParentChange:
        watchTopLevel();
        updateTarget();
        break;
    case QEvent::Hide:
    case QEvent::Resize:
        updateTarget();
        break;
    default:
        break;
    }
    return handled;
}

// The top-level window says when it can be seen (mapped, not minimised).
void MpvSoftwareView::watchTopLevel()
{
    QWindow *top = window()->windowHandle();
    if (top == topLevel_)
        return;
    if (topLevel_)
        topLevel_->removeEventFilter(this);
    topLevel_ = top;
    if (top)
        top->installEventFilter(this);
}

bool MpvSoftwareView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == topLevel_ && (event->type() == QEvent::Expose || event->type() == QEvent::WindowStateChange))
        updateTarget();
    return QWidget::eventFilter(watched, event);
}

void MpvSoftwareView::updateTarget()
{
    if (!renderer_)
        return;
    const bool exposed = isVisible() && topLevel_ && topLevel_->isExposed()
                         && !(topLevel_->windowStates() & Qt::WindowMinimized);
    renderer_->setTarget(exposed, (QSizeF(size()) * devicePixelRatioF()).toSize());
}

} // namespace tavero
