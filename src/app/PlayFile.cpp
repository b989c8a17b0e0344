#include "app/Form1.h"

#include "videocd/DrivePath.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <memory>

namespace tavero {

namespace {

// The local files a drop carries, in the order of the drop.
QStringList localFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths << url.toLocalFile();
    }
    return paths;
}

} // namespace

void Form1::PlayFile(const QString &fileName)
{
    if (seams_.images && playDiscImage(fileName))
        return;

    FindCDDrive(false);

    // The tracks count as reachable when either the Video CD folder or the
    // track folder has something in it; a drive that cannot be read counts
    // as no disc.
    bool onCD = false;
    if (!state.CDFolder.isEmpty()) {
        const ProbeResult cd = seams_.files->probe(state.CDFolder);
        const ProbeResult tracks = seams_.files->probe(state.TrackFolder + QLatin1Char('/'));
        if (cd.status != Lookup::Error && tracks.status != Lookup::Error)
            onCD = cd.status == Lookup::Found || tracks.status == Lookup::Found;
    }

    setTimerEnabled(false);
    state.TrackOpened = false;

    if (onCD) {
        const QString wanted = fileName.toLower();
        const int count = File1.ListCount();
        for (int k = 0; k < count; ++k) {
            const QString track = joinPath(state.TrackFolder, File1.List(k));
            if (track.toLower() != wanted)
                continue;
            if (state.CurrentTrack != k && state.CurrentTrack >= 0)
                Lbl1[TrackPanel::slotOf(state.CurrentTrack)]->setBorderStyle(0);
            const int slot = TrackPanel::slotOf(k);
            Lbl1[slot]->setBorderStyle(1);
            Cmd1[slot]->hide();
            state.CurrentTrack = std::int16_t(qMin(k, 0x7fff));
            state.TrackOpened = true;
            state.SingleFileMode = false;
        }
    }

    mnuStop->setEnabled(false);
    mnuPause->setEnabled(false);
    mnuOpen->setEnabled(false);
    mnuPlayVCD->setEnabled(false);

    if (WMP1->PlayState() != MediaPlayer::Closed)
        WMP1->Stop();

    // The silence a stop or Close asked for is not owed to a new medium: if
    // the old one raised nothing, its errors are the user's to see.
    state.IgnoreError = false;
    // The load may take seconds (a drive spinning up): it can be given up.
    mnuClose->setEnabled(true);
    QString error;
    const bool opened = WMP1->Open(fileName, &error);
    seams_.events->processEvents();

    if (opened) {
        mnuClose->setEnabled(true);
        return;
    }
    showOpenFailure(error);
    const int current = state.CurrentTrack;
    if (current >= 0 && current < kSlots) {
        Cmd1[current]->hide();
        Lbl1[current]->setBorderStyle(0);
        Lbl1[current]->setBackColor(kColorButtonFace);
        Cmd1[current]->setBackColor(kColorButtonFace);
    }
    setTimerEnabled(true);
}

// Nothing loaded, and the user told why; a load the user cancelled (File >
// Close while it waited, the program closing) comes without a reason.
void Form1::showOpenFailure(const QString &error)
{
    mnuRun->setEnabled(false);
    mnuClose->setEnabled(false);
    mnuOpen->setEnabled(true);
    mnuPlayVCD->setEnabled(true);
    if (!error.isEmpty())
        showMessage(QStringLiteral("Error : ") + error);
}

// A Video CD image goes into the image drive and its disc plays from the
// first track, as Play Video CD plays a disc; the image itself goes into the
// recent list, so it can be put in again. Returns false for a file that is
// to be played as a media file.
bool Form1::playDiscImage(const QString &path)
{
    const DiscImages::Result result = seams_.images->insert(path);
    switch (result.outcome) {
    case DiscImages::Outcome::NotAnImage:
    case DiscImages::Outcome::NoVideoCd:
        return false;
    case DiscImages::Outcome::Failed:
        setTimerEnabled(false);
        if (WMP1->PlayState() != MediaPlayer::Closed)
            WMP1->Stop();
        showOpenFailure(result.error);
        setTimerEnabled(true);
        return true;
    case DiscImages::Outcome::Inserted:
        break;
    }
    UpdateRecentFiles(path);
    FindCDDrive(false);
    state.TrackCount = 0;
    LoadTrackList();
    mnuPlayVCD_Click();
    return true;
}

void Form1::Form_OLEDragDrop(const QMimeData *data)
{
    const QStringList files = localFiles(data);
    if (files.isEmpty())
        return;
    leaveDiscMenus();
    state.SingleFileMode = true;
    PlayFile(files.first());
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void Form1::dropEvent(QDropEvent *event)
{
    const QStringList files = localFiles(event->mimeData());
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The drop's data belongs to the drag and the dragging program waits
    // until the drop returns; the file is played once it has, so that an
    // error box does not hold the other program up.
    auto copy = std::make_shared<QMimeData>();
    QList<QUrl> urls;
    for (const QString &path : files)
        urls << QUrl::fromLocalFile(path);
    copy->setUrls(urls);
    QTimer::singleShot(0, this, [this, copy] { Form_OLEDragDrop(copy.get()); });
}

} // namespace tavero
