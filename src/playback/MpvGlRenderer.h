#pragma once
// The OpenGL way of drawing, where a GPU runs OpenGL: the drawing thread
// owns an OpenGL context and renders each frame straight into the
// picture's native window.
//
// Making the GL context loads the OpenGL driver; the thread does that while
// the program builds its window. Its offscreen surface (for frames nobody
// sees, and to make mpv's render context on) must be made on the GUI
// thread: the thread asks for it with SurfaceWanted, and the GUI hands it
// over with provideSurface().

#include "playback/MpvRenderer.h"

class QOffscreenSurface;
class QOpenGLContext;
class QWindow;

namespace tavero {

class MpvGlRenderer : public MpvRenderer {
public:
    // window outlives the renderer.
    MpvGlRenderer(mpv_handle *mpv, QWindow *window, std::function<void(Note)> notify);
    ~MpvGlRenderer() override;

    void provideSurface() override;

private:
    bool setUp() override;
    void drawInto(QSize pixels, bool newFrame) override;
    void takeHidden(QSize pixels) override;
    void tearDown() override;

    QWindow *window_;
    QOpenGLContext *gl_ = nullptr;
    QOffscreenSurface *offscreen_ = nullptr;
    bool warmedUp_ = false;
};

} // namespace tavero
