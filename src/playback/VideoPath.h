#pragma once
// How the picture is drawn: through OpenGL where a GPU runs it, or by the
// CPU into memory where OpenGL would only be a software rasterizer (Mesa's
// llvmpipe). Drawing a Video CD's frame by CPU costs a fraction of what
// llvmpipe costs for mpv's shaders, and nothing of LLVM need be loaded.
//
// The choice is made without loading an OpenGL driver, from two signals:
// - a GPU device the user may open: a DRI render node (/dev/dri/renderD*)
//   or NVIDIA's control device. Without one, Mesa can only rasterize in
//   software, on X11 and Wayland alike (virtual machines, containers,
//   servers);
// - on X11, an X server that offers direct rendering (the DRI3 or DRI2
//   extension). Xvfb, Xvnc and xrdp's server offer neither; their clients'
//   OpenGL is rasterized in software even on a machine with a GPU.
// Under Wayland the compositor is not asked: a compositor that draws
// without the GPU is rare, and its clients' EGL still uses the GPU. (Qt
// 6.4's Wayland plugin itself initialises EGL, loading Mesa's driver, to
// learn whether it may draw window decorations; without that the windows
// would have no title bar. Nothing is drawn through it.)
//
// TAVERO_VIDEO=gl or TAVERO_VIDEO=software overrides the choice.

#include <QString>

namespace tavero {

enum class VideoPath { OpenGL, Software };

struct VideoPathChoice {
    VideoPath path = VideoPath::Software;
    QString reason;   // why, for the one line the program may print
};

// `setting` is TAVERO_VIDEO's value; `platform` Qt's platform name
// ("xcb", "wayland", ...). Reads /dev and, under X11, asks the X server.
VideoPathChoice chooseVideoPath(const QString &setting, const QString &platform);

// The signals themselves, for the choice and its tests.
bool gpuDeviceOpenable(const QString &devices = QStringLiteral("/dev"));
// False when the X server offers neither DRI3 nor DRI2; true when it does
// or cannot be asked.
bool xServerRendersDirectly();

} // namespace tavero
