#include "disc/PlaybackControl.h"

#include <algorithm>
#include <deque>

namespace tavero {

namespace {

// libvcdinfo refuses more than this, and no authoring tool comes near it.
constexpr std::uint32_t kMaxPsdBytes = 256 * 1024;
constexpr int kMaxSegments = 1980;
constexpr int kMaxListNumber = 32767;      // what the LOT's 32 sectors hold
constexpr std::size_t kMaxReasons = 100;   // a log is no use past that
constexpr int kInfoHeader = 56;            // up to the first content byte
constexpr int kSegmentSectors = 150;
constexpr int kMaxSelections = 99;
constexpr int kHighestKey = 100;           // base + count may reach it, not pass it
constexpr unsigned kNoTarget = 0xFFFF, kMultiDefault = 0xFFFE, kMultiDefaultNoNumbers = 0xFFFD;
constexpr int kPlayList = 0x10, kSelection = 0x18, kExtSelection = 0x1A, kEndList = 0x1F, kCommandList = 0x20;
constexpr int kPlayHead = 14, kSelectionHead = 20, kEndBytes = 8, kAreaBytes = 4;
constexpr unsigned kInfoContinued = 0x20;

struct Reasons {
    void add(const QString &why)
    {
        if (list.size() < kMaxReasons)
            list.push_back(why);
        else
            ++dropped;
    }
    // Crafted tables can hold millions of faults: past the limit they are
    // counted, not worded.
    bool full() const { return list.size() >= kMaxReasons; }
    std::vector<QString> take()
    {
        if (dropped)
            list.push_back(QStringLiteral("and %1 more faults like these").arg(dropped));
        return std::move(list);
    }
    std::vector<QString> list;
    int dropped = 0;
};

struct Segment {
    std::uint8_t content = 0;
    int span = 1;                  // segments it takes with its continuations
};

// What the rest of the disc says, against which play items are checked.
struct DiscFacts {
    int tracks = 0, entries = 0, volumeCount = 0;
    bool segmentAddressValid = false;
    std::uint32_t firstSegmentLsn = 0;
    std::vector<Segment> segments;
    const std::vector<std::uint32_t> *segmentBytes = nullptr;
};

// Bytes of one table, with the bound a descriptor has to keep within.
struct Table {
    const unsigned char *p = nullptr;
    std::uint32_t size = 0;
    unsigned u8(std::uint32_t at) const { return p[at]; }
    unsigned u16(std::uint32_t at) const { return unsigned(p[at]) << 8 | p[at + 1]; }
};

int bcd(unsigned b)
{
    return (b >> 4) <= 9 && (b & 15) <= 9 ? int(b >> 4) * 10 + int(b & 15) : -1;
}

PbcWait timeByte(unsigned v)
{
    if (v == 255)
        return {0, true};
    return {v <= 60 ? int(v) : (int(v) - 60) * 10 + 60, false};
}

SegmentContent contentOf(std::uint8_t b)
{
    SegmentContent c;
    c.audio = SegmentContent::Audio(b & 3);
    const int video = b >> 2 & 7;
    static constexpr SegmentContent::Video kinds[] = {SegmentContent::Video::None, SegmentContent::Video::Still,
                                                      SegmentContent::Video::StillWithHighRes, SegmentContent::Video::Motion};
    c.video = kinds[video & 3];
    c.pal = video > 4;
    if (video == 4)   // reserved: nothing we could show
        c.video = SegmentContent::Video::None;
    return c;
}

PlayItem resolveItem(unsigned v, const DiscFacts &disc, const QString &who, Reasons &reasons)
{
    PlayItem item;
    const auto refuse = [&](const char *why, qint64 count = 0) {
        if (reasons.full())
            ++reasons.dropped;
        else
            reasons.add(QStringLiteral("%1: its play item %2 %3").arg(who).arg(v).arg(QString::fromLatin1(why).replace(
                QLatin1String("%1"), QString::number(count))));
        return PlayItem{};
    };
    if (v < 2)
        return item;
    if (v <= 99) {
        if (int(v) > disc.tracks + 1)
            return refuse("is past the disc's %1 tracks", disc.tracks);
        return PlayItem{PlayItem::Kind::Track, int(v), 0, 0, {}};
    }
    if (v <= 599) {
        if (int(v) - 99 > disc.entries)
            return refuse("is past the disc's %1 entry points", disc.entries);
        return PlayItem{PlayItem::Kind::Entry, int(v) - 99, 0, 0, {}};
    }
    if (v <= 999 || v >= 1000 + kMaxSegments)
        return refuse("is not a number a play item can have");
    const int n = int(v) - 999;
    if (n > int(disc.segments.size()))
        return refuse("is past the disc's %1 segments", qint64(disc.segments.size()));
    const Segment &s = disc.segments[std::size_t(n - 1)];
    if (s.content & 0x20)
        return refuse("lands on the continuation of an earlier segment");
    if (!disc.segmentAddressValid)
        return refuse("is a segment, and INFO gives no valid address for the segments");
    const std::uint32_t bytes = std::size_t(n - 1) < disc.segmentBytes->size() ? (*disc.segmentBytes)[std::size_t(n - 1)] : 0;
    if (bytes == 0)
        return refuse("is segment %1, which has no file on the disc", n);
    item.kind = PlayItem::Kind::Segment;
    item.number = n;
    item.lsn = disc.firstSegmentLsn + std::uint32_t(kSegmentSectors) * std::uint32_t(n - 1);
    // A file that claims more than INFO gives it would run into the next
    // segment's sectors.
    item.sectors = std::min<std::uint32_t>(bytes / 2048 + (bytes % 2048 != 0), std::uint32_t(kSegmentSectors * s.span));
    item.content = contentOf(s.content);
    return item;
}

// A list as decoded, before its targets are known to lead anywhere.
struct RawList {
    PbcList list;
    QString name;
    std::vector<unsigned> selections;
    unsigned previous = kNoTarget, next = kNoTarget, back = kNoTarget, def = kNoTarget, timeout = kNoTarget;
    int id = -1;                   // the list id it gives itself; end lists give none
};

enum class State { Ok, Refused, Skipped };

// Decodes the descriptor at `at` whole, or says why it cannot be used.
std::optional<RawList> decode(const Table &t, std::uint32_t at, const QString &who, const DiscFacts &disc,
                              Reasons &reasons, QString *why, State *state)
{
    *state = State::Refused;
    const auto fits = [&](std::uint32_t bytes) { return std::uint64_t(at) + bytes <= t.size; };
    const auto cut = [why] {
        *why = QStringLiteral("runs past the end of the PSD");
        return std::nullopt;
    };
    if (!fits(1)) {
        *why = QStringLiteral("lies past the end of the PSD (%1 bytes)").arg(t.size);
        return std::nullopt;
    }
    const unsigned type = t.u8(at);
    RawList raw;
    raw.name = who;
    raw.list.offset = at;
    if (type == kPlayList) {
        if (!fits(kPlayHead) || !fits(kPlayHead + 2 * t.u8(at + 1)))
            return cut();
        const unsigned count = t.u8(at + 1);
        raw.id = int(t.u16(at + 2));
        raw.previous = t.u16(at + 4), raw.next = t.u16(at + 6), raw.back = t.u16(at + 8);
        PbcPlayList play;
        play.playTime = t.u16(at + 10) / 15.0;
        play.wait = timeByte(t.u8(at + 12));
        play.autoPauseWait = timeByte(t.u8(at + 13));
        for (unsigned i = 0; i < count; ++i)
            play.items.push_back(resolveItem(t.u16(at + kPlayHead + 2 * i), disc, who, reasons));
        raw.list.body = std::move(play);
    } else if (type == kSelection || type == kExtSelection) {
        if (!fits(kSelectionHead))
            return cut();
        PbcSelectionList sel;
        sel.flags = int(t.u8(at + 1));
        const int count = int(t.u8(at + 2)), base = int(t.u8(at + 3));
        sel.hasAreas = (sel.flags & 1) || type == kExtSelection;
        const std::uint32_t size = kSelectionHead + 2 * count + (sel.hasAreas ? (4 + count) * kAreaBytes : 0);
        if (!fits(size))
            return cut();
        if (count > kMaxSelections || (count > 0 && (base < 1 || base + count > kHighestKey))) {
            *why = QStringLiteral("numbers its %1 selections from %2, past the keys 1 to 99").arg(count).arg(base);
            return std::nullopt;
        }
        sel.base = count > 0 ? base : 1;
        raw.id = int(t.u16(at + 4));
        raw.previous = t.u16(at + 6), raw.next = t.u16(at + 8), raw.back = t.u16(at + 10);
        raw.def = t.u16(at + 12), raw.timeout = t.u16(at + 14);
        sel.timeout = timeByte(t.u8(at + 16));
        sel.loops = int(t.u8(at + 17) & 0x7F);
        sel.delayedJump = t.u8(at + 17) & 0x80;
        sel.item = resolveItem(t.u16(at + 18), disc, who, reasons);
        for (int i = 0; i < count; ++i)
            raw.selections.push_back(t.u16(at + kSelectionHead + 2 * std::uint32_t(i)));
        if (sel.hasAreas) {
            const std::uint32_t a = at + kSelectionHead + 2 * std::uint32_t(count);
            const auto area = [&](int i) {
                const std::uint32_t o = a + std::uint32_t(i) * kAreaBytes;
                return PbcArea{int(t.u8(o)), int(t.u8(o + 1)), int(t.u8(o + 2)), int(t.u8(o + 3))};
            };
            sel.previousArea = area(0), sel.nextArea = area(1), sel.returnArea = area(2), sel.defaultArea = area(3);
            for (int i = 0; i < count; ++i)
                sel.selectionAreas.push_back(area(4 + i));
        }
        raw.list.body = std::move(sel);
    } else if (type == kEndList) {
        if (!fits(kEndBytes))
            return cut();
        PbcEndList end;
        end.nextDisc = int(t.u8(at + 1));
        if (end.nextDisc > disc.volumeCount) {
            reasons.add(QStringLiteral("%1: it leads to disc %2 of an album of %3; it stops instead")
                            .arg(who).arg(end.nextDisc).arg(disc.volumeCount));
            end.nextDisc = 0;
        }
        end.changePicture = resolveItem(t.u16(at + 2), disc, who, reasons);
        raw.list.body = std::move(end);
    } else if (type == kCommandList) {
        *state = State::Skipped;
        *why = QStringLiteral("is a command list, which this player does not run");
        return std::nullopt;
    } else {
        *why = QStringLiteral("is of an unknown kind (0x%1)").arg(type, 2, 16, QLatin1Char('0'));
        return std::nullopt;
    }
    if (raw.id >= 0) {
        raw.list.rejected = raw.id & 0x8000;
        raw.list.number = raw.id & 0x7FFF;
    }
    *state = State::Ok;
    return raw;
}

struct Parsed {
    PlaybackControl pbc;
    int damage = 0;                // lists and targets lost to faults in the tables
    QString firstDamage;
    QString startFault;            // why the first list cannot be used
};

// One pair of LOT and PSD, walked from the LOT's lists through every
// target they name; each offset is decoded once.
Parsed parse(const QByteArray &lotBytes, const QByteArray &psdBytes, std::uint32_t psdSize, int highest, int startNumber,
             const DiscFacts &disc, Reasons reasons)
{
    Parsed out;
    // Faults in the tables themselves, as opposed to items the disc lacks:
    // they decide between the extended and the plain tables.
    const auto damaged = [&](const QString &why) {
        if (out.damage++ == 0)
            out.firstDamage = why;
        reasons.add(why);
    };
    const auto fault = [&](State state, const QString &why) { state == State::Refused ? damaged(why) : reasons.add(why); };
    const Table psd{reinterpret_cast<const unsigned char *>(psdBytes.constData()),
                    std::min<std::uint32_t>(psdSize, std::uint32_t(psdBytes.size()))};
    const Table lot{reinterpret_cast<const unsigned char *>(lotBytes.constData()),
                    std::uint32_t(std::min<qsizetype>(lotBytes.size(), 2 * (kMaxListNumber + 1)))};
    if (psd.size < psdSize)
        reasons.add(QStringLiteral("the PSD holds %1 of the %2 bytes INFO gives it").arg(psd.size).arg(psdSize));
    const int listed = std::min(highest, int(lot.size / 2) - 1);
    if (listed < highest)
        reasons.add(QStringLiteral("the LOT holds %1 of the %2 lists INFO gives it").arg(std::max(listed, 0)).arg(highest));
    int beyond = 0;
    for (int n = std::max(listed, 0) + 1; n <= int(lot.size / 2) - 1; ++n)
        beyond += lot.u16(std::uint32_t(2 * n)) != kNoTarget;
    if (beyond)
        reasons.add(QStringLiteral("the LOT names %1 lists past the highest, %2; they are left out").arg(beyond).arg(highest));

    struct Seen {
        State state = State::Refused;
        int index = -1;
        QString why;
    };
    std::map<std::uint32_t, Seen> seen;
    std::deque<std::pair<std::uint32_t, QString>> queue;
    // The LOT holds offsets only; a target may hold a marker instead.
    const auto reach = [&](unsigned value, const QString &who) {
        if (value == kNoTarget || (who.isEmpty() && value >= kMultiDefaultNoNumbers))
            return;
        const std::uint32_t at = value * 8u;
        if (seen.emplace(at, Seen{}).second)
            queue.emplace_back(at, who.isEmpty() ? QStringLiteral("the list at PSD offset 0x%1").arg(at, 0, 16) : who);
    };
    std::vector<std::uint32_t> lotOffsets(std::size_t(std::max(listed, 0)) + 1, kNoTarget);
    for (int n = 1; n <= listed; ++n) {
        const unsigned v = lot.u16(std::uint32_t(2 * n));
        if (v == kNoTarget)
            continue;
        lotOffsets[std::size_t(n)] = v * 8u;
        reach(v, QStringLiteral("list %1").arg(n));
    }
    std::vector<RawList> raws;
    while (!queue.empty()) {
        const auto [at, who] = queue.front();
        queue.pop_front();
        Seen &s = seen[at];
        std::optional<RawList> raw = decode(psd, at, who, disc, reasons, &s.why, &s.state);
        if (!raw) {
            fault(s.state, who + QLatin1Char(' ') + s.why);
            continue;
        }
        s.index = int(raws.size());
        for (unsigned v : {raw->previous, raw->next, raw->back, raw->def, raw->timeout})
            reach(v, QString());
        for (unsigned v : raw->selections)
            reach(v, QString());
        raws.push_back(std::move(*raw));
    }

    PlaybackControl &pbc = out.pbc;
    QString startFaults[3];
    pbc.byNumber.assign(std::size_t(std::max(listed, 0)) + 1, -1);
    for (int n = 1; n <= listed; ++n) {
        const std::uint32_t at = lotOffsets[std::size_t(n)];
        if (at == kNoTarget)
            continue;
        const Seen &s = seen[at];
        RawList *raw = s.index >= 0 ? &raws[std::size_t(s.index)] : nullptr;
        QString fault = s.index >= 0 ? QString() : s.why;
        if (raw && raw->id >= 0 && raw->list.number != n)
            fault = QStringLiteral("leads to a list that calls itself list %1").arg(raw->list.number);
        else if (raw && raw->list.rejected)
            fault = QStringLiteral("is marked as not to be reached by number");
        if (n <= 2 && !fault.isEmpty())
            startFaults[n] = QStringLiteral("list %1 %2").arg(n).arg(fault);
        if (!fault.isEmpty()) {
            // A list kept from number keys is the disc's wish, not a fault.
            const QString why = QStringLiteral("list %1 %2").arg(n).arg(fault);
            if (raw)
                raw->list.rejected && raw->list.number == n ? reasons.add(why) : damaged(why);
            continue;
        }
        pbc.byNumber[std::size_t(n)] = s.index;
        if (raw->list.number == 0)
            raw->list.number = n;
    }

    for (RawList &raw : raws) {
        const auto resolve = [&](unsigned v, const char *what, bool mayBeMulti) {
            PbcTarget target;
            if (v == kNoTarget)
                return target;
            if (v == kMultiDefault || v == kMultiDefaultNoNumbers) {
                if (mayBeMulti)
                    target.kind = v == kMultiDefault ? PbcTarget::Kind::MultiDefault : PbcTarget::Kind::MultiDefaultWithoutNumbers;
                else
                    reasons.add(QStringLiteral("%1: its %2 target is not a list; it is disabled").arg(raw.name, what));
                return target;
            }
            const Seen &s = seen[v * 8u];
            if (s.index < 0) {
                if (reasons.full() && (out.damage > 0 || s.state != State::Refused)) {
                    out.damage += s.state == State::Refused;
                    ++reasons.dropped;
                } else {
                    fault(s.state, QStringLiteral("%1: its %2 target %3; it is disabled").arg(raw.name, what, s.why));
                }
                return target;
            }
            target.kind = PbcTarget::Kind::List;
            target.list = s.index;
            return target;
        };
        raw.list.previous = resolve(raw.previous, "previous", false);
        raw.list.next = resolve(raw.next, "next", false);
        raw.list.back = resolve(raw.back, "return", false);
        if (auto *sel = std::get_if<PbcSelectionList>(&raw.list.body)) {
            sel->defaultTarget = resolve(raw.def, "default", true);
            sel->timeoutTarget = resolve(raw.timeout, "timeout", false);
            for (std::size_t i = 0; i < raw.selections.size(); ++i)
                sel->selections.push_back(resolve(raw.selections[i], "selection", false));
        }
        pbc.byOffset.emplace(raw.list.offset, int(pbc.lists.size()));
        pbc.lists.push_back(std::move(raw.list));
    }

    const auto listAt = [&](int n) { return n < int(pbc.byNumber.size()) ? pbc.byNumber[std::size_t(n)] : -1; };
    pbc.start = listAt(startNumber);
    if (pbc.start < 0 && startNumber != 1 && listAt(1) >= 0) {
        reasons.add(QStringLiteral("list %1, where a continued disc starts, is missing; it starts at list 1").arg(startNumber));
        pbc.start = listAt(1);
    }
    if (pbc.start < 0)
        out.startFault = !startFaults[1].isEmpty() ? startFaults[1] : QStringLiteral("the LOT names no list 1");
    pbc.reasons = reasons.take();
    return out;
}

} // namespace

PlaybackControl readPlaybackControl(const PbcInput &in)
{
    PlaybackControl none;
    const auto fail = [&none](const QString &why) {
        none.reasons = {why};
        return none;
    };
    if (in.info.size() < kInfoHeader)
        return fail(QStringLiteral("INFO is cut short (%1 bytes): the disc's menus cannot be read").arg(in.info.size()));
    const auto *info = reinterpret_cast<const unsigned char *>(in.info.constData());
    const QByteArray id = in.info.left(8);
    if (id == "VIDEO_CD")
        none.kind = DiscKind::VideoCd;
    else if (id == "SUPERVCD")
        none.kind = DiscKind::SuperVideoCd;
    else if (id == "HQ-VCD  ")
        none.kind = DiscKind::HqVideoCd;
    else
        return fail(QStringLiteral("INFO does not belong to a Video CD: its menus cannot be read"));
    const Table head{info, std::uint32_t(in.info.size())};
    none.volumeCount = int(head.u16(26));
    none.volumeNumber = int(head.u16(28));
    const std::uint32_t psdSize = head.u16(44) << 16 | head.u16(46);
    if (psdSize == 0)
        return fail(QStringLiteral("the disc has no menus (no playback control)"));
    if (psdSize > kMaxPsdBytes)
        return fail(QStringLiteral("INFO gives the PSD %1 bytes, past the %2 any disc needs").arg(psdSize).arg(kMaxPsdBytes));
    if (head.u8(51) != 8)
        return fail(QStringLiteral("INFO counts PSD offsets in units of %1, not 8").arg(head.u8(51)));
    const int highest = std::min(int(head.u16(52)), kMaxListNumber);
    if (highest == 0)
        return fail(QStringLiteral("INFO says the disc has no lists"));

    Reasons infoReasons;
    DiscFacts disc;
    disc.tracks = std::max(in.tracks, 0);
    disc.entries = std::max(in.entries, 0);
    disc.volumeCount = none.volumeCount;
    disc.segmentBytes = &in.segmentBytes;
    int segments = int(head.u16(54));
    if (segments > kMaxSegments) {
        infoReasons.add(QStringLiteral("INFO gives %1 segments; only %2 are read").arg(segments).arg(kMaxSegments));
        segments = kMaxSegments;
    }
    if (segments > int(in.info.size()) - kInfoHeader) {
        infoReasons.add(QStringLiteral("INFO is cut short after %1 of its %2 segments").arg(in.info.size() - kInfoHeader).arg(segments));
        segments = int(in.info.size()) - kInfoHeader;
    }
    disc.segments.resize(std::size_t(segments));
    for (int i = segments - 1; i >= 0; --i) {
        disc.segments[std::size_t(i)].content = info[kInfoHeader + i];
        if (i + 1 < segments && (disc.segments[std::size_t(i + 1)].content & 0x20))
            disc.segments[std::size_t(i)].span = disc.segments[std::size_t(i + 1)].span + 1;
    }
    none.segmentCount = segments;
    const int m = bcd(head.u8(48)), s = bcd(head.u8(49)), f = bcd(head.u8(50));
    const int lsn = (m * 60 + s) * 75 + f - 150;
    disc.segmentAddressValid = m >= 0 && s >= 0 && s < 60 && f >= 0 && f < 75 && lsn >= 0;
    disc.firstSegmentLsn = disc.segmentAddressValid ? std::uint32_t(lsn) : 0;

    // A later disc of an album may be marked to start at list 2.
    const int startNumber = (head.u8(43) & kInfoContinued) && none.volumeNumber > 1 ? 2 : 1;
    Parsed plain = parse(in.lot, in.psd, psdSize, highest, startNumber, disc, infoReasons);
    Parsed chosen;
    const bool hasExtended = !in.lotX.isEmpty() && !in.psdX.isEmpty();
    if (hasExtended) {
        // INFO gives the plain table's size only; the file bounds the other.
        Parsed ext = parse(in.lotX, in.psdX, std::uint32_t(std::min<qsizetype>(in.psdX.size(), kMaxPsdBytes)), highest,
                           startNumber, disc, infoReasons);
        const bool useExt = ext.pbc.usable() && (ext.damage == 0 || !plain.pbc.usable() || ext.damage <= plain.damage);
        if (useExt) {
            chosen = std::move(ext);
            chosen.pbc.extended = true;
        } else {
            const QString why = ext.pbc.usable() ? ext.firstDamage : ext.startFault;
            chosen = std::move(plain);
            chosen.pbc.reasons.insert(chosen.pbc.reasons.begin(),
                                      QStringLiteral("the extended PSD does not hold together (%1); the plain one is used").arg(why));
        }
    } else {
        chosen = std::move(plain);
    }
    if (!chosen.pbc.usable())
        return fail(QStringLiteral("the disc's menus cannot be used: %1").arg(chosen.startFault));
    PlaybackControl &pbc = chosen.pbc;
    pbc.kind = none.kind;
    pbc.volumeCount = none.volumeCount;
    pbc.volumeNumber = none.volumeNumber;
    pbc.segmentCount = none.segmentCount;
    return std::move(pbc);
}

} // namespace tavero
