#include "videocd/DiscMenu.h"

#include <algorithm>
#include <utility>
#include <variant>
#include <vector>

namespace tavero {

namespace {

// A still ends as soon as its picture is up: playing it again would only
// flicker, so it counts as played through whatever the loop count says.
bool isStill(const PlayItem &item)
{
    return item.kind == PlayItem::Kind::Segment
           && (item.content.video == SegmentContent::Video::Still
               || item.content.video == SegmentContent::Video::StillWithHighRes);
}

bool lasts(const PbcWait &wait) { return wait.endless || wait.seconds > 0; }

MenuStep make(MenuStep::Kind kind)
{
    MenuStep step;
    step.kind = kind;
    return step;
}

MenuStep play(const PlayItem &item, double playTime = 0)
{
    MenuStep step = make(MenuStep::Kind::Play);
    step.item = item;
    step.playTime = playTime;
    return step;
}

bool inside(const PbcArea &area, int x, int y)
{
    return area.given() && x >= area.x1 && x <= area.x2 && y >= area.y1 && y <= area.y2;
}

constexpr PbcWait kForEver{0, true};

} // namespace

DiscMenu::DiscMenu(const PlaybackControl &pbc, std::function<int(int)> pick) : pbc_(pbc), pick_(std::move(pick)) {}

const PbcList *DiscMenu::current() const
{
    return list_ >= 0 && list_ < int(pbc_.lists.size()) ? &pbc_.lists[std::size_t(list_)] : nullptr;
}

const PbcSelectionList *DiscMenu::selection() const
{
    const PbcList *list = current();
    return list ? std::get_if<PbcSelectionList>(&list->body) : nullptr;
}

int DiscMenu::listNumber() const
{
    const PbcList *list = current();
    return list ? list->number : 0;
}

bool DiscMenu::takesNumbers() const
{
    const PbcSelectionList *menu = selection();
    return menu && !menu->selections.empty();
}

bool DiscMenu::hasAreas() const
{
    const PbcSelectionList *menu = selection();
    return menu && menu->hasAreas;
}

MenuStep DiscMenu::start()
{
    if (asked_ == Asked::Over)
        return {};
    hops_ = 0;
    return walk(At::Jump, pbc_.start);
}

bool DiscMenu::hop() { return ++hops_ < kMaxHops; }

MenuStep DiscMenu::over(MenuStep step)
{
    asked_ = Asked::Over;
    return step;
}

MenuStep DiscMenu::broken()
{
    MenuStep step = make(MenuStep::Kind::Broken);
    step.message = QStringLiteral("The disc's menus lead nowhere: list %1 plays nothing and goes round in circles.")
                       .arg(listNumber());
    return over(step);
}

MenuStep DiscMenu::hold(const PbcWait &wait)
{
    hops_ = 0;
    asked_ = wait.endless ? Asked::HoldEndless : Asked::Hold;
    MenuStep step = make(MenuStep::Kind::Hold);
    step.wait = wait;
    return step;
}

// The menus move on from `at` until they reach something the window has
// to do. Every way round this loop counts a hop, so no table, however
// crafted, keeps it going for more than kMaxHops rounds.
MenuStep DiscMenu::walk(At at, int to)
{
    asked_ = Asked::Nothing;
    for (;;) {
        switch (at) {
        case At::Jump:
            if (to < 0 || to >= int(pbc_.lists.size())) {
                // The reader never gives such a target; a table built by hand might.
                MenuStep step = make(MenuStep::Kind::Broken);
                step.message = QStringLiteral("The disc's menus lead to a list the disc does not have.");
                return over(step);
            }
            list_ = to;
            if (!hop())
                return broken();
            at = At::Enter;
            break;
        case At::Enter: {
            itemIndex_ = 0;
            played_ = 0;
            pending_ = {};
            const PbcList &list = *current();
            if (const auto *songs = std::get_if<PbcPlayList>(&list.body)) {
                if (!songs->items.empty()) {
                    at = At::NextItem;
                    break;
                }
                if (!hop())
                    return broken();
                if (lasts(songs->wait))
                    return hold(songs->wait);
                at = At::ListDone;
                break;
            }
            if (const auto *menu = std::get_if<PbcSelectionList>(&list.body)) {
                if (menu->item.kind != PlayItem::Kind::Nothing) {
                    asked_ = Asked::Play;
                    return play(menu->item);
                }
                if (!hop())
                    return broken();
                at = At::Timeout;
                break;
            }
            const auto &end = std::get<PbcEndList>(list.body);
            if (end.nextDisc > 0) {
                MenuStep step = make(MenuStep::Kind::InsertDisc);
                step.disc = end.nextDisc;
                return over(step);
            }
            return over(make(MenuStep::Kind::End));
        }
        case At::NextItem: {
            const auto &songs = std::get<PbcPlayList>(current()->body);
            if (itemIndex_ >= int(songs.items.size())) {
                at = At::ListDone;
                break;
            }
            const PlayItem &item = songs.items[std::size_t(itemIndex_)];
            if (item.kind != PlayItem::Kind::Nothing) {
                asked_ = Asked::Play;
                return play(item, songs.playTime);
            }
            ++itemIndex_;
            if (!hop())
                return broken();
            break;
        }
        case At::ListDone: {
            // Without a next list the last picture stays and the keys still work.
            const PbcTarget &next = current()->next;
            if (!next.enabled())
                return hold(kForEver);
            at = At::Jump;
            to = next.list;
            break;
        }
        case At::Timeout: {
            const PbcSelectionList &menu = *selection();
            if (lasts(menu.timeout))
                return hold(menu.timeout);
            if (!hop())
                return broken();
            at = At::TimeoutDone;
            break;
        }
        case At::TimeoutDone: {
            const PbcSelectionList &menu = *selection();
            if (menu.timeoutTarget.enabled()) {
                at = At::Jump;
                to = menu.timeoutTarget.list;
                break;
            }
            std::vector<int> open;
            for (const PbcTarget &target : menu.selections)
                if (target.enabled())
                    open.push_back(target.list);
            if (open.empty())
                return hold(kForEver);
            const int n = int(open.size());
            const int k = pick_ ? pick_(n) % n : 0;
            at = At::Jump;
            to = open[std::size_t(k < 0 ? k + n : k)];
            break;
        }
        }
    }
}

MenuStep DiscMenu::itemEnded(bool played)
{
    if (asked_ != Asked::Play)
        return {};
    asked_ = Asked::Nothing;
    if (played)
        hops_ = 0;
    else if (!hop())
        return broken();
    if (pending_.enabled()) {
        const int to = pending_.list;
        pending_ = {};
        return walk(At::Jump, to);
    }
    if (const auto *songs = std::get_if<PbcPlayList>(&current()->body)) {
        ++itemIndex_;
        // The wait shows the item's last picture (a play list of stills is
        // a slide show); an item that showed nothing has none to hold.
        if (played) {
            if (lasts(songs->wait))
                return hold(songs->wait);
            if (!hop())
                return broken();
        }
        return walk(At::NextItem);
    }
    const PbcSelectionList &menu = *selection();
    if (isStill(menu.item)) {
        if (menu.loops == 0)
            return hold(kForEver);
        return walk(At::Timeout);
    }
    if (menu.loops > 0)
        ++played_;
    if (menu.loops == 0 || played_ < menu.loops) {
        asked_ = Asked::Play;
        return play(menu.item);
    }
    return walk(At::Timeout);
}

MenuStep DiscMenu::waitEnded()
{
    if (asked_ != Asked::Hold)
        return {};
    // A selection list holds only for its timeout; a play list after an
    // item (its index already moved on) or, when empty, before its next.
    return walk(selection() ? At::TimeoutDone : At::NextItem);
}

MenuStep DiscMenu::follow(const PbcTarget &target)
{
    if (!target.enabled() || target.list < 0 || target.list >= int(pbc_.lists.size()))
        return make(MenuStep::Kind::Refused);
    const PbcSelectionList *menu = selection();
    if (menu && menu->delayedJump && asked_ == Asked::Play) {
        pending_ = target;
        return {};
    }
    return walk(At::Jump, target.list);
}

MenuStep DiscMenu::press(Key key, int entry)
{
    const PbcList *list = current();
    if (asked_ == Asked::Over || !list)
        return {};
    hops_ = 0;
    switch (key) {
    case Key::Next:
        return follow(list->next);
    case Key::Previous:
        return follow(list->previous);
    case Key::Return:
        return follow(list->back);
    case Key::Default:
        break;
    }
    const PbcSelectionList *menu = selection();
    if (!menu || menu->defaultTarget.kind == PbcTarget::Kind::Disabled)
        return make(MenuStep::Kind::Refused);
    if (menu->defaultTarget.kind == PbcTarget::Kind::List)
        return follow(menu->defaultTarget);
    // Multi-default: the selection that belongs to the entry point playing.
    if (entry < 0 || entry >= int(menu->selections.size()))
        return make(MenuStep::Kind::Refused);
    return follow(menu->selections[std::size_t(entry)]);
}

MenuStep DiscMenu::number(int n)
{
    if (asked_ == Asked::Over || !current())
        return {};
    hops_ = 0;
    const PbcSelectionList *menu = selection();
    if (!menu)
        return make(MenuStep::Kind::Refused);
    const long long k = static_cast<long long>(n) - menu->base;
    if (k < 0 || k >= static_cast<long long>(menu->selections.size()))
        return make(MenuStep::Kind::Refused);
    return follow(menu->selections[std::size_t(k)]);
}

bool DiscMenu::numberCanGrow(int n) const
{
    const PbcSelectionList *menu = selection();
    if (!menu || n <= 0)
        return false;
    const long long end = static_cast<long long>(menu->base) + static_cast<long long>(menu->selections.size());
    for (long long k = menu->base; k < end; ++k)
        for (long long head = k / 10; head > 0; head /= 10)
            if (head == n)
                return true;
    return false;
}

MenuStep DiscMenu::click(int x, int y)
{
    const PbcSelectionList *menu = selection();
    if (asked_ == Asked::Over || !menu || !menu->hasAreas)
        return {};
    const std::size_t areas = std::min(menu->selectionAreas.size(), menu->selections.size());
    for (std::size_t i = 0; i < areas; ++i)
        if (inside(menu->selectionAreas[i], x, y)) {
            hops_ = 0;
            return follow(menu->selections[i]);
        }
    const std::pair<const PbcArea &, Key> keys[] = {{menu->previousArea, Key::Previous},
                                                    {menu->nextArea, Key::Next},
                                                    {menu->returnArea, Key::Return},
                                                    {menu->defaultArea, Key::Default}};
    for (const auto &[area, key] : keys)
        if (inside(area, x, y))
            return press(key);
    return {};
}

} // namespace tavero
