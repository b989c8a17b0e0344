#pragma once
// The picture of MpvPlayer: libmpv's OpenGL render API drawing into a
// QOpenGLWidget.
//
// The render context lives exactly as long as the widget's GL context. Qt
// drops that context when the widget moves to another top-level window (full
// screen), so the render context is freed then and made again by the next
// initializeGL; renderContextReady() tells the player to send the video to it.

#include <QOpenGLWidget>

struct mpv_handle;
struct mpv_render_context;

namespace tavero {

class MpvVideoWidget : public QOpenGLWidget {
    Q_OBJECT
public:
    MpvVideoWidget(mpv_handle *mpv, QWidget *parent = nullptr);
    ~MpvVideoWidget() override;

    bool hasRenderContext() const { return render_ != nullptr; }
    // Frees the render context with its GL context current. Must run
    // before the mpv handle is destroyed. keepPlaying: move the video to
    // mpv's null output first, so that playback goes on without a picture.
    void releaseRenderContext(bool keepPlaying);

signals:
    void renderContextReady();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    static void onRenderUpdate(void *self);

    mpv_handle *mpv_;
    mpv_render_context *render_ = nullptr;
};

} // namespace tavero
