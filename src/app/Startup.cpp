#include "app/Form1.h"

#include "videocd/CdDrive.h"
#include "videocd/DrivePath.h"
#include "videocd/Form2.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>

namespace tavero {

namespace {

// The window opens in the middle of the screen, at the size start-up has
// fitted it to.
void centreOnScreen(QWidget &window)
{
    if (QLayout *l = window.layout())
        l->activate();
    QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window.move(area.center() - window.rect().center());
}

} // namespace

void Form1::Form_Load()
{
    const QString folder = seams_.program->programFolder();
    helpFile_ = folder.endsWith(QLatin1Char('/')) ? folder + QStringLiteral("THelp.hlp")
                                                  : folder + QStringLiteral("/THelp.hlp");

    mnuClose->setEnabled(false);
    mnuRun->setEnabled(false);
    mnuPause->setEnabled(false);
    mnuStop->setEnabled(false);

    // The component's first state; the order is the one it was tuned with.
    WMP1->setAutoSize(true);
    WMP1->setStartOption(1017, true);
    WMP1->setStartOption(1021, true);
    WMP1->setStartOption(29, true);
    WMP1->setViewOption(MediaPlayer::ViewTransport, true);
    WMP1->setViewOption(MediaPlayer::ViewSeekBar, true);
    WMP1->setStartOption(1056, true);
    WMP1->setViewOption(MediaPlayer::ViewVolume, true);
    WMP1->setStartOptionValue(32, 0);
    WMP1->setDisplaySize(MediaPlayer::DefaultSize);
    WMP1->setViewOption(MediaPlayer::ViewTimeReadout, true);
    for (int id : {27, 1062, 1069, 1015, 1064, 1063})
        WMP1->setStartOption(id, true);

    // The labels lie on their buttons; a button shows only under the mouse.
    Frame1->setUp();

    seams_.events->processEvents();
    FitToPlayer();
    seams_.events->processEvents();

    openCdAudio(*seams_.cdAudio);

    FindCDDrive(true);
    LoadTrackList();

    const QString text = seams_.program->argumentText();
    if (!text.isEmpty()) {
        if (seams_.files->findFile(text) == Lookup::Found) {
            state.SingleFileMode = true;
            PlayFile(text);
        } else if (const QString discRoot = seams_.drives->rootOfTopFolder(text);
                   !discRoot.isEmpty() && joinPath(discRoot, QString()) == joinPath(CDDriveRoot(), QString())) {
            // The desktop offers a Video CD put into the drive by naming
            // the disc's top folder.
            mnuPlayVCD_Click();
        } else {
            showMessage(QStringLiteral("Could not find the file '") + text +
                        QStringLiteral("' ...!"));
        }
    }

    if (!isVisible())
        centreOnScreen(*this);
}

void Form1::Form_QueryUnload()
{
    // A file still loading (a drive spinning up) is given up at once.
    if (WMP1->ReadyState() == MediaPlayer::Loading)
        WMP1->Stop();
    const int playState = WMP1->PlayState();
    if (playState == MediaPlayer::Playing || playState == MediaPlayer::Paused)
        WMP1->Stop();
    seams_.events->processEvents();
    closeCdAudio(*seams_.cdAudio);
}

void Form1::Form_Unload()
{
    closeForm2();
}

// The more-tracks window deletes itself when it closes; this ends one still
// open (its modal loop returns at once).
void Form1::closeForm2()
{
    delete form2_.data();
}

void Form1::mnuExit_Click()
{
    if (WMP1->PlayState() != MediaPlayer::Closed)
        WMP1->Stop();
    seams_.events->processEvents();
    close();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // A second request while the first one lets events run (a click on the
    // close box during Exit, say) is left to the first: the closing steps
    // run once.
    if (closing_) {
        event->ignore();
        return;
    }
    closing_ = true;
    Form_QueryUnload();
    Form_Unload();
    closing_ = false;
    event->accept();
}

void Form1::mnuFile_Click()
{
    WMP1_PlayStateChange(0, WMP1->PlayState());
    if (WMP1->PlayState() == MediaPlayer::Playing) {
        mnuClose->setEnabled(true);
        mnuOpen->setEnabled(false);
        mnuPlayVCD->setEnabled(false);
    } else {
        mnuPlayVCD->setEnabled(CheckCDMedia(false));
    }
}

void Form1::mnuAction_Click()
{
    WMP1_PlayStateChange(0, WMP1->PlayState());
}

} // namespace tavero
