#pragma once
// Draws mpv's frames on a thread of its own, so that nothing the GUI
// thread does (a long scan, a menu, a resize, a file being opened) holds
// up the video: mpv's video output waits for each frame to be taken, and
// with the frames drawn on the GUI thread a busy GUI meant late or dropped
// frames.
//
// The thread owns mpv's render context from its making to its freeing,
// and whatever the way of drawing needs besides (MpvGlRenderer: an OpenGL
// context; MpvSoftwareRenderer: frames in memory). The GUI thread only
// says where to draw (a target while it can be seen, at its size in
// pixels) and asks for a redraw after an expose; it waits for the thread
// only when the target stops being drawable, and then only for the frame
// being drawn, never for mpv's core.

#include <QSize>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

struct mpv_handle;
struct mpv_render_context;
struct mpv_render_param;

namespace tavero {

class MpvRenderer {
public:
    // What the thread tells the GUI, from the thread: only post from there.
    // SurfaceWanted: the OpenGL way needs a surface made on the GUI thread;
    // FrameReady: the software way has a new frame in memory.
    enum class Note { SurfaceWanted, Ready, Failed, HiddenFrame, FrameDrawn, FrameReady };

    virtual ~MpvRenderer();
    MpvRenderer(const MpvRenderer &) = delete;
    MpvRenderer &operator=(const MpvRenderer &) = delete;

    // GUI thread: hands over what the thread asked for with SurfaceWanted.
    virtual void provideSurface() {}
    // GUI thread: waits until mpv's render context is made or cannot be;
    // says whether there is one.
    bool waitUntilReady();
    // GUI thread: where to draw. With exposed false it returns once no
    // frame is being drawn into the target any more.
    void setTarget(bool exposed, QSize pixels);
    // GUI thread: draws the current frame again (after an expose).
    void redraw();
    // Any thread: the next new frame drawn (on screen or off) is noted
    // with FrameDrawn.
    void noteNextFrame() { noteFrame_ = true; }
    // GUI thread: frees mpv's render context and ends the thread. Must run
    // before the mpv handle goes; subclasses run it in their destructors.
    void stop();

protected:
    // mpv must be initialised already. Subclasses call start() once they
    // are whole: the thread calls their functions.
    MpvRenderer(mpv_handle *mpv, std::function<void(Note)> notify);
    void start();

    // On the thread. Makes the render context (render_) and what it
    // draws with; false when it cannot.
    virtual bool setUp() = 0;
    // A frame into the target, at `pixels`; a repeat of the last one
    // unless `newFrame`. Held under drawing_.
    virtual void drawInto(QSize pixels, bool newFrame) = 0;
    // A new frame while nothing can be seen: taken, so that mpv's video
    // output does not stall, but not drawn.
    virtual void takeHidden(QSize pixels) = 0;
    // Frees render_ and the rest.
    virtual void tearDown() = 0;

    // Makes render_ for `apiType`, with one more parameter when `extra`
    // is not null (its type then says which); false when mpv refuses.
    bool createRenderContext(const char *apiType, const mpv_render_param *extra);
    // Renders with `params` (ended by MPV_RENDER_PARAM_INVALID); mpv's
    // error code, or 0.
    int render(mpv_render_param *params);
    // Notes HiddenFrame once for each stretch of hidden frames.
    void noteHidden();

    mpv_handle *const mpv_;
    mpv_render_context *render_ = nullptr;
    const std::function<void(Note)> notify_;
    // Guards what follows; never held while calling into mpv (its update
    // callback takes it, from mpv's threads).
    std::mutex m_;
    std::condition_variable wake_;
    enum class Phase { MakingContext, WantsSurface, MakingRenderContext, Ready, Failed };
    Phase phase_ = Phase::MakingContext;
    bool quit_ = false;

private:
    void run();
    void loop();
    static void onUpdate(void *self);

    bool updates_ = false;
    bool redraw_ = false;
    bool exposed_ = false;
    QSize pixels_;
    bool hiddenNoted_ = false;
    std::atomic<bool> noteFrame_{false};
    // Held while a frame goes into the target, so that the GUI can wait
    // for the end of that frame before the target changes.
    std::mutex drawing_;
    std::thread thread_;
};

} // namespace tavero
