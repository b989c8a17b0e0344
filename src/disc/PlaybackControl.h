#pragma once
// A disc's menus and play lists (its playback control), decoded from the
// bytes of INFO, LOT and PSD into something the player can walk without
// looking at a byte again.
//
// The bytes come from whatever disc or image was put in, and many
// commercial discs carry faulty tables, so the reader trusts nothing: each
// list is checked whole against the table it sits in before any of it is
// kept, every count against its limit, every play item against what the
// disc holds. A fault costs the smallest thing it can: one play item, one
// target, one list; only a disc whose first list does not hold together
// loses its playback control, and then it plays its tracks in order. Each
// thing left out says why in `reasons`, worded for a developer's log and
// good enough to show a user.
//
// The work is bounded by the tables' sizes (each list is decoded once, in a
// queue, never by recursion), so crafted bytes cost time in proportion to
// their length and never a hang. Cycles between lists are normal (a menu
// and its songs point at each other) and are kept: the player counts the
// jumps that play nothing and stops them.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <variant>
#include <vector>

namespace tavero {

// What the caller read from the disc. Any of it may be short, long or
// nonsense: the reader checks it.
struct PbcInput {
    QByteArray info;   // VCD/INFO.VCD or SVCD/INFO.SVD
    QByteArray lot;    // VCD/LOT.VCD or SVCD/LOT.SVD
    QByteArray psd;    // VCD/PSD.VCD or SVCD/PSD.SVD
    QByteArray lotX;   // EXT/LOT_X.VCD, empty when the disc has none
    QByteArray psdX;   // EXT/PSD_X.VCD, empty when the disc has none
    int tracks = 0;    // MPEG tracks on the disc (play items 2 .. tracks + 1)
    int entries = 0;   // entry points in the disc's entry table
    // The size the ISO directory gives each segment file, in bytes:
    // [0] is SEGMENT/ITEM0001.DAT; 0 where the disc has no such file (a
    // segment continued from the one before has none of its own).
    std::vector<std::uint32_t> segmentBytes;
};

enum class DiscKind { Unknown, VideoCd, SuperVideoCd, HqVideoCd };

// What one segment holds, from INFO's content byte: the player chooses
// how to show it (a still is held on screen; of a still with a
// high-resolution copy, standalone players show the copy).
struct SegmentContent {
    enum class Audio { None, Mono, Stereo, DualChannel };
    enum class Video { None, Still, StillWithHighRes, Motion };
    Audio audio = Audio::None;
    Video video = Video::None;
    bool pal = false;
};

// A play item as the disc numbers it, resolved. An item the disc cannot
// play (past its tracks, entries or segments, reserved, on a
// continuation) is left as Nothing, with a reason.
struct PlayItem {
    enum class Kind { Nothing, Track, Entry, Segment };
    Kind kind = Kind::Nothing;
    // Track: as the disc counts, 2 is the first MPEG track. Entry: 1 is
    // the first in the entry table; it plays to the end of its track.
    // Segment: 1 is SEGMENT/ITEM0001.DAT.
    int number = 0;
    // Segment only: where it lies (from INFO's first segment address, 150
    // sectors a segment), how many sectors its file takes (never more
    // than INFO grants it with its continuations), and what it holds.
    std::uint32_t lsn = 0;
    std::uint32_t sectors = 0;
    SegmentContent content;
};

// A list a key or a timer leads to, as an index into PlaybackControl::lists.
// The disc gives offsets into its table; a target that leads nowhere
// usable is Disabled (with a reason when the disc meant it to lead
// somewhere). The multi-default kinds mean "the selection that belongs to
// the entry point playing".
struct PbcTarget {
    enum class Kind { Disabled, List, MultiDefault, MultiDefaultWithoutNumbers };
    Kind kind = Kind::Disabled;
    int list = -1;
    bool enabled() const { return kind == Kind::List; }
};

// A wait as the disc gives it: at most 2,000 seconds, or for ever.
struct PbcWait {
    int seconds = 0;
    bool endless = false;          // wait until a key is pressed
};

// A rectangle on a 0-255 grid laid over the picture, for a mouse or a
// remote with a pointer. All four 0 means the disc gives no area.
struct PbcArea {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool given() const { return x1 || y1 || x2 || y2; }
};

struct PbcPlayList {
    std::vector<PlayItem> items;   // may be empty: the list only leads on
    double playTime = 0;           // seconds each item is cut to; 0 = whole items
    PbcWait wait;                  // after each item
    PbcWait autoPauseWait;         // at sectors marked to pause
};

struct PbcSelectionList {
    PlayItem item;                 // the menu's picture or clip
    int flags = 0;                 // the disc's flag byte, as given
    int base = 1;                  // the number key of selections[0]
    std::vector<PbcTarget> selections;
    PbcTarget defaultTarget;       // may be a multi-default kind
    PbcTarget timeoutTarget;       // Disabled: pick a selection at random
    PbcWait timeout;
    int loops = 1;                 // times to play the item; 0 = for ever
    bool delayedJump = false;      // a key waits for the item's end
    // Given on Super Video CDs and in extended tables: for previous, next,
    // return and default, then one per selection. Empty when not given.
    bool hasAreas = false;
    PbcArea previousArea, nextArea, returnArea, defaultArea;
    std::vector<PbcArea> selectionAreas;
};

struct PbcEndList {
    int nextDisc = 0;              // of the album; 0 = stop here
    PlayItem changePicture;        // shown while the user changes discs
};

struct PbcList {
    // The LOT's number for it, else the one it gives itself (0 for an end
    // list the LOT does not name): for messages, and for a "go to list".
    int number = 0;
    bool rejected = false;         // the disc keeps it from number keys: byNumber leaves it out
    std::uint32_t offset = 0;      // bytes into the table it came from
    PbcTarget previous, next, back;   // back: the remote's Return
    std::variant<PbcPlayList, PbcSelectionList, PbcEndList> body;
};

struct PlaybackControl {
    DiscKind kind = DiscKind::Unknown;
    int volumeCount = 0, volumeNumber = 0;
    int segmentCount = 0;          // from INFO, at most 1,980
    // Whether the disc has usable playback control at all; when not, it
    // plays its tracks in order and `reasons` says why.
    bool usable() const { return start >= 0; }
    int start = -1;                // the list playback begins with
    bool extended = false;         // read from EXT/LOT_X.VCD and EXT/PSD_X.VCD
    std::vector<PbcList> lists;
    std::vector<int> byNumber;     // list number -> index into lists, -1 for none; [0] unused
    std::map<std::uint32_t, int> byOffset;   // byte offset in the table -> index into lists
    std::vector<QString> reasons;  // what was left out and why: a hundred, then a count of the rest
};

// Never throws, never reads outside the given bytes.
PlaybackControl readPlaybackControl(const PbcInput &input);

} // namespace tavero
