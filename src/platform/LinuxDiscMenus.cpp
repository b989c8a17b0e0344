#include "platform/LinuxDiscMenus.h"

#include "disc/DiscEntries.h"
#include "disc/DiscMenus.h"
#include "platform/LinuxCdDrives.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>
#include <thread>

namespace tavero {

namespace {

// Where each entry point lies in its track, in the player's seconds; an
// entry whose time cannot be found starts at its track's start.
std::vector<DiscMenuData::Entry> entryPlaces(Disc &disc)
{
    const std::vector<EntryPoint> points = readEntryPoints(disc);
    std::vector<DiscEntry> files = disc.trackFiles();
    std::stable_sort(files.begin(), files.end(), [](const DiscEntry &a, const DiscEntry &b) { return a.lsn < b.lsn; });
    std::vector<DiscMenuData::Entry> places;
    std::vector<double> times;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const int track = points[i].track;
        if (i == 0 || points[i - 1].track != track) {
            const std::size_t file = std::size_t(track - 2);
            times = file < files.size() ? entryTimes(disc.track(files[file])) : std::vector<double>();
        }
        const auto within = std::count_if(points.begin(), points.begin() + std::ptrdiff_t(i),
                                          [track](const EntryPoint &p) { return p.track == track; });
        places.push_back({track, std::size_t(within) < times.size() ? times[std::size_t(within)] : 0.0});
    }
    return places;
}

} // namespace

LinuxDiscMenus::LinuxDiscMenus(std::shared_ptr<LinuxCdDrives> drives) : drives_(std::move(drives)) {}

LinuxDiscMenus::~LinuxDiscMenus()
{
    const std::lock_guard<std::mutex> lock(alive_->mutex);
    alive_->alive = false;
}

void LinuxDiscMenus::read(const QString &root, QObject *context, Done done)
{
    const DiscFolders::Site site = drives_->folders() ? drives_->folders()->siteOf(root) : DiscFolders::Site{};
    std::thread([site, alive = alive_, context = QPointer<QObject>(context), done = std::move(done)] {
        auto data = std::make_shared<DiscMenuData>();
        std::shared_ptr<Disc> disc = site.disc;
        QString error;
        if (!disc && !site.source.isEmpty())
            disc = openDisc(site.source, &error);
        if (disc) {
            data->menus = readDiscMenus(*disc);
            if (data->menus.usable())
                data->entries = entryPlaces(*disc);
        }
        // The answer goes to the GUI thread, which alone looks at `context`.
        const std::lock_guard<std::mutex> lock(alive->mutex);
        if (alive->alive)
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [context, done, data] {
                    if (context)
                        done(data);
                },
                Qt::QueuedConnection);
    }).detach();
}

} // namespace tavero
