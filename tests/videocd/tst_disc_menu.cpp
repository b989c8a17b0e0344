// A disc's menus walked as the window walks them: on the test discs' real
// tables, and on tables made here that lead nowhere.
#include "support/PbcDiscs.h"
#include "videocd/DiscMenu.h"

#include <QtTest>
#include <tuple>

using namespace tavero;
using namespace tavero::test;

namespace {

// A step as a row states it: "L3 Play entry 2", "L4 Play track 2 cut 3", "L1 Hold 5s", "Broken".
QString describe(const MenuStep &s, const DiscMenu &menu)
{
    using K = MenuStep::Kind;
    const QString loop =
        QStringLiteral("The disc's menus lead nowhere: list %1 plays nothing and goes round in circles.");
    if (s.kind == K::Broken)   // the message names the list the circle was found in
        return s.message == loop.arg(menu.listNumber()) ? QStringLiteral("Broken") : "Broken: " + s.message;
    constexpr const char *kinds[] = {"Play", "Hold", "Refused", "Stay", "End", "InsertDisc"};
    constexpr const char *items[] = {"nothing", "track", "entry", "segment"};
    QString out = QStringLiteral("L%1 %2").arg(menu.listNumber()).arg(kinds[int(s.kind)]);
    if (s.kind == K::Play)
        out += QStringLiteral(" %1 %2").arg(items[int(s.item.kind)]).arg(s.item.number)
               + (s.playTime > 0 ? QStringLiteral(" cut %1").arg(s.playTime) : QString());
    if (s.kind == K::Hold)
        out += s.wait.endless ? QStringLiteral(" for ever") : QStringLiteral(" %1s").arg(s.wait.seconds);
    return s.kind == K::InsertDisc ? out + QStringLiteral(" %1").arg(s.disc) : out;
}

PbcTarget to(int index) { return {PbcTarget::Kind::List, index}; }
PlayItem item(PlayItem::Kind k, int n, SegmentContent::Video v = {}) { return {k, n, 0, 0, {{}, v, false}}; }
PbcList list(int n, decltype(PbcList::body) body, PbcTarget next = {}) { return {n, false, 0, {}, next, {}, body}; }

// Tables no vcdxbuild would write, lists numbered 7 up so that a number is never taken for an index.
PlaybackControl crafted(const QString &name)
{
    using K = PlayItem::Kind;
    PlaybackControl pbc;
    PbcSelectionList menu;
    menu.item = item(K::Track, 2), menu.loops = 0;
    if (name == "self")            // an empty play list whose next is itself
        pbc.lists = {list(7, PbcPlayList{}, to(0))};
    else if (name == "pair")       // two empty play lists pointing at each other
        pbc.lists = {list(7, PbcPlayList{}, to(1)), list(8, PbcPlayList{}, to(0))};
    else if (name == "clip")       // a clip played for ever; ten selections from 1, none enabled
        menu.selections.resize(10), pbc.lists = {list(7, menu)};
    else if (name == "twice")      // a clip played twice; no timeout target, no selection
        menu.loops = 2, pbc.lists = {list(7, menu)};
    else if (name == "album")
        pbc.lists = {list(7, PbcEndList{2, {}})};
    else if (name == "still") {  // a still held for ever; its next list skips an item that is nothing
        menu.item = item(K::Segment, 1, SegmentContent::Video::Still), menu.timeout.endless = true;
        menu.selections = {to(1)}, menu.defaultTarget.kind = PbcTarget::Kind::MultiDefault;
        PbcPlayList songs;
        songs.items = {item(K::Nothing, 0), item(K::Track, 2)};
        pbc.lists = {list(7, menu, to(1)), list(8, songs)};
    }
    pbc.start = 0;
    return pbc;
}

PlaybackControl tables(const QString &name)
{
    if (!name.contains("vcd"))
        return crafted(name);
    return readPlaybackControl(PbcDiscs::readBack(name == "vcd" ? PbcDiscs::videoCd() : PbcDiscs::superVideoCd()));
}

} // namespace

class TestDiscMenu : public QObject {
    Q_OBJECT
private slots:
    // Calls as the window makes them ("start, ended, 2, click 20 40"; "failed*70": until the step is no
    // longer Play, at most 70 times), and the step the last one answers. The timeout picks the last choice.
    void walk_data()
    {
        for (const char *column : {"disc", "calls", "step"})
            QTest::addColumn<QString>(column);
        const auto row = [](const char *name, const char *disc, const char *calls, const char *step) {
            QTest::newRow(name) << QString(disc) << QString(calls) << QString(step);
        };
        row("still held for the timeout, not replayed", "vcd", "start, ended", "L1 Hold 5s");
        row("timeout to its target", "vcd", "start, ended, wait", "L4 Play track 2 cut 3");
        row("slide show: items in order", "vcd", "start, next, ended, wait, ended, wait", "L4 Play segment 1 cut 3");
        row("timeout without target picks", "vcd", "start, 3, ended, wait", "L3 Play entry 2");
        row("number at once", "vcd", "start, 2", "L3 Play entry 2");
        row("play list: wait then next", "vcd", "start, 1, ended, wait", "L3 Play entry 2");
        row("delayed jump kept", "vcd", "start, 3, 2", "L5 Stay");
        row("delayed jump at the item's end", "vcd", "start, 3, 2, ended", "L2 Play track 2");
        row("delayed jump: a key while holding", "vcd", "start, 3, ended, 3", "L3 Play entry 2");
        row("return to the menu", "vcd", "start, 1, return", "L1 Play segment 1");
        row("next", "vcd", "start, next", "L4 Play track 2 cut 3");
        row("previous", "vcd", "start, 2, previous", "L2 Play track 2");
        row("default", "vcd", "start, default", "L2 Play track 2");
        row("default on a play list", "vcd", "start, 1, default", "L2 Refused");
        row("disabled target", "vcd", "start, previous", "L1 Refused");
        row("refused changes nothing", "vcd", "start, previous, ended", "L1 Hold 5s");
        row("number past the last", "vcd", "start, 4", "L1 Refused");
        row("number below the base", "vcd", "start, 3, ended, 1", "L5 Refused");
        row("number on a play list", "vcd", "start, 1, 1", "L2 Refused");
        row("wait while playing", "vcd", "start, wait", "L1 Stay");
        row("item end while holding", "vcd", "start, ended, ended", "L1 Stay");
        row("end list", "vcd", "start, return", "L6 End");
        row("nothing after the end", "vcd", "start, return, start", "L6 Stay");
        row("click a selection", "svcd", "start, click 20 40", "L2 Play track 2");
        row("click next's area", "svcd", "start, click 230 250", "L4 Play track 2 cut 3");
        row("click off the areas", "svcd", "start, click 128 20", "L1 Stay");
        row("click an area's far corner", "svcd", "start, click 120 96", "L2 Play track 2");
        row("list that is its own next", "self", "start", "Broken");
        row("two empty lists in a circle", "pair", "start", "Broken");
        row("unplayable item for ever", "clip", "start, failed*70", "Broken");
        row("unplayable item: the last hop allowed", "clip", "start, failed*62", "L7 Play track 2");
        row("unplayable item: one hop more", "clip", "start, failed*63", "Broken");
        row("played clip for ever", "clip", "start, ended*70", "L7 Play track 2");
        row("still for ever", "still", "start, ended", "L7 Hold for ever");
        row("no wait end for an endless hold", "still", "start, ended, wait", "L7 Stay");
        row("keys in an endless hold", "still", "start, ended, next", "L8 Play track 2");
        row("multi-default takes the entry's selection", "still", "start, default 0", "L8 Play track 2");
        row("multi-default without an entry", "still", "start, default", "L7 Refused");
        row("multi-default past the selections", "still", "start, default 1", "L7 Refused");
        row("play list without next holds", "still", "start, next, ended", "L8 Hold for ever");
        row("clip played twice, then held", "twice", "start, ended, ended", "L7 Hold for ever");
        row("disabled selection", "clip", "start, 12", "L7 Refused");
        row("next disc", "album", "start", "L7 InsertDisc 2");
    }

    void walk()
    {
        QFETCH(QString, disc);
        QFETCH(QString, calls);
        const PlaybackControl pbc = tables(disc);
        QVERIFY(pbc.usable());
        DiscMenu menu(pbc, [](int n) { return n - 1; });
        MenuStep last;
        for (const QString &call : calls.split(QStringLiteral(", "))) {
            const QStringList w = call.section('*', 0, 0).split(' ');
            const int arg = w.value(1, QStringLiteral("-1")).toInt();
            const int key = QStringList{"next", "previous", "return", "default"}.indexOf(w[0]);   // as DiscMenu::Key
            for (int times = call.section('*', 1).toInt(), k = 0; k < std::max(times, 1); ++k) {
                last = w[0] == "start"    ? menu.start()
                       : w[0] == "ended"  ? menu.itemEnded(true)
                       : w[0] == "failed" ? menu.itemEnded(false)
                       : w[0] == "wait"   ? menu.waitEnded()
                       : w[0] == "click"  ? menu.click(arg, w.value(2).toInt())
                       : key >= 0         ? menu.press(DiscMenu::Key(key), arg)
                                          : menu.number(w[0].toInt());
                if (last.kind != MenuStep::Kind::Play)
                    break;
            }
        }
        QTEST(describe(last, menu), "step");
    }

    // Whether a typed number waits for more digits: only where a selection number goes on from it.
    void numberCanGrow()
    {
        const PlaybackControl many = tables("clip"), disc = tables("vcd");
        DiscMenu ten(many, {}), vcd(disc, {});
        ten.start(), vcd.start();
        QCOMPARE(std::make_tuple(ten.numberCanGrow(1), ten.numberCanGrow(2), ten.numberCanGrow(10),
                                 ten.hasAreas(), vcd.numberCanGrow(1), vcd.takesNumbers(), vcd.hasAreas()),
                 std::make_tuple(true, false, false, false, false, true, true));
    }
};

QTEST_GUILESS_MAIN(TestDiscMenu)
#include "tst_disc_menu.moc"
