// A disc's own menus (playback control), as its maker authored them. The
// window plays its tracks in order as always; the menus are entered by the
// user (the component's Menu button, its Disc Menu item, M) and left by
// anything else the user plays or stops. DiscMenu decides what comes next;
// this file plays it, holds the pictures, and takes the keys.

#include "app/Form1.h"

#include "disc/DiscMenus.h"
#include "videocd/DrivePath.h"

#include <QRandomGenerator>
#include <QTimer>

namespace tavero {

namespace {

constexpr int kShortTextMs = 1500;
constexpr int kAnnounceMs = 6000;

} // namespace

// Asked each time the disc's tracks are listed anew: another image in the
// image drive has the same root as the one before.
void Form1::lookForDiscMenus(const QString &root)
{
    if (!seams_.menus)
        return;
    forgetDiscMenus();
    seams_.menus->read(root, this, [this, serial = ++menus_.reads](std::shared_ptr<const DiscMenuData> data) {
        if (serial != menus_.reads)
            return;   // another disc went in meanwhile
        menus_.data = std::move(data);
        const bool offered = menus_.data->menus.usable();
        WMP1->setDiscMenu(offered, false);
        if (offered && state.TrackOpened && WMP1->PlayState() == MediaPlayer::Playing)
            announceDiscMenus();
    });
}

void Form1::forgetDiscMenus()
{
    leaveDiscMenus();
    const bool offered = menus_.data && menus_.data->menus.usable();
    menus_.data.reset();
    ++menus_.reads;   // a read under way answers for a disc gone
    if (offered)
        WMP1->setDiscMenu(false, false);
}

void Form1::announceDiscMenus()
{
    if (menus_.data && menus_.data->menus.usable() && !menus_.menu)
        WMP1->showText(QStringLiteral("This disc has menus: press M or the Menu button to show them"), kAnnounceMs);
}

void Form1::leaveDiscMenus()
{
    if (!menus_.menu)
        return;
    menus_.menu.reset();
    menus_.hold->stop();
    menus_.digits->stop();
    menus_.typed.clear();
    menus_.track = 0;
    WMP1->setDiscMenu(true, false);
    updateTrackSteps();
}

void Form1::WMP1_DiscMenuRequested()
{
    if (!menus_.data || !menus_.data->menus.usable())
        return;
    // Menu while in the menus goes back to where they start, as a remote's does.
    leaveDiscMenus();
    state.SingleFileMode = false;
    menus_.menu = std::make_unique<DiscMenu>(menus_.data->menus,
                                             [](int n) { return int(QRandomGenerator::global()->bounded(n)); });
    WMP1->setDiscMenu(true, true);
    WMP1->showText(QString(), 0);   // what was said about the menus is done with
    takeMenuStep(menus_.menu->start());
}

void Form1::takeMenuStep(const MenuStep &step)
{
    if (!menus_.menu)
        return;
    // A key that leads nowhere leaves the wait under way as it is.
    if (step.kind != MenuStep::Kind::Refused && step.kind != MenuStep::Kind::Stay)
        menus_.hold->stop();
    switch (step.kind) {
    case MenuStep::Kind::Play:
        playMenuItem(step.item, step.playTime);
        break;
    case MenuStep::Kind::Hold:
        if (!step.wait.endless)
            menus_.hold->start(int(step.wait.seconds * 1000 / menus_.pace));
        break;
    case MenuStep::Kind::Refused:
        WMP1->showText(QStringLiteral("Not available"), kShortTextMs);
        break;
    case MenuStep::Kind::Stay:
        break;
    case MenuStep::Kind::End:
    case MenuStep::Kind::InsertDisc:
    case MenuStep::Kind::Broken:
        // As after a disc's last track: stopped, the menus left.
        leaveDiscMenus();
        if (WMP1->PlayState() != MediaPlayer::Closed)
            mnuStop_Click();
        if (step.kind == MenuStep::Kind::InsertDisc)
            showMessage(QStringLiteral("Please insert disc %1").arg(step.disc), MessageIcon::Information);
        else if (step.kind == MenuStep::Kind::Broken)
            showMessage(step.message);
        break;
    }
    updateTrackSteps();
}

void Form1::playMenuItem(const PlayItem &item, double playTime)
{
    const MenuWalk &walk = menus_;
    MediaPlayer::MenuCue cue;
    cue.length = playTime;
    QString path;
    int track = 0;
    if (item.kind == PlayItem::Kind::Track) {
        track = item.number;
    } else if (item.kind == PlayItem::Kind::Entry && std::size_t(item.number - 1) < walk.data->entries.size()) {
        track = walk.data->entries[std::size_t(item.number - 1)].track;
        cue.start = walk.data->entries[std::size_t(item.number - 1)].seconds;
    } else if (item.kind == PlayItem::Kind::Segment) {
        // Of a still with a high-resolution copy mpv shows the picture
        // stream the file lists first: the copy, on discs mplex made.
        path = joinPath(CDDriveRoot(), segmentPath(item.number, walk.data->menus.kind));
    }
    if (track >= 2 && track - 2 < File1.ListCount())
        path = joinPath(state.TrackFolder, File1.List(track - 2));
    if (path.isEmpty()) {
        takeMenuStep(menus_.menu->itemEnded(false));
        return;
    }
    menus_.track = track;
    WMP1->cueMenuItem(cue);
    menus_.stepping = true;
    PlayFile(path);
    menus_.stepping = false;
    // PlayFile has said why it could not open it; a disc that cannot play
    // its menu's items is left to play its tracks.
    if (menus_.menu && WMP1->ReadyState() != MediaPlayer::Loaded)
        leaveDiscMenus();
}

void Form1::WMP1_MenuItemEnded()
{
    if (menus_.menu)
        takeMenuStep(menus_.menu->itemEnded(true));
}

void Form1::WMP1_DiscMenuKey(int key)
{
    if (!menus_.menu)
        return;
    if (key >= 0 && key <= 9) {
        menus_.typed += QString::number(key);
        const int number = menus_.typed.toInt();
        WMP1->showText(menus_.typed, kShortTextMs);
        // A number no other digit can make into another is taken at once.
        if (menus_.typed.size() >= 3 || !menus_.menu->numberCanGrow(number))
            takeMenuNumber();
        else
            menus_.digits->start();
        return;
    }
    if (key == MediaPlayer::MenuEnter && !menus_.typed.isEmpty()) {
        takeMenuNumber();
        return;
    }
    const DiscMenu::Key which = key == MediaPlayer::MenuNext       ? DiscMenu::Key::Next
                                : key == MediaPlayer::MenuPrevious ? DiscMenu::Key::Previous
                                : key == MediaPlayer::MenuReturn   ? DiscMenu::Key::Return
                                                                   : DiscMenu::Key::Default;
    takeMenuStep(menus_.menu->press(which, menuEntryPlaying()));
}

void Form1::takeMenuNumber()
{
    menus_.digits->stop();
    const QString typed = std::exchange(menus_.typed, QString());
    if (menus_.menu && !typed.isEmpty())
        takeMenuStep(menus_.menu->number(typed.toInt()));
}

void Form1::WMP1_PictureClicked(double x, double y)
{
    if (menus_.menu)
        takeMenuStep(menus_.menu->click(qBound(0, int(x * 256), 255), qBound(0, int(y * 256), 255)));
}

// Which of its track's entry points the item playing has reached (0 =
// the first), for a Default that goes by it; -1 when none.
int Form1::menuEntryPlaying() const
{
    if (!menus_.data || menus_.track < 2)
        return -1;
    int within = -1, count = 0;
    for (const DiscMenuData::Entry &e : menus_.data->entries) {
        if (e.track != menus_.track)
            continue;
        if (e.seconds <= WMP1->CurrentPosition() + 0.1)
            within = count;
        ++count;
    }
    return within;
}

} // namespace tavero
