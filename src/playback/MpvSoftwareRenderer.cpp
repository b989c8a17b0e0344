#include "playback/MpvSoftwareRenderer.h"

#include <cstdlib>
#include <mpv/client.h>
#include <mpv/render.h>

namespace tavero {

namespace {

constexpr qsizetype kAlign = 64;
// Frames taken while nothing is seen are not drawn, but mpv still wants a
// target to not draw into.
constexpr QSize kScratch(16, 16);

} // namespace

void MpvSoftwareRenderer::Buffer::fit(QSize pixels)
{
    if (pixels == size && data)
        return;
    stride = (qsizetype(pixels.width()) * 4 + kAlign - 1) / kAlign * kAlign;
    data = {static_cast<unsigned char *>(std::aligned_alloc(kAlign, std::size_t(stride * pixels.height()))), &std::free};
    size = data ? pixels : QSize();
}

MpvSoftwareRenderer::MpvSoftwareRenderer(mpv_handle *mpv, std::function<void(Note)> notify)
    : MpvRenderer(mpv, std::move(notify))
{
    start();
}

MpvSoftwareRenderer::~MpvSoftwareRenderer()
{
    stop();
}

bool MpvSoftwareRenderer::setUp()
{
    return createRenderContext(MPV_RENDER_API_TYPE_SW, nullptr);
}

void MpvSoftwareRenderer::tearDown()
{
    if (render_)
        mpv_render_context_free(render_);
    render_ = nullptr;
}

void MpvSoftwareRenderer::renderInto(Buffer &buffer, bool skip)
{
    if (!buffer.data)
        return;
    // Blue, green, red and alpha in memory: QImage::Format_RGB32 on this
    // little-endian machine, whose alpha must be opaque. mpv's "bgra"
    // makes it so; its documented "bgr0" leaves that byte undefined (a
    // Wayland compositor then blends the picture away), so it is only the
    // fallback, with the byte set here.
    int size[2] = {buffer.size.width(), buffer.size.height()};
    std::size_t stride = std::size_t(buffer.stride);
    int skipRendering = skip ? 1 : 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, size},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char *>(withAlpha_ ? "bgra" : "bgr0")},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, buffer.data.get()},
        {MPV_RENDER_PARAM_SKIP_RENDERING, &skipRendering},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (render(params) < 0 && withAlpha_) {
        withAlpha_ = false;
        params[1].data = const_cast<char *>("bgr0");
        render(params);
    }
    if (withAlpha_ || skip)
        return;
    for (int y = 0; y < buffer.size.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(buffer.data.get() + y * buffer.stride);
        for (int x = 0; x < buffer.size.width(); ++x)
            row[x] |= 0xff000000u;
    }
}

void MpvSoftwareRenderer::drawInto(QSize pixels, bool)
{
    filling_.fit(pixels);
    renderInto(filling_, false);
    if (!filling_.data)
        return;
    {
        std::lock_guard lock(buffers_);
        std::swap(filling_, ready_);
        readyIsNew_ = true;
    }
    notify_(Note::FrameReady);
}

void MpvSoftwareRenderer::takeHidden(QSize)
{
    scratch_.fit(kScratch);
    renderInto(scratch_, true);
    noteHidden();
}

QImage MpvSoftwareRenderer::frame()
{
    {
        std::lock_guard lock(buffers_);
        if (std::exchange(readyIsNew_, false))
            std::swap(ready_, shown_);
    }
    if (!shown_.data)
        return QImage();
    return QImage(shown_.data.get(), shown_.size.width(), shown_.size.height(), shown_.stride, QImage::Format_RGB32);
}

} // namespace tavero
