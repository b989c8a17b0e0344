#pragma once
// Joining a drive root (or a folder) and a name. The scan may leave the CD
// drive's root without its trailing "/", and later probes of the track
// folders must still land inside the disc's top folder, so every place that
// appends a name to a root goes through here.

#include <QString>

namespace tavero {

inline QString joinPath(const QString &root, const QString &name)
{
    if (root.endsWith(QLatin1Char('/')))
        return root + name;
    return root + QLatin1Char('/') + name;
}

} // namespace tavero
