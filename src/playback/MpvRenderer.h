#pragma once
// Draws mpv's frames on a thread of its own, so that nothing the GUI
// thread does (a long scan, a menu, a resize, a file being opened) holds
// up the video: mpv's video output waits for each frame to be taken, and
// with the frames drawn on the GUI thread a busy GUI meant late or dropped
// frames.
//
// The thread owns the OpenGL context and mpv's render context from their
// making to their freeing. The GUI thread only says where to draw (the
// window while it is exposed, at its size in pixels) and asks for a redraw
// after an expose; it waits for the thread only when the window stops
// being drawable (hidden, or its surface about to go), and then only for
// the frame being drawn, never for mpv's core.
//
// Making the GL context loads the OpenGL driver (about 100 ms with a
// software rasterizer); the thread does that while the program builds its
// window. Its offscreen surface (for frames nobody sees, and to make
// mpv's render context on) must be made on the GUI thread: the thread asks
// for it through surfaceWanted, and the GUI hands it over with
// provideSurface().

#include <QSize>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class QOffscreenSurface;
class QOpenGLContext;
class QWindow;
struct mpv_handle;
struct mpv_render_context;

namespace tavero {

class MpvRenderer {
public:
    // What the thread tells the GUI, from the thread: only post from there.
    enum class Note { SurfaceWanted, Ready, Failed, HiddenFrame, FrameDrawn };

    // mpv must be initialised already; window outlives the renderer.
    MpvRenderer(mpv_handle *mpv, QWindow *window, std::function<void(Note)> notify);
    ~MpvRenderer();
    MpvRenderer(const MpvRenderer &) = delete;
    MpvRenderer &operator=(const MpvRenderer &) = delete;

    // GUI thread: makes the offscreen surface if the thread wants it.
    void provideSurface();
    // GUI thread: waits until mpv's render context is made or cannot be;
    // says whether there is one.
    bool waitUntilReady();
    // GUI thread: where to draw. With exposed false it returns once no
    // frame is being drawn into the window any more.
    void setTarget(bool exposed, QSize pixels);
    // GUI thread: draws the current frame again (after an expose).
    void redraw();
    // Any thread: the next new frame drawn (on screen or off) is noted
    // with FrameDrawn.
    void noteNextFrame() { noteFrame_ = true; }
    // GUI thread: frees mpv's render context (with its GL context
    // current) and ends the thread. Must run before the mpv handle goes.
    void stop();

private:
    enum class Phase { MakingContext, WantsSurface, MakingRenderContext, Ready, Failed };

    void run();
    bool setUp();
    void loop();
    void drawIntoWindow(bool newFrame);
    void drawHidden(QSize pixels);
    static void onUpdate(void *self);

    mpv_handle *mpv_;
    QWindow *window_;
    std::function<void(Note)> notify_;
    QOpenGLContext *gl_ = nullptr;
    QOffscreenSurface *offscreen_ = nullptr;
    mpv_render_context *render_ = nullptr;
    bool warmedUp_ = false;

    // Guards what follows; never held while calling into mpv (its update
    // callback takes it, from mpv's threads).
    std::mutex m_;
    std::condition_variable wake_;
    Phase phase_ = Phase::MakingContext;
    bool quit_ = false;
    bool updates_ = false;
    bool redraw_ = false;
    bool exposed_ = false;
    QSize pixels_;
    bool hiddenNoted_ = false;
    std::atomic<bool> noteFrame_{false};
    // Held while a frame goes into the window, so that the GUI can wait
    // for the end of that frame before the window's surface changes.
    std::mutex drawing_;
    std::thread thread_;
};

} // namespace tavero
