// Play Video CD, and the track slots: pressing one, hovering over them,
// the more-tracks list.

#include "app/Form1.h"

#include "disc/TrackFolders.h"
#include "videocd/DrivePath.h"
#include "videocd/Form2.h"

#include <QAction>
#include <QListWidget>

namespace tavero {

namespace {
const QString kNoVideoCd = QStringLiteral("No files found to play or CD is not a video CD ...");
}

void Form1::mnuPlayVCD_Click()
{
    for (int i = 0; i < kSlots; ++i)
        Lbl1[i]->setEnabled(false);

    if (!CheckCDMedia(true))
        return;
    const QString root = CDDriveRoot();
    if (root.isEmpty())
        return;

    QString subfolder;
    const ProbeResult probe = probeTrackFolder(*seams_.files, root, &subfolder);
    if (probe.status == Lookup::Error) {
        showMessage(QStringLiteral("Error : ") + probe.error);
        return;
    }
    if (probe.status != Lookup::Found) {
        for (int i = 0; i < kSlots; ++i)
            Lbl1[i]->setEnabled(true);
        showMessage(kNoVideoCd);
        return;
    }

    // Only real Video CD tracks here (a Super Video CD's are .mpg); the
    // panel's scan also lists MPEG files.
    const bool superVideoCd = subfolder == kSuperVideoCdFolder;
    listTrackFolder(superVideoCd ? QStringLiteral("*.mpg") : QStringLiteral("*.dat"), joinPath(root, subfolder));

    const int count = File1.ListCount();
    if (count == 0) {
        showMessage(kNoVideoCd);
        return;
    }
    for (int i = 0; i < qMin(count, int(kSlots)); ++i)
        Lbl1[i]->setEnabled(true);
    state.SingleFileMode = false;
    Cmd1_MouseDown(0, 0, 0, 0.0f, 0.0f);
}

void Form1::Cmd1_MouseDown(int index, int, int, float, float)
{
    if (index < 0 || index >= kSlots)
        return;
    Frame1->mark(index);
    state.SingleFileMode = false;
    seams_.events->processEvents();

    if (index < TrackPanel::kMoreSlot) {
        PlayFile(joinPath(state.TrackFolder, File1.List(index)));
        return;
    }

    // The more-tracks slot: whatever it shows, it opens the list window.
    state.IgnoreError = true;
    mnuStop_Click();

    // A window left over from an opening that did not end normally is not
    // reused: each opening starts from the window's first state.
    closeForm2();
    form2_ = new Form2(this);
    connect(form2_, &Form2::trackChosen, this, [this](const QString &name) { state.ChosenTrack = name; });
    form2_->List1->clear();
    for (int i = TrackPanel::kMoreSlot; i < File1.ListCount(); ++i)
        form2_->List1->addItem(File1.List(i));
    form2_->setWindowTitle(QStringLiteral("More Tracks Found : ") +
                           QString::number(form2_->List1->count()) + QLatin1Char(' '));
    state.ChosenTrack.clear();
    form2_->exec();   // the window deletes itself when it closes

    if (!state.ChosenTrack.isEmpty())
        PlayFile(joinPath(state.TrackFolder, state.ChosenTrack));
}

void Form1::Lbl1_MouseMove(int index)
{
    Frame1->hover(index);
}

void Form1::Frame1_MouseMove()
{
    Frame1->hideButtons();
}

void Form1::Form_MouseMove()
{
    Frame1_MouseMove();
}

} // namespace tavero
