#include "app/Form1.h"

namespace tavero {

// The transport items are set at once; the play-state handler sets them
// again from the state the component really reaches.

void Form1::mnuRun_Click()
{
    const bool started = WMP1->Play();
    mnuRun->setEnabled(!started);
    mnuPause->setEnabled(started);
    mnuStop->setEnabled(started);
}

void Form1::mnuPause_Click()
{
    mnuRun->setEnabled(true);
    mnuPause->setEnabled(false);
    WMP1->Pause();
}

void Form1::mnuStop_Click()
{
    leaveDiscMenus();
    mnuRun->setEnabled(false);
    mnuPause->setEnabled(false);
    mnuStop->setEnabled(false);
    WMP1->Stop();
}

void Form1::mnuClose_Click()
{
    leaveDiscMenus();
    state.SingleFileMode = false;
    // A file still loading (a drive spinning up) is given up at once.
    if (WMP1->ReadyState() == MediaPlayer::Loading)
        WMP1->Stop();
    if (WMP1->PlayState() != MediaPlayer::Closed) {
        // Stopping and unloading may make the component complain; that is
        // our own doing and not worth a message.
        state.IgnoreError = true;
        WMP1->Stop();
        WMP1->setFileName(QString());
        seams_.events->processEvents();
    }
    mnuClose->setEnabled(false);
    mnuRun->setEnabled(false);
    mnuOpen->setEnabled(true);
    mnuPlayVCD->setEnabled(true);
    // An image comes out with its medium: the optical drives are the CD
    // drives again, and the panel shows what is in them.
    if (seams_.images && seams_.images->eject()) {
        FindCDDrive(false);
        state.TrackCount = 0;
        LoadTrackList();
    }
}

void Form1::mnuLoop_Click()
{
    mnuLoop->setChecked(!mnuLoop->isChecked());
}

void Form1::mnuContinuousPlay_Click()
{
    mnuContinuousPlay->setChecked(!mnuContinuousPlay->isChecked());
}

} // namespace tavero
