// The disc reader alone, on bytes in memory: containers, the directory, a track's stream through scratches, entry
// points. Nothing here opens a drive or lays a disc out; the readers' crafted inputs are the fuzzers' (fuzz/).
#include "disc/DiscEntries.h"
#include "disc/DiscMenus.h"
#include "disc/ImageLayout.h"
#include "support/MemoryImage.h"
#include "support/PbcDiscs.h"
#include "support/TestMedia.h"

#include <QtTest>

using namespace tavero;
using namespace tavero::test;

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("%s cannot be read", qPrintable(path));
    return f.readAll();
}

// The data files a sheet names, from the folder it was made in, read into memory.
DataFileFinder filesBeside(const QString &sheet)
{
    auto opened = std::make_shared<QHash<QString, std::shared_ptr<const ByteSource>>>();
    return [folder = QFileInfo(sheet).path(), opened](const QString &name, bool, QString *why) {
        const QString path = folder + '/' + name.section('/', -1);
        if (!opened->contains(path) && QFileInfo(path).isFile())
            opened->insert(path, std::make_shared<MemoryBytes>(bytesOf(path)));
        *why = "which cannot be found";
        return opened->value(path);
    };
}

using Image = MemoryImage;

// A file of raw sectors, every one of them in the reader's shape.
std::unique_ptr<Image> imageOf(const QString &path)
{
    ImageLayout layout;
    QString error;
    if (!readRawImage(std::make_shared<MemoryBytes>(bytesOf(path)), &layout, &error))
        qFatal("%s: %s", qPrintable(path), qPrintable(error));
    const auto whole = makeImageSource(std::move(layout), &error);
    auto image = std::make_unique<Image>();
    image->data.resize(whole->sectorCount() * kSectorBytes);
    if (!whole->read(0, int(whole->sectorCount()), image->at(0)))
        qFatal("%s cannot be read", qPrintable(path));
    return image;
}

// Tables made by hand: INFO for disc `volume` of an album of two (`flags` at byte 43), a segment for
// each content byte (a file of 250 sectors unless it continues the one before), a LOT naming the
// lists in order, each list in 32 bytes: list n lies at (n - 1) x 32, a target to it is (n - 1) x 4.
PbcInput tables(const QList<QByteArray> &lists, int volume = 1, int flags = 0, const QByteArray &segments = {})
{
    const auto be = [](QByteArray &b, int at, int v) { b[at] = char(v >> 8), b[at + 1] = char(v); };
    PbcInput in{QByteArray(2048, '\0'), QByteArray(2048, '\xff'), {}, {}, {}, 2, 2, {}};
    in.info.replace(0, 8, "VIDEO_CD").replace(48, 3, QByteArray("\0\4\0", 3)).replace(56, segments.size(), segments);
    in.info[51] = 8, in.info[43] = char(flags);
    be(in.info, 26, 2), be(in.info, 28, volume), be(in.info, 46, int(lists.size()) * 32);
    be(in.info, 52, int(lists.size())), be(in.info, 54, int(segments.size()));
    for (int i = 0; i < lists.size(); ++i)
        be(in.lot, 2 + 2 * i, 4 * i), in.psd += lists[i].leftJustified(32, '\0');
    for (char c : segments)
        in.segmentBytes.push_back(c & 0x20 ? 0 : 250 * 2048);
    return in;
}
// A play list numbered `id` of one item, its next the list `next` (0: none), its wait as the disc gives it.
QByteArray playList(int id, int next, int wait, int item)
{
    QByteArray d = QByteArray::fromHex("100100000000ffffffffffff00000000ffff");
    d[3] = char(id), d[6] = char(next ? 0 : 0xff), d[7] = char(next ? 4 * (next - 1) : 0xff), d[12] = char(wait);
    d[14] = char(item >> 8), d[15] = char(item);
    return d.left(16);
}

} // namespace

class TestDisc : public QObject {
    Q_OBJECT

private slots:
    // Each container read from bytes gives the disc vcdimager made, its tracks' data as the clip.
    void containers_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("files");
        QTest::newRow("cue sheet") << "cue" << 1;
        QTest::newRow("table of contents, pregaps in files of their own") << "toc" << 5;
        QTest::newRow("nero") << "nrg" << 1;
        QTest::newRow("raw sectors") << "bin" << 1;
    }

    void containers()
    {
        QFETCH(QString, kind);
        QFETCH(int, files);
        const QString path = TestMedia::vcdImage(kind);
        ImageLayout layout;
        QString error;
        const auto file = std::make_shared<MemoryBytes>(bytesOf(path));
        const bool read = kind == "cue"   ? readCueSheet(bytesOf(path), filesBeside(path), &layout, &error)
                          : kind == "toc" ? readTocFile(bytesOf(path), filesBeside(path), &layout, &error)
                          : kind == "nrg" ? readNeroImage(file, &layout, &error)
                                          : readRawImage(file, &layout, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(int(layout.files.size()), files);
        const auto disc = Disc::open(makeImageSource(std::move(layout), &error), &error);
        QVERIFY2(disc, qPrintable(error));
        QCOMPARE(disc->label(), "TESTVCD");
        const std::vector<DiscEntry> tracks = disc->trackFiles();
        QCOMPARE(tracks.size(), std::size_t(2));
        const QByteArray mpeg = bytesOf(TestMedia::mpegClip(2.0)), data = readAll(disc->track(tracks[1]));
        QVERIFY(data.mid(data.indexOf(QByteArray("\0\0\1\xBA", 4)), mpeg.size()) == mpeg);
    }

    // A scratch costs a moment of the stream; a long unreadable stretch ends it, and says so until
    // the disc reads again.
    void scratches()
    {
        auto image = imageOf(TestMedia::vcdImage("bin"));
        Image &source = *image;
        // The first track claims 800 sectors, on into the next: room for more than the reader's patience.
        qToLittleEndian<quint32>(800 * 2048, source.record("AVSEQ01.DAT;1") + 10);
        QString error;
        const auto disc = Disc::open(std::move(image), &error);
        QVERIFY2(disc, qPrintable(error));
        const auto track = disc->track(disc->trackFiles()[0]);
        const QByteArray clean = readAll(track);
        const qint64 middle = track->entry.lsn + 100, hole = 100 * kForm2Bytes, scratch = 3 * kForm2Bytes;
        source.bad = {middle, middle + 1, middle + 2};
        QCOMPARE(readAll(track), clean.left(hole) + QByteArray(scratch, '\0') + clean.mid(hole + scratch));
        QVERIFY(!track->brokeOff);
        for (qint64 s = middle; s < middle + DiscTrackReader::kGiveUpSectors + 10; ++s)
            source.bad.insert(s);
        const qsizetype got = readAll(track).size();
        QVERIFY(track->brokeOff);
        QVERIFY(got >= hole && got < hole + DiscTrackReader::kGiveUpSectors * kForm2Bytes);
        source.bad.clear();
        QVERIFY(readAll(track) == clean);
        QVERIFY(!track->brokeOff);
    }

    // A track's entry points, in seconds as mpv counts them; a table that does not hold together
    // anywhere, or an entry where no pack starts, gives none at all.
    void entryPoints_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<qint64>("sector");
        QTest::addColumn<int>("at");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<double>>("times");
        const auto made = imageOf(TestMedia::vcdImage("chapters"));
        const QByteArray table(reinterpret_cast<const char *>(made->block(151)), 28);
        QCOMPARE(table.left(12), QByteArray("ENTRYVCD\2\0\0\3", 12));
        const auto bcd = [&](int at) { return (table[at] >> 4 & 15) * 10 + (table[at] & 15); };
        const qint64 entries = 151, second = (bcd(17) * 60 + bcd(18)) * 75 + bcd(19) - 150;   // the table; the second entry
        const QList<double> all{0, 4, 8}, none;
        QTest::newRow("as made") << "chapters" << entries << 0 << QByteArray() << all;
        QTest::newRow("two counted") << "chapters" << entries << 10 << QByteArray("\0\2", 2) << QList<double>{0, 4};
        QTest::newRow("count 0") << "chapters" << entries << 10 << QByteArray("\0\0", 2) << none;
        QTest::newRow("count 9999") << "chapters" << entries << 10 << QByteArray("\x27\x0F") << none;
        QTest::newRow("count 501") << "chapters" << entries << 10 << QByteArray("\x01\xF5") << none;
        // As it should be; vcdimager's are like ours.
        QTest::newRow("tag of a super video cd") << "chapters" << entries << 0 << QByteArray("ENTRYSVD") << all;
        QTest::newRow("tag of another table") << "chapters" << entries << 0 << QByteArray("TRACKSVD") << none;
        QTest::newRow("track of the file system") << "chapters" << entries << 16 << QByteArray("\x01") << none;
        QTest::newRow("track past the last") << "chapters" << entries << 16 << QByteArray("\x03") << none;
        QTest::newRow("not bcd") << "chapters" << entries << 18 << QByteArray("\x1A") << none;
        QTest::newRow("frame 75") << "chapters" << entries << 19 << QByteArray("\x75") << none;
        QTest::newRow("before the track") << "chapters" << entries << 17 << QByteArray("\0\5\0", 3) << none;
        QTest::newRow("past the track") << "chapters" << entries << 17 << QByteArray("\x79\0\0", 3) << none;
        QTest::newRow("out of order") << "chapters" << entries << 20 << table.mid(24, 4) + table.mid(20, 4) << none;
        QTest::newRow("no pack at the entry") << "chapters" << second << 0 << QByteArray("ZZZZ") << none;
        QTest::newRow("super video cd") << "svcd chapters" << entries << 0 << QByteArray() << all;
    }

    void entryPoints()
    {
        QFETCH(QString, image);
        QFETCH(qint64, sector);
        QFETCH(int, at);
        QFETCH(QByteArray, bytes);
        QFETCH(QList<double>, times);
        auto sectors = imageOf(TestMedia::vcdImage(image));
        std::memcpy(sectors->block(sector) + at, bytes.constData(), std::size_t(bytes.size()));
        QString error;
        const auto disc = Disc::open(std::move(sectors), &error);
        QVERIFY2(disc, qPrintable(error));
        const int track = disc->tree().child(disc->trackFolder(), image == "chapters" ? "AVSEQ01.DAT" : "AVSEQ01.MPG");
        QVERIFY(track > 0);
        const std::vector<double> got = entryTimes(disc->track(disc->tree().entries[std::size_t(track)]));
        QCOMPARE(got.size(), std::size_t(times.size()));
        for (std::size_t i = 0; i < got.size(); ++i)
            QVERIFY2(qAbs(got[i] - times[int(i)]) < 0.1, qPrintable(QString::number(got[i])));
    }

    // The rules of the tables at their edges: waits past a minute, keys up to 99, the album's last
    // disc, where a continued album starts, a damaged extended table no worse than the plain one,
    // a segment that runs on into its continuation.
    void menusByHand()
    {
        const auto list = [](const PlaybackControl &pbc, int number) { return pbc.lists[std::size_t(pbc.byNumber[std::size_t(number)])]; };
        PlaybackControl pbc = readPlaybackControl(tables({playList(1, 2, 61, 2), playList(2, 0, 254, 3)}));
        QCOMPARE(std::pair(std::get<PbcPlayList>(list(pbc, 1).body).wait.seconds, std::get<PbcPlayList>(list(pbc, 2).body).wait.seconds),
                 std::pair(70, 2000));
        QByteArray keys = QByteArray::fromHex("1800026200010000ffffffffffffffffff0000020000ffff"), end("\x1f\x02\0\0\0\0\0\0", 8);
        pbc = readPlaybackControl(tables({keys, end}));
        QVERIFY(pbc.usable());
        QCOMPARE(std::get<PbcSelectionList>(list(pbc, 1).body).selections.size(), std::size_t(2));   // keys 98 and 99
        QCOMPARE(std::get<PbcEndList>(pbc.lists.back().body).nextDisc, 2);
        for (int volume : {1, 2})
            QCOMPARE(readPlaybackControl(tables({playList(1, 2, 0, 2), playList(2, 1, 0, 3)}, volume, 0x20)).start,
                     pbc.byNumber[std::size_t(volume)]);
        PbcInput damaged = tables({playList(1, 2, 0, 2), playList(2, 1, 0, 2), QByteArray(1, '\x33')});   // a list of no known kind
        damaged.lotX = damaged.lot, damaged.psdX = damaged.psd;
        QVERIFY(readPlaybackControl(damaged).extended);
        pbc = readPlaybackControl(tables({playList(1, 0, 0, 1000)}, 1, 0, "\x04\x24"));
        QCOMPARE(std::get<PbcPlayList>(list(pbc, 1).body).items.at(0).sectors, 250u);
        QCOMPARE(std::pair(msfSectors("00:02:74"), msfSectors("00:02:75")), std::pair(std::int64_t(224), std::int64_t(-1)));   // 75 frames a second
    }

    // A disc's menus read through its directory: the extended tables where they hold together,
    // the plain ones where they are cut short; a disc without menus has none.
    void menus_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<int>("lists");
        QTest::newRow("video cd 2.0") << PbcDiscs::videoCd() << true << 6;
        QTest::newRow("super video cd") << PbcDiscs::superVideoCd() << false << 6;
        QTest::newRow("extended tables cut short") << PbcDiscs::cutExtended() << false << 6;
        QTest::newRow("none") << TestMedia::vcdImage("svcd") << false << 0;
    }

    void menus()
    {
        QFETCH(QString, image);
        QFETCH(bool, extended);
        QFETCH(int, lists);
        ImageLayout layout;
        QString error;
        QVERIFY2(readCueSheet(bytesOf(image), filesBeside(image), &layout, &error), qPrintable(error));
        const auto disc = Disc::open(makeImageSource(std::move(layout), &error), &error);
        QVERIFY2(disc, qPrintable(error));
        const PlaybackControl menus = readDiscMenus(*disc);
        QCOMPARE(menus.usable(), lists > 0);
        QCOMPARE(menus.extended, extended);
        QCOMPARE(int(menus.lists.size()), lists);
        if (lists) {   // the menu's still, where the disc's directory has it
            const auto &menu = std::get<PbcSelectionList>(menus.lists[std::size_t(menus.start)].body);
            const int still = disc->tree().find(segmentPath(menu.item.number, menus.kind));
            QVERIFY(still > 0);
            QCOMPARE(disc->tree().entries[std::size_t(still)].lsn, menu.item.lsn);
            // The waits and cuts as authored: the menu's timeout and loops, the slide show's cut and wait.
            const auto &show = std::get<PbcPlayList>(menus.lists[std::size_t(menus.byNumber[4])].body);
            QCOMPARE(std::tuple(menu.timeout.seconds, menu.loops, show.playTime, show.wait.seconds), std::tuple(5, 2, 3.0, 90));
            QCOMPARE(int(show.items.size()), 3);
        }
    }
};

QTEST_GUILESS_MAIN(TestDisc)
#include "tst_disc.moc"
