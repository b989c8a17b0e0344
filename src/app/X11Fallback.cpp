#include "app/X11Fallback.h"

#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace tavero {

void restartOnX11(char **argv)
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fputs("tavero-player: the picture cannot be drawn under Wayland, and there is no X server "
                   "(XWayland) to show it on\n",
                   stderr);
        return;
    }
    std::fputs("tavero-player: the picture cannot be drawn under Wayland; starting again on X11 (XWayland)\n",
               stderr);
    qputenv("QT_QPA_PLATFORM", "xcb");
    // The session bus and mpv's files close on exec: the new program finds
    // the bus name and the screensaver free.
    ::execv("/proc/self/exe", argv);
    std::fprintf(stderr, "tavero-player: cannot start again on X11: %s\n", std::strerror(errno));
}

} // namespace tavero
