#include "app/Form1.h"

#include "videocd/DrivePath.h"

namespace tavero {

namespace {

// Size in megabytes with one decimal, halves rounded up, computed in whole
// numbers so that neither binary fractions nor the user's locale change
// the text.
QString megabytes(qint64 bytes)
{
    constexpr qint64 kMiB = 1024 * 1024;
    const qint64 tenths = (qMax<qint64>(bytes, 0) * 10 + kMiB / 2) / kMiB;
    return QString::number(tenths / 10) + QLatin1Char('.') + QString::number(tenths % 10);
}

} // namespace

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
        resetSlots(true, true);
        return;
    }

    QString root = CDDriveRoot();
    if (root.isEmpty())
        return;

    QString subfolder;
    ProbeResult probe = probeTrackFolder(root, &subfolder);
    if (probe.status == Lookup::Error) {
        // The drive could not be read: nothing on the panel can be trusted.
        state.TrackCount = 0;
        resetSlots(false, false);
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
    resetSlots(true, false);
    if (count == 0)
        return;

    const int trackSlots = count <= kSlots ? count : kSlots - 1;
    for (int i = 0; i < trackSlots; ++i) {
        const QString name = File1.List(i);
        Lbl1[i]->setEnabled(true);
        Cmd1[i]->setBackColor(kColorYellow);
        Lbl1[i]->setBackColor(kColorYellow);
        QString tip = QLatin1Char(' ') + name + QLatin1Char(' ');
        if (const std::optional<qint64> size = seams_.files->fileSize(joinPath(state.TrackFolder, name)))
            tip += QStringLiteral(" : ") + megabytes(*size) + QStringLiteral(" MB ");
        Cmd1[i]->setToolTip(tip);
        Lbl1[i]->setToolTip(Cmd1[i]->toolTip());
    }
    if (count > kSlots) {
        Lbl1[9]->setEnabled(true);
        Cmd1[9]->setBackColor(kColorYellow);
        Lbl1[9]->setBackColor(kColorYellow);
        Cmd1[9]->setToolTip(QStringLiteral(" More tracks list ..."));
        Lbl1[9]->setToolTip(QStringLiteral(" More tracks list ..."));
    }
}

// A Video CD keeps its tracks in MPEGAV (or MPEGSAV), a Super Video CD in
// MPEG2. Only the first look can tell that the drive cannot be read; a
// later one that fails counts as finding nothing.
ProbeResult Form1::probeTrackFolder(const QString &root, QString *subfolder)
{
    *subfolder = QStringLiteral("Mpegav");
    const ProbeResult first = seams_.files->probe(joinPath(root, *subfolder));
    if (first.status != Lookup::NotFound)
        return first;
    ProbeResult later;
    for (const QString &name : {QStringLiteral("Mpegsav"), QStringLiteral("Mpeg2")}) {
        *subfolder = name;
        later = seams_.files->probe(joinPath(root, name));
        if (later.status == Lookup::Found)
            break;
    }
    if (later.status == Lookup::Error)
        later.status = Lookup::NotFound;
    return later;
}

// Every slot off and in the button face. A rescan clears the tips too; a
// drive that cannot be read leaves them as they were; a disc taken out also
// hides the buttons.
void Form1::resetSlots(bool clearTips, bool hideButtons)
{
    for (int i = 0; i < kSlots; ++i) {
        Lbl1[i]->setEnabled(false);
        Cmd1[i]->setBackColor(kColorButtonFace);
        Lbl1[i]->setBackColor(kColorButtonFace);
        if (clearTips) {
            Cmd1[i]->setToolTip(QString());
            Lbl1[i]->setToolTip(QString());
        }
        if (hideButtons)
            Cmd1[i]->hide();
    }
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
