#pragma once
// The CD drive on Linux: optical drives from sysfs, mounted discs from the
// mount table, the disc check through the CD ioctl.

#include "platform/Platform.h"

namespace tavero {

class LinuxCdAudioDevice : public CdAudioDevice {
public:
    int sendCommand(const QString &command, QString *reply, int capacity) override;
};

class LinuxDriveQuery : public DriveQuery {
public:
    QStringList drives() override;
    QString driveRoot(const QString &entry) override;
    int driveType(const QString &root) override;
};

} // namespace tavero
