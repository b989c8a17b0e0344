#include "app/Form1.h"

#include "videocd/DrivePath.h"
#include "videocd/TrackSlot.h"

namespace tavero {

namespace {

// The component's own controls that the handlers switch back on after
// every change of state, in the order they are checked.
constexpr int kViewOptionsRestored[] = {MediaPlayer::ViewContextMenu, MediaPlayer::ViewTransport,
                                         MediaPlayer::ViewSeekBar, MediaPlayer::ViewVolume,
                                         MediaPlayer::ViewTimeReadout};
constexpr int kViewOptionOutsideFullScreen = MediaPlayer::ViewStatusLine;

} // namespace

void Form1::WMP1_EndOfStream(int)
{
    state.StreamEnded = true;
}

void Form1::WMP1_MouseMove(int, int, float, float)
{
    Frame1->hideButtons();
    FitToPlayer();
}

void Form1::WMP1_PlayStateChange(int oldState, int newState)
{
    // Tracks from the tenth on share the last slot.
    TrackLabel *marked = state.CurrentTrack >= 0 ? Lbl1[TrackPanel::slotOf(state.CurrentTrack)] : nullptr;

    switch (newState) {
    case MediaPlayer::Playing:
        if (state.TrackOpened && marked)
            marked->setBorderStyle(1);
        setTimerEnabled(false);
        mnuRun->setEnabled(false);
        mnuPause->setEnabled(true);
        mnuStop->setEnabled(true);
        mnuOpen->setEnabled(false);
        mnuPlayVCD->setEnabled(false);
        state.StreamEnded = false;
        break;
    case MediaPlayer::Paused:
        setTimerEnabled(true);
        mnuRun->setEnabled(true);
        mnuPause->setEnabled(false);
        mnuStop->setEnabled(true);
        mnuOpen->setEnabled(false);
        mnuPlayVCD->setEnabled(false);
        state.StreamEnded = false;
        break;
    case MediaPlayer::Stopped: {
        if (oldState == MediaPlayer::Stopped)
            break;
        // The menus going on to their next item, which opens at once; any
        // other stop leaves them.
        if (menus_.stepping)
            break;
        leaveDiscMenus();
        // An end of stream still queued counts in the test below.
        seams_.events->processEvents();
        if (!state.StreamEnded || WMP1->ReadyState() != MediaPlayer::Loaded || !playNextTrack()) {
            state.StreamEnded = false;
            setTimerEnabled(true);
            mnuRun->setEnabled(true);
            mnuPause->setEnabled(false);
            mnuStop->setEnabled(false);
            mnuOpen->setEnabled(true);
            mnuPlayVCD->setEnabled(true);
            WMP1->setDisplaySize(MediaPlayer::DefaultSize);
        }
        break;
    }
    case MediaPlayer::Closed:
        state.StreamEnded = false;
        if (marked)
            marked->setBorderStyle(0);
        break;
    default:
        break;
    }

    if (WMP1->DisplaySize() != MediaPlayer::FullScreen &&
        !WMP1->ViewOption(kViewOptionOutsideFullScreen))
        WMP1->setViewOption(kViewOptionOutsideFullScreen, true);
    for (int id : kViewOptionsRestored) {
        if (!WMP1->ViewOption(id))
            WMP1->setViewOption(id, true);
    }
}

void Form1::WMP1_Error()
{
    if (WMP1->DisplaySize() == MediaPlayer::FullScreen)
        WMP1->setDisplaySize(MediaPlayer::DefaultSize);
    if (WMP1->PlayState() == MediaPlayer::Playing)
        WMP1->Pause();

    leaveDiscMenus();
    if (state.IgnoreError) {
        state.IgnoreError = false;
        return;
    }
    showMessage(QStringLiteral("Error : ") + WMP1->ErrorDescription());
    mnuOpen->setEnabled(true);
    mnuPlayVCD->setEnabled(true);
    LoadTrackList();
    state.TrackCount = 0;
    // Close stays offered while something is loaded or still loading.
    const int ready = WMP1->ReadyState();
    mnuClose->setEnabled(ready == MediaPlayer::Loaded || ready == MediaPlayer::Loading);
}

void Form1::WMP1_Warning(int, int, const QString &description)
{
    if (WMP1->DisplaySize() == MediaPlayer::FullScreen)
        WMP1->setDisplaySize(MediaPlayer::DefaultSize);
    if (WMP1->PlayState() == MediaPlayer::Playing)
        WMP1->Pause();
    showMessage(QStringLiteral("Warning : ") + description);
    LoadTrackList();
    state.TrackCount = 0;
    mnuOpen->setEnabled(true);
    mnuPlayVCD->setEnabled(true);
}

void Form1::WMP1_ReadyStateChange(int readyState)
{
    const QString fileName = WMP1->FileName();
    if (readyState == MediaPlayer::Loaded && !fileName.isEmpty()) {
        const QString caption = kFileCaptionPrefix + fileName.toLower();
        if (windowTitle() != caption) {
            setWindowTitle(caption);
            // In the disc's menus the disc itself is what was opened (an
            // image is listed as it goes in), not each of its pictures.
            if (!menus_.menu)
                UpdateRecentFiles(fileName);
        }
    } else {
        setWindowTitle(kIdleCaption);
        if (state.CurrentTrack >= 0)
            Lbl1[TrackPanel::slotOf(state.CurrentTrack)]->setBorderStyle(0);
    }
    FitToPlayer();
}

// Continuous play's step on to the track after the current one, the same
// from the play-state handler and from the timer that catches a late end.
bool Form1::playNextTrack()
{
    const int next = state.CurrentTrack + 1;
    if (!mnuContinuousPlay->isChecked() || state.SingleFileMode || next < 0 || next >= File1.ListCount())
        return false;
    state.StreamEnded = false;
    PlayFile(joinPath(state.TrackFolder, File1.List(next)));
    return true;
}

} // namespace tavero
