#pragma once
// Keeps the desktop's screensaver away while asked to, through the
// freedesktop screensaver service on the session bus. Without the service
// (or the bus) it does nothing. Calls never wait: a hold is taken or let go
// when the service answers, whatever was asked in the meantime.

#include <QDBusConnection>
#include <QObject>
#include <memory>

class OrgFreedesktopScreenSaverInterface;

namespace tavero {

class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    ScreenSaverInhibitor(const QDBusConnection &bus, QObject *parent = nullptr);
    ~ScreenSaverInhibitor() override;   // lets go of a hold still in place

    void setInhibited(bool on);
    bool isInhibited() const { return cookie_ != 0; }

private:
    void update();

    std::unique_ptr<OrgFreedesktopScreenSaverInterface> service_;
    uint cookie_ = 0;
    bool pending_ = false;
    bool wanted_ = false;
};

} // namespace tavero
