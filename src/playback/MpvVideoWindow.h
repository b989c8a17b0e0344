#pragma once
// The picture of MpvPlayer where a GPU runs OpenGL: a native child window
// that libmpv's OpenGL render API draws into directly, from a thread of its
// own (MpvGlRenderer).
//
// A QOpenGLWidget would have mpv render into a framebuffer object that Qt
// then composes, with the rest of the top-level window, through OpenGL on
// every frame: with a software rasterizer that costs more than decoding
// the video. A window of its own costs mpv's one pass into its surface.
//
// The window survives moves to another top-level window (full screen): the
// native window is reparented, not recreated. This class keeps to the GUI
// thread: it tells the renderer where and when it may draw, looks after
// Wayland's exposes and passes the mouse on.

#include "playback/MpvRenderer.h"

#include <QPointer>
#include <QWindow>
#include <memory>

class QWidget;
struct mpv_handle;

namespace tavero {

class MpvVideoWindow : public QWindow {
    Q_OBJECT
public:
    // mpv must be initialised already.
    explicit MpvVideoWindow(mpv_handle *mpv);
    ~MpvVideoWindow() override;

    // Waits until the render context is made (at most once, while the
    // program starts: it is begun at construction); says whether there is
    // one. renderContextReady() has come by the time this returns true.
    bool ensureRenderContext();
    // Frees the render context and ends the drawing thread. Must run
    // before the mpv handle is destroyed.
    void releaseRenderContext();
    // frameDrawn() comes once the next new frame has been drawn.
    void reportNextFrame();
    // The widget holding this window (its container). Mouse input lands
    // on this native window; it is passed on to the holder, so the
    // component handles input in one place. Before the holder is hidden
    // or moved, the drawing thread lets go of this window's surface.
    void setHolder(QWidget *holder);

signals:
    // mpv can send the video here now.
    void renderContextReady();
    // A new frame has been drawn (or taken while hidden) since
    // reportNextFrame().
    void frameDrawn();
    // No OpenGL context can be made here after all.
    void openGlFailed();
    // Under Wayland: the compositor never lets this window be drawn.
    void cannotDraw();

protected:
    void exposeEvent(QExposeEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onNote(MpvRenderer::Note note);
    void announce(bool ready);
    void updateTarget();
    void forwardMouse(QEvent *event);
    void followTopLevel();
    void askForExpose();

    std::unique_ptr<MpvRenderer> renderer_;
    bool announced_ = false;
    QPointer<QWidget> holder_;
    // Under Wayland: the top-level window whose surface holds ours, and
    // whether ours has been exposed since it went there.
    const bool wayland_;
    QPointer<QWindow> topLevel_;
    bool exposedThere_ = false;
};

} // namespace tavero
