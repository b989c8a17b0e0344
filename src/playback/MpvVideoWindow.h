#pragma once
// The picture of MpvPlayer: a native child window that libmpv's OpenGL
// render API draws into directly.
//
// A QOpenGLWidget would have mpv render into a framebuffer object that Qt
// then composes, with the rest of the top-level window, through OpenGL on
// every frame: with a software rasterizer that costs more than decoding
// the video. A window of its own costs mpv's one pass into its surface.
//
// Making the GL context loads the OpenGL driver, which takes a noticeable
// time (about 100 ms with a software rasterizer), so a helper thread makes
// it while the program builds its window; the render context is made on it
// when the first file opens or the window is first shown. They live on an offscreen surface until the window is
// shown, and survive moves to another top-level window (full screen): the
// native window is reparented, not recreated.

#include <QPointer>
#include <QWindow>
#include <atomic>

class QOffscreenSurface;
class QOpenGLContext;
class QThread;
class QWidget;
struct mpv_handle;
struct mpv_render_context;

namespace tavero {

class MpvVideoWindow : public QWindow {
    Q_OBJECT
public:
    // mpv must be initialised already.
    explicit MpvVideoWindow(mpv_handle *mpv);
    ~MpvVideoWindow() override;

    // Makes the render context, once; says whether there is one.
    // renderContextReady() comes when it is made.
    bool ensureRenderContext();
    // Frees the render context with its GL context current. Must run
    // before the mpv handle is destroyed.
    void releaseRenderContext();
    // Mouse input lands on this native window; it is passed on to the
    // widget holding it, so the component handles input in one place.
    void setInputTarget(QWidget *target) { target_ = target; }
    // Draws the frame mpv has waiting, if any. mpv's video output waits
    // (up to a fifth of a second) for each frame to be taken, so a caller
    // that blocks the GUI thread on mpv calls this now and then while it
    // waits.
    void takeFrame();

signals:
    // mpv can send the video here now.
    void renderContextReady();
    // No picture can be shown: no OpenGL here, or (under Wayland) the
    // compositor never lets this window be drawn.
    void cannotDraw();

protected:
    void exposeEvent(QExposeEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Waits for the helper thread, if it is still there; says whether it was.
    bool joinMaker();
    void renderHidden();
    void render();
    void forwardMouse(QEvent *event);
    void followTopLevel();
    void askForExpose();
    static void onRenderUpdate(void *self);

    mpv_handle *mpv_;
    QOpenGLContext *gl_ = nullptr;
    QOffscreenSurface *offscreen_ = nullptr;
    QThread *maker_ = nullptr;
    mpv_render_context *render_ = nullptr;
    bool warmedUp_ = false;
    std::atomic<bool> framePending_{false};
    QPointer<QWidget> target_;
    // Under Wayland: the top-level window whose surface holds ours, and
    // whether ours has been exposed since it went there.
    const bool wayland_;
    QPointer<QWindow> topLevel_;
    bool exposedThere_ = false;
};

} // namespace tavero
