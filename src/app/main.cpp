#include "desktop/DesktopIntegration.h"
#include "app/Form1.h"
#include "app/QuitOnSignal.h"
#include "app/X11Fallback.h"
#include "platform/LinuxPlatform.h"
#include "playback/MpvPlayer.h"

#include <QApplication>
#include <memory>

int main(int argc, char **argv)
{
    // The whole command line is one path for the player, so Qt gets none
    // of it: a file named "-style" or "-platform" is a file to play.
    const tavero::LinuxProgramInfo arguments(argc, argv);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("tavero-player"));
    // No display name: on X11 Qt would append it to every window title,
    // and the caption is the program's own ("Tavero : " and the file).
    QApplication::setDesktopFileName(QStringLiteral("org.tavero.Player"));
    // The player sets numbers to be formatted the C way, which libmpv
    // needs, when it is made: after QApplication has set the locale from
    // the environment.

    tavero::LinuxPlatform platform(arguments);
    auto *player = new tavero::MpvPlayer;
    player->setDiscTracks(platform.discTracks());
    QObject::connect(player, &tavero::MpvPlayer::pictureUnavailable, player,
                     [argv] { tavero::restartOnX11(argv); }, Qt::QueuedConnection);
    // The window may close while one of its handlers waits with events
    // running (a file loading): it goes when the event loop has returned,
    // not under that handler.
    auto form = std::make_unique<tavero::Form1>(platform.seams(), player);
    new tavero::DesktopIntegration(form->remoteControls(), tavero::DesktopIntegration::sessionBus());
    const tavero::QuitOnSignal quitOnSignal(form.get(), form->mnuExit);
    form->Form_Load();
    form->show();
    const int status = app.exec();
    form.reset();
    return status;
}
