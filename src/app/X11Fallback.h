#pragma once
// Under Wayland the picture may not be drawable: no OpenGL for Wayland
// surfaces, or a compositor that never shows the video's window. Rather
// than play on with a black picture, the program starts itself again on
// the session's X server (XWayland).

namespace tavero {

// Replaces the running program with itself on X11, with the command line
// `argv` it was started with. Returns, having said why on standard error,
// only when that cannot be done: not under Wayland, or no X server.
void restartOnX11(char **argv);

} // namespace tavero
