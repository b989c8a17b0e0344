// A table of entry points: its 2,048 bytes, then the track files it is
// checked against, eight bytes each (first sector, size, little-endian).
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    constexpr std::size_t table = tavero::kForm1Bytes;
    if (size < table)
        return 0;
    std::vector<tavero::DiscEntry> tracks;
    for (std::size_t at = table; at + 8 <= size && tracks.size() < 99; at += 8) {
        tavero::DiscEntry e;
        std::memcpy(&e.lsn, data + at, 4);
        std::memcpy(&e.size, data + at + 4, 4);
        tracks.push_back(e);
    }
    tavero::parseEntryTable(data, tracks);
    return 0;
}
