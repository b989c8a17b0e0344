// libFuzzer target for the playback control reader.
//
// An input is what a disc would give the reader, laid end to end:
//   byte 0        MPEG tracks on the disc
//   bytes 1-2     entry points (big-endian)
//   byte 3        n, the number of segment files, then n sizes in bytes
//                 (4 bytes each, big-endian), [0] for ITEM0001
//   then INFO, LOT, PSD, LOT_X and PSD_X, each after its length
//                 (4 bytes, big-endian; cut to what is left)
// Besides not crashing, the result must be one the player can walk
// without checking: every index it holds leads into its lists.
#include "disc/PlaybackControl.h"

#include <cstdint>
#include <cstdlib>

namespace {

struct Cursor {
    const std::uint8_t *p;
    std::size_t n;
    std::uint32_t take(int bytes)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            v <<= 8;
            if (n) {
                v |= *p++;
                --n;
            }
        }
        return v;
    }
    QByteArray part()
    {
        const std::size_t want = take(4);
        const std::size_t len = want < n ? want : n;
        QByteArray bytes(reinterpret_cast<const char *>(p), qsizetype(len));
        p += len, n -= len;
        return bytes;
    }
};

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkTarget(const tavero::PlaybackControl &pbc, const tavero::PbcTarget &t)
{
    check(t.kind != tavero::PbcTarget::Kind::List || (t.list >= 0 && std::size_t(t.list) < pbc.lists.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Cursor in{data, size};
    tavero::PbcInput input;
    input.tracks = int(in.take(1));
    input.entries = int(in.take(2));
    const int segments = int(in.take(1));
    for (int i = 0; i < segments && in.n >= 4; ++i)
        input.segmentBytes.push_back(in.take(4));
    input.info = in.part();
    input.lot = in.part();
    input.psd = in.part();
    input.lotX = in.part();
    input.psdX = in.part();

    const tavero::PlaybackControl pbc = tavero::readPlaybackControl(input);
    check(!pbc.reasons.empty() || pbc.usable());
    check(pbc.reasons.size() <= 102);   // a hundred, the count of the rest, the fallback
    check(!pbc.usable() || std::size_t(pbc.start) < pbc.lists.size());
    for (int i : pbc.byNumber)
        check(i >= -1 && i < int(pbc.lists.size()));
    for (const auto &[offset, i] : pbc.byOffset)
        check(i >= 0 && std::size_t(i) < pbc.lists.size() && pbc.lists[std::size_t(i)].offset == offset);
    for (const tavero::PbcList &l : pbc.lists) {
        checkTarget(pbc, l.previous);
        checkTarget(pbc, l.next);
        checkTarget(pbc, l.back);
        if (const auto *sel = std::get_if<tavero::PbcSelectionList>(&l.body)) {
            checkTarget(pbc, sel->defaultTarget);
            checkTarget(pbc, sel->timeoutTarget);
            for (const tavero::PbcTarget &t : sel->selections)
                checkTarget(pbc, t);
            check(sel->selections.size() <= 99 && sel->base >= 1 && sel->base + int(sel->selections.size()) <= 100);
            check(!sel->hasAreas || sel->selectionAreas.size() == sel->selections.size());
        }
        if (const auto *play = std::get_if<tavero::PbcPlayList>(&l.body))
            for (const tavero::PlayItem &item : play->items)
                check(item.kind != tavero::PlayItem::Kind::Segment
                      || (item.number >= 1 && item.number <= pbc.segmentCount && item.sectors > 0));
    }
    return 0;
}
