#include "desktop/ScreenSaverInhibitor.h"

#include "platform/Program.h"
#include "screensaver_interface.h"

#include <QDBusPendingCallWatcher>

namespace tavero {

ScreenSaverInhibitor::ScreenSaverInhibitor(const QDBusConnection &bus, QObject *parent)
    : QObject(parent),
      service_(std::make_unique<OrgFreedesktopScreenSaverInterface>(
          QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"), bus))
{
}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    if (cookie_ != 0)
        service_->UnInhibit(cookie_);
}

void ScreenSaverInhibitor::setInhibited(bool on)
{
    wanted_ = on;
    update();
}

void ScreenSaverInhibitor::update()
{
    if (!service_->connection().isConnected())
        return;
    if (wanted_ && cookie_ == 0 && !pending_) {
        pending_ = true;
        auto *watcher = new QDBusPendingCallWatcher(
            service_->Inhibit(kProgramName, QStringLiteral("Playing video")), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            pending_ = false;
            const QDBusPendingReply<uint> reply = *w;
            if (reply.isError())
                return;   // no screensaver service: nothing to keep away
            cookie_ = reply.value();
            // Playback may have stopped while the answer was on its way.
            if (!wanted_)
                update();
        });
    } else if (!wanted_ && cookie_ != 0) {
        service_->UnInhibit(cookie_);
        cookie_ = 0;
    }
}

} // namespace tavero
