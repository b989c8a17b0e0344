#include "playback/VideoPath.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace tavero {

namespace {

bool openable(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

bool gpuDeviceOpenable(const QString &devices)
{
    const QDir dri(devices + QStringLiteral("/dri"));
    for (const QString &node : dri.entryList({QStringLiteral("renderD*")}, QDir::System | QDir::Files)) {
        if (openable(dri.filePath(node)))
            return true;
    }
    return openable(devices + QStringLiteral("/nvidiactl"));
}

bool xServerRendersDirectly()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return true;
    // Both asked at once: one round trip.
    const xcb_query_extension_cookie_t asked[] = {xcb_query_extension(connection, 4, "DRI3"),
                                                 xcb_query_extension(connection, 4, "DRI2")};
    bool direct = false;
    for (const xcb_query_extension_cookie_t &cookie : asked) {
        xcb_query_extension_reply_t *reply = xcb_query_extension_reply(connection, cookie, nullptr);
        direct = direct || (reply && reply->present);
        std::free(reply);
    }
    return direct;
}

VideoPathChoice chooseVideoPath(const QString &setting, const QString &platform)
{
    if (setting == QLatin1String("gl"))
        return {VideoPath::OpenGL, QStringLiteral("TAVERO_VIDEO=gl")};
    if (setting == QLatin1String("software"))
        return {VideoPath::Software, QStringLiteral("TAVERO_VIDEO=software")};
    if (!gpuDeviceOpenable())
        return {VideoPath::Software, QStringLiteral("no GPU device this user may open")};
    if (platform == QLatin1String("xcb") && !xServerRendersDirectly())
        return {VideoPath::Software, QStringLiteral("the X server offers no direct rendering")};
    return {VideoPath::OpenGL, QStringLiteral("a GPU renders OpenGL here")};
}

} // namespace tavero
