// The Linux layer without the window: the image drive on images made by vcdimager, as people have them and damaged;
// discs laid out as folders; drives from sysfs and mounts.
#include "disc/DiscEntries.h"
#include "platform/LinuxCdDevice.h"
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxPlatform.h"
#include "platform/DiscSource.h"
#include "support/MemoryImage.h"
#include "support/TestMedia.h"

#include <QtTest>
#include <linux/cdrom.h>
#include <sys/stat.h>

using namespace tavero;
using namespace tavero::test;

namespace {

void write(const QString &path, const QByteArray &bytes = "x")
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

// sysfs, the mount table, discs as folders and the drives' links, as files.
struct Machine {
    QTemporaryDir dir;
    const QString top = dir.path() + '/';
    LinuxCdPaths paths{top + "sys", top + "mountinfo", top + "dev", top + "links"};
    std::shared_ptr<LinuxCdDrives> cd = std::make_shared<LinuxCdDrives>(paths);
    CdDriveStatus drive;
    LinuxCdAudioDevice device{cd, [this](const QString &) { return drive; }};
    LinuxDriveQuery query{cd};

    // Block devices: "sr1" has the device number 11:1, "name=text" that text.
    explicit Machine(const QStringList &blocks)
    {
        for (const QString &b : blocks)
            write(paths.sysBlock + '/' + b.section('=', 0, 0) + "/dev",
                  (b.contains('=') ? b.section('=', 1) : "11:" + b.mid(2)).toLatin1());
    }
    int open() { return device.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0); }
    QString status()
    {
        QString reply;
        const int code = device.sendCommand("status cd media present", &reply, 255);
        return code ? QStringLiteral("error %1: %2").arg(code).arg(reply) : reply;
    }
};

using Image = MemoryImage;

// An image file's sectors to its very last, in memory.
Image imageOf(const QString &path)
{
    Image image;
    QString error;
    const auto whole = openSectorSource(path, &error);
    if (!whole)
        qFatal("%s", qPrintable(error));
    image.data.resize(whole->sectorCount() * kSectorBytes);
    if (!whole->read(0, int(whole->sectorCount()), image.at(0)))
        qFatal("%s cannot be read", qPrintable(path));
    return image;
}

// A Nero image of the disc in `bin` (raw sectors laid out as vcdimager's cue sheet says): disc
// at once with 32- or 64-bit offsets, the first track's pregap of `lead` sectors in the file, or
// `etnf`'s track-at-once table in the newer form.
QByteArray nero(QByteArray bin, bool v55, int lead = 0, const QByteArray &etnf = {})
{
    bin.prepend(QByteArray(lead * 2352, '\0'));
    const auto be = [](quint64 v, int bytes) {
        QByteArray b(bytes, '\0');
        for (int i = bytes - 1; i >= 0; --i, v >>= 8)
            b[i] = char(v & 0xFF);
        return b;
    };
    const qint64 table = bin.size(), w = v55 ? 8 : 4;
    QByteArray chunk;
    if (etnf.isEmpty()) {   // pregap, start and end of each track, 2352-byte Mode 2 sectors
        chunk = (v55 ? "DAOX" : "DAOI") + be(22 + 3 * (18 + 3 * w), 4) + QByteArray(20, '\0') + "\1\3";
        for (const auto &[pregap, start, end] : {std::tuple{0, 0, 300}, {300, 450, 673}, {673, 823, 1196}})
            chunk += QByteArray(12, '\0') + be(2352, 2) + "\6" + QByteArray(3, '\0')
                     + be((pregap ? pregap + lead : 0) * 2352, w) + be((start + lead) * 2352, w) + be((end + lead) * 2352, w);
    } else {
        chunk = "ETN2" + be(etnf.size() / 20 * 32, 4);
        for (qsizetype e = 0; e + 20 <= etnf.size(); e += 20)
            chunk += QByteArray(4, '\0') + etnf.mid(e, 4) + QByteArray(4, '\0') + etnf.mid(e + 4, 16) + QByteArray(4, '\0');
    }
    return bin + chunk + "END!" + be(0, 4) + (v55 ? "NER5" + be(table, 8) : "NERO" + be(table, 4));
}

// A machine for drivesAndRoots: its block devices (as Machine takes them), its mount table, the drives
// listed and the disc check's answer.
struct Drives { QStringList blocks; QByteArray mounts; QStringList drives; QString disc; };

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT
    QTemporaryDir images_;

    QString put(const QString &name, const QByteArray &bytes)
    {
        write(images_.filePath(name), bytes);
        return images_.filePath(name);
    }
    QString link(const QString &name, const QString &target)
    {
        QDir().mkpath(QFileInfo(images_.filePath(name)).path());
        QFile::link(target, images_.filePath(name));
        return images_.filePath(name);
    }

private slots:
    // Every kind of image goes into the program's own drive and plays as made, however its cue sheet names its data;
    // a damaged one says why; one that holds no disc is left for the player to try as a media file.
    void imageDrive_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("says");   // the drive list, or the message
        QTest::addColumn<int>("tracks");
        const auto made = [](const char *kind) { return TestMedia::vcdImage(kind); };
        const QString no = "Cannot open \"%1\": ", vcd = "disc-image TESTVCD", bin = made("bin");
        QFile binFile(bin), cueFile(made("cue")), nrgFile(made("nrg"));
        QVERIFY(binFile.open(QIODevice::ReadOnly) && cueFile.open(QIODevice::ReadOnly) && nrgFile.open(QIODevice::ReadOnly));
        const QByteArray image = binFile.readAll(), cue = cueFile.readAll(), tao = nrgFile.readAll();
        QVERIFY(cue.contains("INDEX 00 00:04:00") && cue.contains("INDEX 00 00:08:73"));   // tracks 2, 3 at 300, 673
        for (const char *kind : {"cue", "bin", "nrg", "toc"})
            QTest::newRow(kind) << made(kind) << vcd << 2;
        QTest::newRow("2336") << made("2336") << "disc-image T2336" << 1;
        QTest::newRow("2336 bin") << made("2336bin") << "disc-image T2336" << 1;
        // Cue sheets as people have them, each in a folder of its own with the data file it names.
        const auto sheet = [&](const char *row, const QString &data, const QByteArray &text) {
            link(QString(row) + '/' + data, bin);
            QTest::newRow(row) << put(QString(row) + "/Trip.cue", text) << vcd << 2;
        };
        const auto naming = [&](const QByteArray &name) { return QByteArray(cue).replace("\"disc.bin\"", name); };
        sheet("img", "disc.img", naming("\"disc.img\""));
        sheet("named otherwise", "disc.bin", cue);
        sheet("windows path", "disc.bin", naming("\"C:\\Rips\\Trip\\disc.bin\""));
        sheet("letter case", "disc.bin", naming("\"DISC.BIN\"").toLower());
        sheet("bom, crlf", "disc.bin", "\xEF\xBB\xBF" + QByteArray(cue).replace("\n", "\r\n"));
        sheet("unquoted", "My Trip.bin", naming("My Trip.bin"));
        sheet("relative to elsewhere", "Trip.bin", naming("\"Discs/Trip.bin\""));   // vcdimager run from above
        sheet("renamed", "Trip.bin", naming("\"Our Trip.bin\""));
        sheet("renamed, img", "Trip.IMG", naming("\"Our Trip.bin\""));
        sheet("latin-1", "Caf\u00e9.bin", naming("\"Caf\xe9.bin\""));
        sheet("another bin", "b.bin", naming("\"b.bin\""));
        link("another bin/Trip.bin", made("2336bin"));   // its own name's, with another disc
        // One file per track, each track's pregap at the start of its file.
        QByteArray split;
        const qint64 tracks[] = {0, 300, 673, image.size() / 2352};
        for (int t = 0; t < 3; ++t) {
            put(QString("split/t%1.bin").arg(t + 1), image.mid(tracks[t] * 2352, (tracks[t + 1] - tracks[t]) * 2352));
            split += QString("FILE \"t%1.bin\" BINARY\n  TRACK 0%1 MODE2/2352\n").arg(t + 1).toLatin1()
                     + (t ? "    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n" : "    INDEX 01 00:00:00\n");
        }
        QTest::newRow("file per track") << put("split/Trip.cue", split) << vcd << 2;
        // A track whose pregap ends the file before its own (as some rippers write them).
        const qint64 cuts[] = {0, 450, 823, image.size() / 2352};
        for (int t = 0; t < 3; ++t)
            put(QString("before/t%1.bin").arg(t + 1), image.mid(cuts[t] * 2352, (cuts[t + 1] - cuts[t]) * 2352));
        QTest::newRow("pregap ending the file before")
            << put("before/Trip.cue", "FILE \"t1.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
                                      "  TRACK 02 MODE2/2352\n    INDEX 00 00:04:00\nFILE \"t2.bin\" BINARY\n    INDEX 01 00:00:00\n"
                                      "  TRACK 03 MODE2/2352\n    INDEX 00 00:02:73\nFILE \"t3.bin\" BINARY\n    INDEX 01 00:00:00\n")
            << vcd << 2;
        // Tracks of 2336-byte sectors after one of 2352 in one file, its pregap in the file too.
        QByteArray mixed = QByteArray(150 * 2352, '\0') + image.left(300 * 2352);
        for (qint64 s = 300; s < image.size() / 2352; ++s)
            mixed += image.mid(s * 2352 + 16, 2336);
        QTest::newRow("sector sizes mixed") << put("mixed/Trip.cue", "FILE \"Trip.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n"
            "  TRACK 02 MODE2/2336\n    INDEX 00 00:06:00\n    INDEX 01 00:08:00\n  TRACK 03 MODE2/2336\n    INDEX 00 00:10:73\n    INDEX 01 00:12:73\n")
                                            << vcd << 2;
        put("mixed/Trip.bin", mixed);
        // A table of contents with sub-channel data after each sector, pregaps it only counts, offsets into one file.
        QByteArray sub;
        for (qint64 s = 0; s < image.size() / 2352; ++s)
            sub += image.mid(s * 2352, 2352) + QByteArray(96, '\0');
        put("sub/disc.sub", sub);
        QTest::newRow("toc offsets, sub-channel") << put("sub/disc.toc", "CD_ROM_XA\nTRACK MODE2_RAW RW_RAW\nDATAFILE \"disc.sub\" 00:04:00\n"
            "TRACK MODE2_RAW RW_RAW\nPREGAP 00:02:00\nDATAFILE \"disc.sub\" #" + QByteArray::number(450 * 2448) + " 00:02:73 // 223\n"
            "TRACK MODE2_RAW RW_RAW\nPREGAP 00:02:00\nDATAFILE \"disc.sub\" #" + QByteArray::number(823 * 2448) + "\n") << vcd << 2;
        QTest::newRow("nero dao") << put("dao.nrg", nero(image, false)) << vcd << 2;
        QTest::newRow("nero 5.5 dao, first pregap") << put("daox.nrg", nero(image, true, 150)) << vcd << 2;
        const qsizetype etnf = tao.indexOf("ETNF");
        QTest::newRow("nero 5.5 tao") << put("etn2.nrg", nero(tao.left(etnf), true, 0, tao.mid(etnf + 8, 60))) << vcd << 2;
        QTest::newRow("clonecd") << (link("clone/Trip.v1.img", bin), put("clone/TRIP.V1.CCD", "[CloneCD]\n")) << vcd << 2;
        QTest::newRow("clonecd img") << images_.filePath("clone/Trip.v1.img") << vcd << 2;
        QTest::newRow("alcohol") << (link("alcohol/Trip.MDF", bin), put("alcohol/Trip.mds", "MEDIA DESCRIPTOR")) << vcd << 2;
        // Damaged, or no disc.
        QVERIFY(::mkfifo(QFile::encodeName(images_.filePath("pipe.bin")).constData(), 0600) == 0);
        const QByteArray track = "\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n";
        const auto refused = [&](const char *row, const QString &name, const QByteArray &bytes, const QString &says) {
            QTest::newRow(row) << put(name, bytes) << no + says << 0;
        };
        refused("gone", "gone.cue", "FILE \"gone.bin\" BINARY" + track, "the cue sheet names \"gone.bin\", which cannot be found.");
        refused("pipe", "pipe.cue", "FILE pipe.bin BINARY" + track, "the cue sheet names \"pipe.bin\", which is not an ordinary file.");
        refused("notes", "notes.cue", "shopping list\n", "it is not a cue sheet.");
        refused("wave", "wave.cue", "FILE \"a.wav\" WAVE" + track,
                "the cue sheet is damaged at line 1: \"a.wav\" is a file of type WAVE, which holds no disc's sectors.");
        refused("audio cd", "audio.cue", "FILE \"cut.bin\" BINARY" + QByteArray(track).replace("MODE2/2352", "AUDIO"),
                "its first track holds no data (an audio CD?).");
        refused("toc fifo", "fifo.toc", "CD_ROM\nTRACK MODE1\nFIFO \"pipe.bin\" 00:04:00\n",
                "the table of contents is damaged at line 3: \"FIFO\" is not understood.");
        refused("chunk past the table", "past.nrg", QByteArray(tao).replace(tao.lastIndexOf("END!") + 4, 4, QByteArray("\0\0\0\4", 4)),
                "the Nero image is damaged: a chunk runs past the end of the table.");
        refused("footer outside", "out.nrg", QByteArray(tao).replace(tao.size() - 4, 4, QByteArray::fromHex("001ff0fa")),
                "the Nero image is damaged: its table of chunks lies outside the file.");
        refused("a sheet past 64 KiB", "huge.cue", "FILE \"disc.bin\" BINARY" + track + QByteArray(70000, ' '),
                "it is not a cue sheet (it is larger than 64 KiB).");
        refused("ccd alone", "lone.ccd", "[CloneCD]\n", "its sectors belong in \"lone.img\" beside it, which cannot be found.");
        refused("cut", "cut.bin", image.left(2352 * 19), "its directory cannot be read: the image is cut short");
        QTest::newRow("firmware") << put("firmware.bin", QByteArray(200000, 'Z')) << "(no image)" << 0;
        QTest::newRow("sheet for no file system") << put("fw.cue", "FILE \"firmware.bin\" BINARY" + track) << "(no image)" << 0;
        QTest::newRow("no video cd") << put("data.bin", QByteArray(image).replace("MPEGAV", "MPEGXX")) << "(no Video CD)" << 0;
        // A Super Video CD's tracks are in a folder of another name.
        QTest::newRow("svcd folder") << put("s.bin", QByteArray(image).replace(QByteArray("\6MPEGAV", 8), "\7MPEGSAV"))
                                     << "disc-image TESTVCD" << 0;
    }

    void imageDrive()
    {
        QFETCH(QString, image);
        QFETCH(QString, says);
        QFETCH(int, tracks);
        Machine m({});
        QFile clip(TestMedia::mpegClip(2.0));
        QCOMPARE(std::pair(clip.open(QIODevice::ReadOnly), m.open()), std::pair(true, 0));
        const QByteArray mpeg = clip.readAll();
        const DiscImages::Result r = m.cd->insertImage(image);
        const QStringList drives = m.query.drives();
        const QString said = QStringList{"(no image)", "(no Video CD)", drives.join(','), r.error}[int(r.outcome)];
        QVERIFY2(said.startsWith(QString(says).replace("%1", image)), qPrintable(said));
        // While an image is in, the image drive is the CD drive, and holds that disc alone.
        const bool in = r.outcome == DiscImages::Outcome::Inserted;
        const QString root = m.query.driveRoot("disc-image");
        QCOMPARE(m.status(), in ? "true" : "false");
        QCOMPARE(QDir(root + "..").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), int(in));
        const QStringList names = QDir(root + "MPEGAV").entryList(QDir::Files);
        QCOMPARE(names.size(), tracks);
        for (const QString &name : names) {
            const auto track = m.cd->tracks()->find(root + "MPEGAV/" + name);
            const QByteArray data = readAll(track);
            QVERIFY2(data.mid(data.indexOf(QByteArray("\0\0\1\xBA", 4)), mpeg.size()) == mpeg, qPrintable(name));
            // The size shown is what plays; the demuxer seeks to the very end for the length.
            DiscTrackReader reader(track);
            QCOMPARE(QFileInfo(root + "MPEGAV/" + name).size(), data.size());
            QVERIFY(reader.seek(data.size()) && reader.read(nullptr, 1) == 0 && !reader.seek(data.size() + 1));
        }
        // Every other file of the disc reads as long as it is shown.
        for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            QVERIFY2(path.contains("/MPEGAV/") || readAll(m.cd->tracks()->find(path)).size() == it.fileInfo().size(),
                     qPrintable(path));
        }
        QCOMPARE(m.cd->ejectImage(), in);
        QVERIFY(m.query.drives().isEmpty());
    }

    // A crafted directory gives a message or a disc, never a crash, a hang, or a file laid out
    // outside the disc's folder or beside one named so but for letter case.
    void damagedDiscs()
    {
        const Image base = imageOf(TestMedia::vcdImage("bin"));
        QTemporaryDir out;
        DiscFolders folders(out.path(), [] { return QList<MountRecord>(); });
        const auto tryImage = [&](auto change) {
            auto image = std::make_unique<Image>(base);
            change(*image);
            QString why;
            const auto disc = Disc::open(std::move(image), &why);
            QVERIFY(disc || !why.isEmpty());
            if (disc)
                disc->firstTrackReadable();
            for (std::size_t e = 0; disc && e < disc->tree().entries.size(); ++e)   // each file taken for a track
                entryTimes(disc->track(disc->tree().entries[e]));
            const QString folder = disc ? folders.lay(disc, "fuzz") : "/nonexistent";
            QSet<QString> seen;
            QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                const auto track = folders.find(path);   // laid out with the size it plays
                const qint64 size = it.fileInfo().size();
                QVERIFY2(it.fileInfo().canonicalFilePath().startsWith(folder + '/'), qPrintable(path));
                QVERIFY2(!seen.contains(path.toLower()), qPrintable(path));
                QVERIFY2(!track || track->entry.folder || size == DiscTrackReader(track).size(), qPrintable(path));
                seen << path.toLower();
            }
            folders.remove(folder);
        };
        // By hand: sizes that wrap, records of length 0 or past a sector, a folder in itself, odd names.
        tryImage([](Image &m) { qToLittleEndian<quint32>(0xFFFFFFF0u, m.block(Image::kPvd) + 156 + 10); });
        tryImage([](Image &m) { qToLittleEndian<quint32>(0xFFFFFFF0u, m.record("MPEGAV") + 10); });
        tryImage([](Image &m) { m.block(Image::kRoot)[0] = 0; });
        tryImage([](Image &m) { m.record("MPEGAV")[0] = 255; });
        tryImage([](Image &m) { m.block(Image::kRoot)[2000] = 200; });
        tryImage([](Image &m) { qToLittleEndian<quint32>(Image::kRoot, m.record("MPEGAV") + 2); });
        tryImage([](Image &m) { m.data.replace("MPEGAV", "..EGAV"); });
        tryImage([](Image &m) { m.data.replace("MPEGAV", "A/../V"); });
        tryImage([](Image &m) { m.data.replace("\3EXT", "\3vcd"); });
        // Up through a folder laid out before it, out of the disc's folder.
        tryImage([](Image &m) { m.data.replace(m.data.indexOf("\6MPEGAV"), 20, "\23EXT/../../../../ESC"); });
        QVERIFY(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size() == 1);
    }

    // Which drives are listed, in what order, with what label, where their roots lead, and
    // which one the disc check asks; nothing in sysfs or the mount table upsets the list.
    void drivesAndRoots_data()
    {
        QTest::addColumn<Drives>("machine");
        QTest::newRow("optical drives by number, nothing else")
            << Drives{{"sr10", "sr2", "sr0", "sr1", "vda", "loop0", "srx", "sr1a"}, "", {"sr0", "sr1", "sr2", "sr10"}, "false"};
        QTest::newRow("discs and images mounted") << Drives{{"sr0", "sr1"},
             "1 1 11:0 /MPEGAV /mnt/bound ro shared:1 - iso9660 /dev/sr0 ro\n"   // a folder of the disc, bound
             "2 1 11:0 / /media/u/My\\040Video\\011CD\\012\\134 ro master:1 shared:2 - iso9660 /dev/sr0 ro\n"
             "3 1 11:1 / /media/u/SECOND ro - udf /dev/cdrom1 ro\n"               // by its device number
             "4 1 7:3 / /mnt/ISO ro - iso9660 /dev/loop3 ro\n5 1 7:3 / /mnt/again ro - iso9660 /dev/loop3 ro\n"
             "6 1 7:10 / /mnt/UDF ro - udf /dev/loop10 ro\n7 1 7:0 / /mnt/EXT4 ro - ext4 /dev/loop0 ro\n"
             "8 1 7:2 / /mnt/SQUASH ro - squashfs /dev/loop2 ro\n9 1 0:60 / /mnt/F ro - iso9660 /home/u/a.iso ro\n",
             {"sr0 My Video\tCD\n\\", "sr1 SECOND", "image0 ISO", "image1 UDF"}, "true"};
        QTest::newRow("garbage in sysfs and the mount table") << Drives{{"sr0=garbage", "sr1=" + QString(100, QChar(0))},
             QByteArray(3000, '\0') + QByteArray(3000, '\xff') + QByteArray(3000, ' ')
                 + "\n1 1 11:0 / /x\\ ro - iso9660 /dev/sr0 ro\n1 1 7:0 / /y\\04\\9 ro - udf /dev/loop0 ro\n"
                   "garbage\n1 2 3 4 5 6 - \n- - - - - - - - -\n1 1 7:1 / relative ro - udf /dev/loop1 ro\n"
                   "1 1 7:2 / /y ro shared:1 udf /dev/loop2 ro\n1 1 7:3 / /z ro - udf\n",
             {"sr0 x\\", "sr1", "image0 y\\04\\9"}, "true"};
        QTest::newRow("an image, no optical drive") << Drives{{}, "1 1 7:2 / /mnt/IMG ro - iso9660 /dev/loop2 ro\n", {"image0 IMG"}, "true"};
        QTest::newRow("no drive at all") << Drives{{}, "", {}, "false"};
    }

    void drivesAndRoots()
    {
        QFETCH(Drives, machine);
        Machine m(machine.blocks);
        write(m.paths.mountInfo, machine.mounts);
        QVERIFY(m.open() == 0 && m.status() == machine.disc);
        QCOMPARE(m.query.drives(), machine.drives);
        for (const QString &entry : machine.drives) {
            const QString link = m.paths.links + '/' + entry.section(' ', 0, 0);
            QVERIFY(m.query.driveRoot(entry) == link + '/' && m.query.driveType(link) == DriveQuery::kCdRom);
            QCOMPARE(QFileInfo(link).symLinkTarget().section('/', -1), entry.section(' ', 1));
        }
        write(m.paths.sysBlock + "/sr9/dev", "11:9");   // plugged in: the next look has it
        QCoreApplication::processEvents();
        QVERIFY(m.query.drives().contains("sr9"));
    }

    // The drives' links go into a folder of the user's own, elsewhere when a file is in the way.
    void linkFolder()
    {
        QTemporaryDir runtime;
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        write(runtime.path() + "/tavero-player");   // someone made a file of where the links go
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QByteArray links = QFile::encodeName(LinuxCdDrives().linkFolder());
        qputenv("XDG_RUNTIME_DIR", saved);
        struct stat st {};
        QVERIFY(::lstat(links.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
                && (st.st_mode & 077) == 0 && !links.startsWith(QFile::encodeName(runtime.path())));
        ::rmdir(links.constData());
    }

    // The disc check and the drive's root follow the disc put in, swapped and taken out; the
    // drive's word counts over a stale mount; a drive that fails says why, with MCI's codes.
    void discInAndOut()
    {
        Machine m({"sr0", "sr1"});
        QVERIFY(m.status() == "error 263: " && m.open() == 0);   // not opened yet: the alias is unknown
        const QString dev = m.paths.devices + "/sr0: ";
        // A disc of two tracks; another of five (beside what is no track) mounted elsewhere.
        for (const char *f : {"A/MPEGAV/AVSEQ01.DAT", "A/MPEGAV/AVSEQ02.DAT", "B/mpegav/1.dat", "B/mpegav/2.DAT",
                              "B/mpegav/3.dat", "B/mpegav/4.dat", "B/mpegav/.5.dat", "B/mpegav/6.dat/x"})
            write(m.top + f);
        QVERIFY(::symlink("1.dat", qPrintable(m.top + "B/mpegav/7.dat")) == 0);
        const QByteArray first = "1 1 11:0 / " + QFile::encodeName(m.top + "A") + " ro - iso9660 /dev/sr0 ro\n",
                         second = QByteArray(first).replace("/A ro", "/B ro");
        const struct { CdDriveStatus drive; QByteArray mounts; QString status; int tracks; } steps[] = {
            {{0, 0, CDS_DISC_OK}, first, "true", 2}, {{0, 0, CDS_DISC_OK}, second, "true", 5},
            {{0, 0, CDS_NO_DISC}, second, "false", 5}, {{0, 0, CDS_NO_INFO}, second, "true", 5},
            {{0, 0, CDS_DISC_OK}, "", "true", 0},   // nobody mounted it: it is read in the background
            {{0, 0, CDS_DRIVE_NOT_READY}, "", "error 276: " + dev + "the drive is not ready", 0},
            {{0, 0, 77}, "", "error 262: " + dev + "unknown drive status 77", 0},
            {{0, EIO, 0}, "", "error 262: " + dev + std::strerror(EIO), 0},
            {{ENOENT, 0, 0}, first, "error 262: " + dev + std::strerror(ENOENT), 2},   // unplugged
            {{0, 0, CDS_NO_INFO}, "", "false", 0}, {{0, 0, CDS_TRAY_OPEN}, "", "false", 0}};
        for (const auto &s : steps) {
            m.drive = s.drive;
            write(m.paths.mountInfo, s.mounts);
            QCoreApplication::processEvents();   // a look of its own, as each of the program's ticks
            QCOMPARE(m.status(), s.status);
            QCOMPARE(LinuxFileSystem().listFiles(m.query.driveRoot("sr0") + "Mpegav", "*.dat").names.size(), s.tracks);
        }
        // A "false" cut to fit would read as something else; a command it does not know is refused.
        QString reply;
        QCOMPARE(m.device.sendCommand("status cd media present", &reply, 4), LinuxCdAudioDevice::kParamOverflow);
        QCOMPARE(m.device.sendCommand(QString(999, 'x'), &reply, 9), LinuxCdAudioDevice::kUnrecognizedCommand);
        // The command line as the shell split it at a blank is one path again.
        char program[] = "tavero-player", my[] = "my", film[] = "film.mpg", *argv[] = {program, my, film};
        QCOMPARE(LinuxProgramInfo(3, argv).argumentText(), "my film.mpg");
        // The real ioctl, on a device node that is missing and on a file that is no drive.
        QCOMPARE(LinuxCdAudioDevice::queryDriveStatus(m.top + "sr9").openError, ENOENT);
        QCOMPARE(LinuxCdAudioDevice::queryDriveStatus(m.paths.mountInfo).queryError, ENOTTY);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
