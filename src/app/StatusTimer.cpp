#include "app/Form1.h"

namespace tavero {

void Form1::Timer1_Timer()
{
    if (state.StreamEnded) {
        const bool loop = mnuLoop->isChecked();
        const bool continuous = mnuContinuousPlay->isChecked();
        int playState = WMP1->PlayState();
        // The flag stays set until playback starts again, so a failed
        // restart is tried again on the next tick.
        if ((!continuous || state.SingleFileMode) && loop && playState != MediaPlayer::Playing &&
            playState != MediaPlayer::Paused && playState != MediaPlayer::Closed) {
            WMP1->Play();
            return;
        }
        // The end was reported after the fall to stopped, too late for the
        // play-state handler to go on with the next track.
        playState = WMP1->PlayState();
        if (playState != MediaPlayer::Paused && playState != MediaPlayer::Closed && playNextTrack())
            return;
    }

    // Idle: watch the drive for a disc put in, swapped or taken out.
    const int playState = WMP1->PlayState();
    if (playState != MediaPlayer::Playing &&
        (WMP1->ReadyState() == MediaPlayer::NothingLoaded || playState == MediaPlayer::Stopped ||
         playState == MediaPlayer::Closed)) {
        for (TrackLabel *label : Lbl1) {
            if (label->BorderStyle() == 1)
                label->setBorderStyle(0);
        }
        LoadTrackList();
        updateTrackSteps();
        seams_.events->processEvents();
    }

    if (!isMinimized())
        FitToPlayer();
}

} // namespace tavero
