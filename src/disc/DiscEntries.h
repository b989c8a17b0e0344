#pragma once
// A Video CD's entry points: the places its authoring tool marked in a
// track (the chapters of a film told over one track), read from the disc's
// table of them (VCD/ENTRIES.VCD, a Super Video CD's SVCD/ENTRIES.SVD).
//
// The table comes from whatever disc or image was put in. It is checked
// whole before any of it is used: its name tag, the count, every BCD
// digit, every entry's track against the disc's tracks and its address
// against that track's file, and the order. A table that fails any check
// is taken as no table at all: the disc plays without chapters, and
// nothing is said, since nothing else is wrong with it.

#include "disc/Disc.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tavero {

struct EntryPoint {
    int track = 0;             // as the disc counts: 2 is the track folder's first file
    std::uint32_t lsn = 0;     // the sector it starts at
};

// A table's 2,048 bytes against the track folder's files in disc order;
// empty when it does not hold together.
std::vector<EntryPoint> parseEntryTable(const unsigned char *block, const std::vector<DiscEntry> &tracks);
// The disc's whole table; empty when it has none or it does not hold
// together.
std::vector<EntryPoint> readEntryPoints(Disc &disc);

// One track file's entry points, as seconds from its start the way mpv's
// time-pos counts them: the first picture stamp at or after the entry's
// sector, less the stream's first stamp (the demuxer's start time). Empty
// when the table is refused, or when a stamp cannot be found near an
// entry. Reads sectors: for a drive, not on the GUI thread.
std::vector<double> entryTimes(const std::shared_ptr<DiscTrack> &track);

} // namespace tavero
