#pragma once
// The real seams on Linux, owned in one place by main().

#include "platform/Platform.h"

#include <QElapsedTimer>
#include <memory>

namespace tavero {

class DiscTrackFinder;
class LinuxCdDrives;

class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget *parentProvider = nullptr);
    void show(const QString &text, MessageIcon icon, const QString &title) override;
};

class QtEventPump : public EventPump {
public:
    void processEvents() override;
};

class QtProcessLauncher : public ProcessLauncher {
public:
    bool startDetached(const QString &program, const QStringList &arguments) override;
};

class LinuxProgramInfo : public ProgramInfo {
public:
    LinuxProgramInfo(int argc, char **argv);
    QString argumentText() override { return argumentText_; }
    QString programFolder() override;

private:
    QString argumentText_;
};

class MonotonicClock : public Clock {
public:
    MonotonicClock() { timer_.start(); }
    double seconds() override { return double(timer_.nsecsElapsed()) / 1e9; }

private:
    QElapsedTimer timer_;
};

class LinuxPlatform {
public:
    explicit LinuxPlatform(const LinuxProgramInfo &arguments);
    ~LinuxPlatform();
    Seams seams() const;
    // For the player: discs whose tracks it must read from their sectors.
    DiscTrackFinder *discTracks() const;

private:
    std::shared_ptr<LinuxCdDrives> cdDrives_;
    std::unique_ptr<MessageBoxes> messages_;
    std::unique_ptr<EventPump> events_;
    std::unique_ptr<CdAudioDevice> cdAudio_;
    std::unique_ptr<DriveQuery> drives_;
    std::unique_ptr<FileSystem> files_;
    std::unique_ptr<OpenFileDialog> openDialog_;
    std::unique_ptr<ProcessLauncher> launcher_;
    std::unique_ptr<ProgramInfo> program_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<DiscImages> images_;
    std::unique_ptr<DiscMenuReader> menus_;
};

} // namespace tavero
