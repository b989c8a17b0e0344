#include "app/Form1.h"

#include <QThread>

namespace tavero {

namespace {

// The help viewer shipped beside the player.
const QString kHelpViewer = QStringLiteral("tavero-help");
constexpr float kHelpDelay = 0.4f;

} // namespace

void Form1::mnuTaveroHelp_Click()
{
    // A short pause that keeps the window alive, so the menu has closed
    // before the viewer's window comes up. The clock is monotonic: neither
    // midnight nor a change of the wall clock can stretch or cut the wait.
    const double start = seams_.clock->seconds();
    do {
        seams_.events->processEvents();
        if (float(seams_.clock->seconds() - start) >= kHelpDelay)
            break;
        QThread::msleep(5);
    } while (true);

    // No viewer or no help file: nothing to say about it. The viewer gets
    // the path as its one argument, never through a shell, so blanks,
    // quotes and ";" in it mean nothing special.
    const QString help = HelpFile();
    if (help.isEmpty() || seams_.files->findFile(help) != Lookup::Found)
        return;
    QString folder = seams_.program->programFolder();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    seams_.launcher->startDetached(folder + kHelpViewer, {help});
}

void Form1::mnuMPHelp_Click()
{
    WMP1->ShowDialog(MediaPlayer::HelpDialog);
}

void Form1::mnuAbout_Click()
{
    const QStringList lines{
        QStringLiteral("          ") + kAppTitle,
        QStringLiteral("Plays Video CDs and single media files."),
        QStringLiteral("Written for Linux with Qt and libmpv."),
        QStringLiteral("Made by the Tavero Player developers."),
    };
    showMessage(lines.join(QStringLiteral("\r\n")), MessageIcon::Information);
}

} // namespace tavero
