#pragma once
// The menus of the discs the program reads, read on a thread of their own.

#include "platform/Platform.h"

#include <memory>
#include <mutex>

namespace tavero {

class LinuxCdDrives;

class LinuxDiscMenus : public DiscMenuReader {
public:
    explicit LinuxDiscMenus(std::shared_ptr<LinuxCdDrives> drives);
    // Reads still under way finish, and their answers are let go.
    ~LinuxDiscMenus() override;
    void read(const QString &root, QObject *context, Done done) override;

private:
    struct Alive {
        std::mutex mutex;
        bool alive = true;
    };
    std::shared_ptr<LinuxCdDrives> drives_;
    std::shared_ptr<Alive> alive_ = std::make_shared<Alive>();
};

} // namespace tavero
