#pragma once
// The picture of MpvPlayer: a native child window that libmpv's OpenGL
// render API draws into directly.
//
// A QOpenGLWidget would have mpv render into a framebuffer object that Qt
// then composes, with the rest of the top-level window, through OpenGL on
// every frame: with a software rasterizer that costs more than decoding
// the video. A window of its own costs mpv's one pass into its surface.
//
// The GL and render contexts are made at construction on an offscreen
// surface, so mpv can start the picture of a file opened before the window
// is first shown, and they survive moves to another top-level window (full
// screen): the native window is reparented, not recreated.

#include <QPointer>
#include <QWindow>

class QOffscreenSurface;
class QOpenGLContext;
class QWidget;
struct mpv_handle;
struct mpv_render_context;

namespace tavero {

class MpvVideoWindow : public QWindow {
    Q_OBJECT
public:
    explicit MpvVideoWindow(mpv_handle *mpv);
    ~MpvVideoWindow() override;

    bool hasRenderContext() const { return render_ != nullptr; }
    // Frees the render context with its GL context current. Must run
    // before the mpv handle is destroyed.
    void releaseRenderContext();
    // Mouse input lands on this native window; it is passed on to the
    // widget holding it, so the component handles input in one place.
    void setInputTarget(QWidget *target) { target_ = target; }

protected:
    void exposeEvent(QExposeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void createRenderContext();
    void frameReady();
    void render();
    void forwardMouse(QEvent *event);
    static void onRenderUpdate(void *self);

    mpv_handle *mpv_;
    QOpenGLContext *gl_ = nullptr;
    QOffscreenSurface *offscreen_ = nullptr;
    mpv_render_context *render_ = nullptr;
    QPointer<QWidget> target_;
};

} // namespace tavero
