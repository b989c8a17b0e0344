#pragma once
// Video CD images with menus (playback control), made by vcdimager's vcdxbuild from XML, with stills from mjpegtools,
// once per build tree under TestMedia::dir()/pbc/<name>. Each maker returns the cue sheet's path (the .bin lies
// beside it), or a path that does not exist when the tools failed.
//
// All three discs carry the same lists (vcd-info -p shows them):
//   1 menu: selection on segment 1, keys 1-3 -> lists 2, 3, 5; next and
//     timeout (5 s, played twice) -> 4; return -> 6; default -> 2;
//     previous disabled; on the Super Video CD and in the extended tables
//     next, selection 1 and selection 2 have areas
//   2 play track 2, wait 2 s; next -> 3, return -> 1, previous disabled
//   3 play entry 2 (2 s into track 2), then track 3; wait 3 s, auto-pause
//     wait 1 s; previous -> 2, next -> 5, return -> 1
//   4 play tracks 2, 3 and segment 1, each cut to 3 s, wait 90 s
//   5 selection on segment 1 from key 2 -> lists 2, 3; timeout 10 s with
//     no target; delayed jump; previous -> 3, default -> 3, return -> 1
//   6 end list
// Tracks 2 and 3 are the same 4-s song: 440 Hz left, 660 Hz right.

#include "disc/PlaybackControl.h"

#include <QString>

namespace tavero::test {

struct PbcDiscs {
    // Video CD 2.0 with the extended tables; segment 1 is a still whose
    // normal-resolution picture is red and its high-resolution copy green.
    static QString videoCd();
    // Super Video CD: one table, areas written; segment 1 is a red still
    // (480x576) alone, since mplex writes one picture stream on these.
    static QString superVideoCd();
    // videoCd() with EXT/PSD_X.VCD cut to the plain table's size, as on
    // many commercial discs: the plain table must be used.
    static QString cutExtended();
    // The playback control files of an image made above, and what the
    // disc holds, read back from its raw sectors (for seeds and checks).
    static PbcInput readBack(const QString &cue);
};

} // namespace tavero::test
