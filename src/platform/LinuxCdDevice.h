#pragma once
// The CD drive on Linux: optical drives from sysfs, mounted discs from the
// mount table, the disc check through the CD ioctl. The drive list and the
// audio device share one LinuxCdDrives, so both see the same roots.

#include "platform/LinuxCdDrives.h"
#include "platform/Platform.h"

#include <functional>
#include <memory>

namespace tavero {

// What one look at a drive found. openError set: the device node could
// not be opened; else queryError set: the status ioctl failed; else
// `status` holds its answer (CDS_DISC_OK, CDS_NO_DISC, ...).
struct CdDriveStatus {
    int openError = 0;
    int queryError = 0;
    int status = 0;
    bool mediaChanged = false;   // another disc since the last look
};

class LinuxCdAudioDevice : public CdAudioDevice {
public:
    using StatusQuery = std::function<CdDriveStatus(const QString &device)>;

    // Result codes, the values that Windows' MCI gives the same failures.
    static constexpr int kUnrecognizedCommand = 261;   // MCIERR_UNRECOGNIZED_COMMAND
    static constexpr int kHardware = 262;              // MCIERR_HARDWARE
    static constexpr int kDeviceOpen = 265;            // MCIERR_DEVICE_OPEN
    static constexpr int kParamOverflow = 268;         // MCIERR_PARAM_OVERFLOW
    static constexpr int kDeviceNotReady = 276;        // MCIERR_DEVICE_NOT_READY
    static constexpr int kDuplicateAlias = 289;        // MCIERR_DUPLICATE_ALIAS

    explicit LinuxCdAudioDevice(std::shared_ptr<LinuxCdDrives> drives = std::make_shared<LinuxCdDrives>(),
                                StatusQuery query = &LinuxCdAudioDevice::queryDriveStatus);
    int sendCommand(const QString &command, QString *reply, int capacity) override;

    // Opens the device node without waiting for a disc and without locking
    // the tray, asks CDROM_DRIVE_STATUS, closes it again.
    static CdDriveStatus queryDriveStatus(const QString &device);

private:
    int open(QString *reply, int capacity);
    int mediaPresent(QString *reply, int capacity);

    std::shared_ptr<LinuxCdDrives> drives_;
    StatusQuery query_;
    QString drive_;
    bool open_ = false;
};

class LinuxDriveQuery : public DriveQuery {
public:
    explicit LinuxDriveQuery(std::shared_ptr<LinuxCdDrives> drives = std::make_shared<LinuxCdDrives>());
    // One entry per drive: its name, then the last part of the disc's
    // mount point as a label when a disc is mounted ("sr0 MYDISC").
    QStringList drives() override;
    QString driveRoot(const QString &entry) override;
    // 5 for the root of a drive of the last refresh; 1 (no such root) else.
    int driveType(const QString &root) override;
    QString rootOfTopFolder(const QString &folder) override;
    QString takeNotice() override;

    static constexpr int kNoRootFolder = 1;

private:
    std::shared_ptr<LinuxCdDrives> drives_;
};

class LinuxDiscImages : public DiscImages {
public:
    explicit LinuxDiscImages(std::shared_ptr<LinuxCdDrives> drives) : drives_(std::move(drives)) {}
    Result insert(const QString &path) override;
    bool eject() override { return drives_->ejectImage(); }

private:
    std::shared_ptr<LinuxCdDrives> drives_;
};

} // namespace tavero
