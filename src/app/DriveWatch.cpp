// Watching the CD drive: finding it, asking for a disc, and showing the
// disc's tracks on the panel.

#include "app/Form1.h"

#include "disc/TrackFolders.h"
#include "videocd/CdDrive.h"
#include "videocd/DrivePath.h"

#include <QAction>

namespace tavero {

void Form1::FindCDDrive(bool reportMissing)
{
    state.CDFolder.clear();
    const QString root = findCdDriveRoot(Drive1, *seams_.drives);
    if (!root.isEmpty()) {
        state.CDFolder = joinPath(root, kVideoCdFolder);
        mnuPlayVCD->setEnabled(true);
        // Drives come and go while the program runs (disc images, external
        // drives): an item that once read "No CD-Drive found..." gets its
        // own caption back when a drive turns up.
        if (mnuPlayVCD->text() == QLatin1String("No CD-Drive found..."))
            mnuPlayVCD->setText(QStringLiteral("&Play Video CD"));
        setCDDriveRoot(root);
    } else if (reportMissing) {
        mnuPlayVCD->setText(QStringLiteral("No CD-Drive found..."));
    }
}

bool Form1::CheckCDMedia(bool showMessages)
{
    const DiscAnswer answer = askForDisc(*seams_.cdAudio);
    if (answer.kind == DiscAnswer::Present)
        return true;
    if (!showMessages)
        return false;
    switch (answer.kind) {
    case DiscAnswer::Absent:
        showMessage(QStringLiteral("No CD is present in CD-Drive."));
        break;
    case DiscAnswer::InUse:
        showMessage(QStringLiteral("CD is already in use by some other application."));
        break;
    default:
        showMessage(QStringLiteral("Error accessing CD. ") + answer.reply);
        break;
    }
    return false;
}

void Form1::LoadTrackList()
{
    const bool wasPresent = state.DiscPresent;
    state.DiscPresent = CheckCDMedia(false);
    // Found by the look at the drive, not asked for by a command: the
    // drive says it once.
    const QString notice = seams_.drives->takeNotice();
    if (!notice.isEmpty())
        showMessage(notice);
    if (wasPresent && !state.DiscPresent)
        mnuClose_Click();

    if (!state.DiscPresent) {
        state.TrackCount = 0;
        Frame1->reset(true, true);
        return;
    }

    QString root = CDDriveRoot();
    if (root.isEmpty())
        return;

    QString subfolder;
    ProbeResult probe = probeTrackFolder(*seams_.files, root, &subfolder);
    if (probe.status == Lookup::Error) {
        // The drive could not be read: nothing on the panel can be trusted.
        state.TrackCount = 0;
        Frame1->reset(false, false);
        if (WMP1->ReadyState() != MediaPlayer::NothingLoaded)
            mnuClose_Click();
        return;
    }
    if (probe.status != Lookup::Found) {
        // No track folder: list the files at the top of the disc.
        probe = seams_.files->probe(joinPath(root, QString()));
        if (root.endsWith(QLatin1Char('/'))) {
            root.chop(1);
            setCDDriveRoot(root);
        }
        subfolder.clear();
    }
    if (probe.status != Lookup::Found)
        return;

    listTrackFolder(QStringLiteral("*.dat;*.mpg;*.mpeg"), joinPath(root, subfolder));

    const int count = File1.ListCount();
    if (state.TrackCount == count)
        return;

    state.TrackCount = std::int16_t(qMin(count, 32767));
    Frame1->reset(true, false);
    if (count > 0)
        Frame1->showTracks(File1, *seams_.files, state.TrackFolder);
}

// Points the track list at a folder: TrackFolder takes the folder's name as
// the disc spells it, without a trailing "/".
void Form1::listTrackFolder(const QString &pattern, const QString &folder)
{
    File1.setPattern(pattern);
    File1.setPath(folder);
    File1.Refresh();
    state.TrackFolder = File1.Path();
    if (state.TrackFolder.endsWith(QLatin1Char('/')))
        state.TrackFolder.chop(1);
}

} // namespace tavero
