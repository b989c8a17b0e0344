#pragma once
// The picture of MpvPlayer where it is drawn without OpenGL: a plain widget
// that paints the frames MpvSoftwareRenderer puts into memory on its
// drawing thread. The widget is painted into the window's backing store
// with the rest of the window, so nothing about it differs between X11 and
// Wayland, and the mouse reaches the component as it reaches any widget.
//
// While the window cannot be seen (hidden, minimised, not yet exposed) the
// drawing thread takes frames without drawing them. A paint after an
// expose shows the frame kept in memory; nothing asks mpv again.

#include "playback/MpvRenderer.h"

#include <QPointer>
#include <QWidget>
#include <memory>

struct mpv_handle;

namespace tavero {

class MpvSoftwareRenderer;

class MpvSoftwareView : public QWidget {
    Q_OBJECT
public:
    // mpv must be initialised already.
    MpvSoftwareView(mpv_handle *mpv, QWidget *parent);
    ~MpvSoftwareView() override;

    // Waits until the render context is made (at most once, while the
    // program starts); says whether there is one.
    bool ensureRenderContext();
    // Frees the render context and ends the drawing thread. Must run
    // before the mpv handle is destroyed.
    void releaseRenderContext();
    // frameDrawn() comes once the next new frame is on the screen.
    void reportNextFrame();

signals:
    void renderContextReady();
    void frameDrawn();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onNote(MpvRenderer::Note note);
    void updateTarget();
    void watchTopLevel();

    std::unique_ptr<MpvSoftwareRenderer> renderer_;
    QPointer<QWindow> topLevel_;
    bool announced_ = false;
    // The next paint that shows a new frame reports it.
    bool reportOnPaint_ = false;
};

} // namespace tavero
