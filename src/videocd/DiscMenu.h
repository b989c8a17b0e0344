#pragma once
// A disc's menus walked as a standalone player walks them: what to play,
// how long to hold a picture, where a key or a click leads. The engine
// plays nothing and keeps no time itself; the window plays what it is
// told, runs the waits it is asked for, and reports back. Each call
// answers with the next step.
//
// The disc's lists come from disc/PlaybackControl.h, checked already, but
// a checked graph can still lead nowhere: lists that play nothing and
// point at each other or at themselves. Every step that plays no media
// (an empty item, an empty list, a zero wait, a jump) counts a hop;
// kMaxHops hops without anything played end the menus with a message
// naming the list. Waits that last for ever still take every key.

#include "disc/PlaybackControl.h"

#include <QString>
#include <functional>

namespace tavero {

struct MenuStep {
    enum class Kind {
        Play,         // play `item` (cut to `playTime` seconds when > 0); then itemEnded()
        Hold,         // keep the picture on screen for `wait`; then waitEnded() (never when endless)
        Refused,      // the key leads nowhere: show for a moment that it is not available
        Stay,         // nothing changes (a key that does nothing, or one kept for the item's end)
        End,          // the menus are over: stop, as after a disc's last track
        InsertDisc,   // show "Please insert disc N" (`disc`), then stop
        Broken,       // the menus lead nowhere: show `message`, then stop
    };
    Kind kind = Kind::Stay;
    PlayItem item;
    double playTime = 0;
    PbcWait wait;
    int disc = 0;
    QString message;
};

class DiscMenu {
public:
    enum class Key { Next, Previous, Return, Default };
    static constexpr int kMaxHops = 64;

    // `pbc` must be usable() and outlive the menu. `pick(n)` gives a number
    // from 0 to n - 1, for a timeout without a target.
    DiscMenu(const PlaybackControl &pbc, std::function<int(int)> pick);

    // The start list's first step.
    MenuStep start();

    // The item of the last Play step has ended: played to its end or to its
    // play time (`played`), or it could not be played at all (a hop). A
    // still ends as soon as its picture is up.
    MenuStep itemEnded(bool played);
    // The last Hold step's time is up.
    MenuStep waitEnded();

    // A remote's keys. `entry` is, for Default on a multi-default list, the
    // position (0 = first) of the entry point playing within the item's
    // track; -1 when none is known.
    MenuStep press(Key key, int entry = -1);
    // A number key: the selection numbered so on the current selection
    // list. Numbers outside its range are Refused.
    MenuStep number(int n);
    // Whether the number typed so far (`n`) can still grow into a valid
    // selection by typing more digits, so the window should wait for them.
    bool numberCanGrow(int n) const;
    // A click on the picture at (x, y), each 0-255 across and down it.
    MenuStep click(int x, int y);

    // The list now walked (an index into PlaybackControl::lists), and its
    // number for captions and messages.
    int list() const { return list_; }
    int listNumber() const;
    // Whether the current list takes number keys (a selection list with
    // selections), and has areas to click.
    bool takesNumbers() const;
    bool hasAreas() const;

private:
    // What the window was last told, so that a late or doubled report is
    // answered with Stay instead of moving the menus on.
    enum class Asked { Nothing, Play, Hold, HoldEndless, Over };
    // Where the walk through the current list goes on from.
    enum class At { Enter, NextItem, ListDone, Timeout, TimeoutDone, Jump };

    const PbcList *current() const;
    const PbcSelectionList *selection() const;
    MenuStep walk(At at, int to = -1);
    MenuStep follow(const PbcTarget &target);
    MenuStep hold(const PbcWait &wait);
    MenuStep over(MenuStep step);
    MenuStep broken();
    bool hop();

    const PlaybackControl &pbc_;
    std::function<int(int)> pick_;
    int list_ = -1;
    int itemIndex_ = 0;            // the play list's item now playing
    int played_ = 0;               // times the selection's item has played
    int hops_ = 0;
    Asked asked_ = Asked::Nothing;
    PbcTarget pending_;            // a delayed jump, taken at the item's end
};

} // namespace tavero
