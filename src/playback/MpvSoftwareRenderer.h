#pragma once
// The software way of drawing, where OpenGL would only be a software
// rasterizer: mpv's software renderer converts (and scales) each frame into
// memory on the drawing thread, and the GUI thread puts that memory on the
// screen as it is. No OpenGL context is made, so no OpenGL driver (and no
// LLVM) is loaded.
//
// Where a frame's bytes go, and the copies they take:
// 1. mpv decodes into its own frame (YUV), then on the drawing thread
//    converts and scales it once into a frame buffer of ours, at the
//    picture's size in device pixels (mpv's work, the only conversion);
// 2. the GUI thread copies that buffer into the window's backing store,
//    pixel for pixel (MpvSoftwareView: QPainter::drawImage at the same size
//    and format, a plain memory copy);
// 3. Qt hands the backing store to the display server (X11: shared memory;
//    Wayland: a shared-memory buffer), which composes it.
// Three buffers take turns, so that neither thread waits for the other:
// the drawing thread fills one, the newest finished one waits, and the GUI
// thread paints from a third; a hand-over only swaps them under a lock.

#include "playback/MpvRenderer.h"

#include <QImage>
#include <memory>

namespace tavero {

class MpvSoftwareRenderer : public MpvRenderer {
public:
    MpvSoftwareRenderer(mpv_handle *mpv, std::function<void(Note)> notify);
    ~MpvSoftwareRenderer() override;

    // GUI thread: the newest frame (after FrameReady), or the one shown
    // last; null before the first. Valid until the next call.
    QImage frame();

private:
    // A frame buffer: rows on 64-byte boundaries, as mpv's converters want
    // them for their fast paths.
    struct Buffer {
        std::unique_ptr<unsigned char, void (*)(void *)> data{nullptr, nullptr};
        QSize size;
        qsizetype stride = 0;
        void fit(QSize pixels);
    };

    bool setUp() override;
    void drawInto(QSize pixels, bool newFrame) override;
    void takeHidden(QSize pixels) override;
    void tearDown() override;
    void renderInto(Buffer &buffer, bool skip);

    Buffer filling_;              // the drawing thread's
    Buffer ready_;                // the newest finished frame, under buffers_
    Buffer shown_;                // the GUI thread's
    bool readyIsNew_ = false;     // under buffers_
    std::mutex buffers_;
    Buffer scratch_;              // for frames taken but not drawn
    bool withAlpha_ = true;       // mpv takes "bgra" (see renderInto)
};

} // namespace tavero
