#pragma once
#include "platform/Platform.h"

namespace tavero {

// The file system seam on POSIX calls. Names are matched without regard to
// letter case (discs mount with upper- or lower-case names); hidden means a
// name that starts with ".".
class LinuxFileSystem : public FileSystem {
public:
    Lookup findFile(const QString &path) override;
    ProbeResult probe(const QString &path) override;
    FileListing listFiles(const QString &folder, const QString &masks) override;
    std::optional<qint64> fileSize(const QString &path) override;

    // Case-insensitive wildcard match ("*" and "?"); "*.*" matches every name.
    static bool matchesMask(const QString &name, const QString &mask);
    // The folder with each component in its real letter case, or "" when
    // some component does not exist.
    static QString resolveFolder(const QString &folder, QString *error = nullptr);
};

} // namespace tavero
