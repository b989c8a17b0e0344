#include "videocd/TrackPanel.h"

#include "disc/TrackFolders.h"
#include "platform/Twips.h"
#include "videocd/DrivePath.h"
#include "videocd/FileListBox.h"

namespace tavero {

namespace {

const QString kMoreTracksTip = QStringLiteral(" More tracks list ...");

// Size in megabytes with one decimal, halves rounded up, computed in whole
// numbers so that neither binary fractions nor the user's locale change
// the text.
QString megabytes(qint64 bytes)
{
    constexpr qint64 kMiB = 1024 * 1024;
    const qint64 tenths = (qMax<qint64>(bytes, 0) * 10 + kMiB / 2) / kMiB;
    return QString::number(tenths / 10) + QLatin1Char('.') + QString::number(tenths % 10);
}

QString slotCaption(int index)
{
    return index < TrackPanel::kMoreSlot ? QString::number(index + 1) : QStringLiteral("---");
}

// What a screen reader says of a slot: the track and its file, or the list.
void describe(QWidget *label, QWidget *button, const QString &name, const QString &file)
{
    for (QWidget *w : {label, button}) {
        w->setAccessibleName(name);
        w->setAccessibleDescription(file);
    }
}

QString trackName(int index)
{
    return QStringLiteral("Track %1").arg(index + 1);
}

} // namespace

TrackPanel::TrackPanel(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Frame1"));
    setFrameStyle(QFrame::Box | QFrame::Sunken);
    setGeometry(twips::rect(15, -60, 4305, 430));
    setToolTip(QStringLiteral(" Play List "));
    setMouseTracking(true);

    for (int i = 0; i < kSlots; ++i) {
        auto *button = new TrackButton(this);
        button->setObjectName(QStringLiteral("Cmd1_%1").arg(i));
        button->setGeometry(twips::rect(180 + 390 * i, 150, 380, 220));
        button->setText(slotCaption(i));
        connect(button, &TrackButton::mouseDown, this,
                [this, i](int b, int s, float x, float y) { emit slotPressed(i, b, s, x, y); });
        buttons[i] = button;

        auto *label = new TrackLabel(this);
        label->setObjectName(QStringLiteral("Lbl1_%1").arg(i));
        label->setGeometry(twips::rect(180 + 390 * i, 150, 375, 225));
        connect(label, &TrackLabel::spacePressed, this, [this, i] { emit slotPressed(i, 0, 0, 0, 0); });
        labels[i] = label;
        describe(label, button, trackName(i), QString());
    }
    // Under the mouse the button covers its label.
    for (TrackButton *b : buttons)
        b->raise();
}

void TrackPanel::setUp()
{
    for (int i = 0; i < kSlots; ++i) {
        labels[i]->move(buttons[i]->pos());
        labels[i]->setText(slotCaption(i));
        labels[i]->setEnabled(false);
        buttons[i]->hide();
        buttons[i]->setEnabled(true);
    }
}

void TrackPanel::reset(bool clearTips, bool hideButtons)
{
    for (int i = 0; i < kSlots; ++i) {
        labels[i]->setEnabled(false);
        buttons[i]->setBackColor(kColorButtonFace);
        labels[i]->setBackColor(kColorButtonFace);
        if (clearTips) {
            buttons[i]->setToolTip(QString());
            labels[i]->setToolTip(QString());
            describe(labels[i], buttons[i], trackName(i), QString());
        }
        if (hideButtons)
            buttons[i]->hide();
    }
}

void TrackPanel::showTracks(const FileListBox &list, FileSystem &files, const QString &folder)
{
    const int count = list.ListCount();
    const int trackSlots = count <= kSlots ? count : kMoreSlot;
    for (int i = 0; i < trackSlots; ++i) {
        const QString name = list.List(i);
        labels[i]->setEnabled(true);
        buttons[i]->setBackColor(kColorYellow);
        labels[i]->setBackColor(kColorYellow);
        QString tip = QLatin1Char(' ') + name + QLatin1Char(' ');
        if (const std::optional<qint64> size = files.fileSize(joinPath(folder, name)))
            tip += QStringLiteral(" : ") + megabytes(*size) + QStringLiteral(" MB ");
        buttons[i]->setToolTip(tip);
        labels[i]->setToolTip(buttons[i]->toolTip());
        describe(labels[i], buttons[i], trackName(i), name);
    }
    if (count > kSlots) {
        labels[kMoreSlot]->setEnabled(true);
        buttons[kMoreSlot]->setBackColor(kColorYellow);
        labels[kMoreSlot]->setBackColor(kColorYellow);
        buttons[kMoreSlot]->setToolTip(kMoreTracksTip);
        labels[kMoreSlot]->setToolTip(kMoreTracksTip);
        describe(labels[kMoreSlot], buttons[kMoreSlot], QStringLiteral("More tracks"),
                 QStringLiteral("The list of tracks %1 to %2").arg(kSlots).arg(count));
    }
}

void TrackPanel::hover(int index)
{
    if (index < 0 || index >= kSlots)
        return;
    for (int i = 0; i < kSlots; ++i) {
        if (i != index && !buttons[i]->isHidden())
            buttons[i]->hide();
    }
    // The playing track's slot keeps its marked label on show.
    if (labels[index]->isEnabled() && labels[index]->BorderStyle() == 0)
        buttons[index]->show();
}

void TrackPanel::hideButtons()
{
    for (TrackButton *button : buttons) {
        if (!button->isHidden())
            button->hide();
    }
}

void TrackPanel::mark(int index)
{
    buttons[index]->hide();
    for (TrackLabel *label : labels)
        label->setBorderStyle(0);
    labels[index]->setBorderStyle(1);
}

// A Video CD keeps its tracks in MPEGAV (or MPEGSAV), a Super Video CD in
// MPEG2.
ProbeResult probeTrackFolder(FileSystem &files, const QString &root, QString *subfolder)
{
    *subfolder = kTrackFolders[0];
    const ProbeResult first = files.probe(joinPath(root, *subfolder));
    if (first.status != Lookup::NotFound)
        return first;
    ProbeResult later;
    for (std::size_t i = 1; i < kTrackFolders.size(); ++i) {
        *subfolder = kTrackFolders[i];
        later = files.probe(joinPath(root, *subfolder));
        if (later.status == Lookup::Found)
            break;
    }
    if (later.status == Lookup::Error)
        later.status = Lookup::NotFound;
    return later;
}

} // namespace tavero
