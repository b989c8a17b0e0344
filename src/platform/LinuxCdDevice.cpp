#include "platform/LinuxCdDevice.h"

namespace tavero {

// Not built yet: no drives, every command fails.
int LinuxCdAudioDevice::sendCommand(const QString &, QString *, int) { return 263; }
QStringList LinuxDriveQuery::drives() { return {}; }
QString LinuxDriveQuery::driveRoot(const QString &entry) { return entry + QLatin1Char('/'); }
int LinuxDriveQuery::driveType(const QString &) { return 0; }

} // namespace tavero
