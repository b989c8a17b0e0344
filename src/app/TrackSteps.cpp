// Stepping through a disc's tracks from the keyboard and the desktop: the
// digits, Next and Previous.

#include "app/Form1.h"

#include "videocd/DrivePath.h"

#include <QAction>
#include <QKeyEvent>

namespace tavero {

void Form1::createTrackSteps()
{
    NextTrack = new QAction(QStringLiteral("Next Track"), this);
    NextTrack->setObjectName(QStringLiteral("NextTrack"));
    PreviousTrack = new QAction(QStringLiteral("Previous Track"), this);
    PreviousTrack->setObjectName(QStringLiteral("PreviousTrack"));
    for (QAction *a : {NextTrack, PreviousTrack})
        a->setEnabled(false);
    connect(NextTrack, &QAction::triggered, this, [this] { StepTrack(1); });
    connect(PreviousTrack, &QAction::triggered, this, [this] { StepTrack(-1); });
}

// A disc's track is loaded: the ones beside it can be gone to. In the
// disc's own menus, Next and Previous are the list's.
void Form1::updateTrackSteps()
{
    if (menus_.menu && menus_.menu->list() >= 0) {
        const PbcList &list = menus_.data->menus.lists[std::size_t(menus_.menu->list())];
        NextTrack->setEnabled(list.next.enabled());
        PreviousTrack->setEnabled(list.previous.enabled());
        return;
    }
    const bool onDisc = state.TrackOpened && !state.SingleFileMode && WMP1->ReadyState() == MediaPlayer::Loaded;
    const int current = state.CurrentTrack;
    NextTrack->setEnabled(onDisc && current + 1 < File1.ListCount());
    PreviousTrack->setEnabled(onDisc && current > 0 && current - 1 < File1.ListCount());
}

// Plays the track before or after the current one as its slot would, the
// tenth and later ones too; continuous play goes on from there.
void Form1::StepTrack(int step)
{
    if (menus_.menu) {
        takeMenuStep(menus_.menu->press(step > 0 ? DiscMenu::Key::Next : DiscMenu::Key::Previous));
        return;
    }
    updateTrackSteps();
    if (!(step > 0 ? NextTrack : PreviousTrack)->isEnabled())
        return;
    state.SingleFileMode = false;
    PlayFile(joinPath(state.TrackFolder, File1.List(state.CurrentTrack + (step > 0 ? 1 : -1))));
}

void Form1::Form_KeyDown(int keyCode, int shift)
{
    const int index = keyCode - Qt::Key_1;
    if (shift & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier) || index < 0 ||
        index >= TrackPanel::kMoreSlot || !Lbl1[index]->isEnabled())
        return;
    Cmd1_MouseDown(index, 0, 0, 0.0f, 0.0f);
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    Form_KeyDown(event->key(), int(event->modifiers()));
    QMainWindow::keyPressEvent(event);
}

} // namespace tavero
