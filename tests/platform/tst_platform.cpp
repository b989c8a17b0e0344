// The Linux layer without the window: the disc reader and the image drive on
// images made by vcdimager, damaged and crafted; drives from sysfs and mounts.
#include "platform/LinuxCdDevice.h"
#include "platform/LinuxFileSystem.h"
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

// A disc image in memory, whose sectors can be changed or refuse to be read.
struct Image : SectorSource {
    static constexpr qint64 kPvd = 16, kRoot = 18;   // the volume descriptor, the top folder
    QByteArray data;
    QSet<qint64> bad;
    bool read(std::int64_t lsn, int count, unsigned char *out) override
    {
        for (qint64 s = lsn; s < lsn + count; ++s)
            if (s < 0 || s >= sectorCount() || bad.contains(s))
                return false;
        std::memcpy(out, at(lsn * kSectorBytes), std::size_t(count) * kSectorBytes);
        return true;
    }
    std::int64_t sectorCount() const override { return data.size() / kSectorBytes; }
    uchar *at(qsizetype offset) { return reinterpret_cast<uchar *>(data.data()) + offset; }
    uchar *block(qint64 lsn) { return at(lsn * kSectorBytes + kSubheaderBytes); }
    // A directory record, found by its name and the name's length before it.
    uchar *record(const QByteArray &name) { return at(data.indexOf(char(name.size()) + name) - 32); }
};

// What the player reads of a track: all of it, or up to where the stream gave out.
QByteArray readAll(const std::shared_ptr<DiscTrack> &track)
{
    QByteArray out, buf(65536, '\0');
    DiscTrackReader reader(track);
    for (std::int64_t n; (n = reader.read(buf.data(), std::uint64_t(buf.size()))) > 0;)
        out.append(buf.constData(), n);
    return out;
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    // Every kind of image goes into the program's own drive and plays as made; a damaged one
    // says why; one that holds no disc is left for the player to try as a media file.
    void imageDrive()
    {
        Machine m({});
        QFile bin(TestMedia::vcdImage("bin")), clip(TestMedia::mpegClip(2.0));
        QVERIFY(bin.open(QIODevice::ReadOnly) && clip.open(QIODevice::ReadOnly) && m.open() == 0);
        const QByteArray image = bin.readAll(), mpeg = clip.readAll();
        QVERIFY(::mkfifo(QFile::encodeName(m.top + "pipe.bin").constData(), 0600) == 0);
        const QString no = "Cannot open \"%1\": ";
        const auto made = [](const char *kind) { return TestMedia::vcdImage(kind); };
        const struct { QString image; QByteArray bytes; QString says; int tracks = 0; } cases[] = {
            {made("toc"), {}, no + "its Video CD tracks read as empty"},   // cdrdao's
            {m.top + "gone.cue", "FILE \"gone.bin\" BINARY\nTRACK 01 MODE2/2352\n",
             no + "the cue sheet names \"gone.bin\", which cannot be found."},
            {m.top + "pipe.cue", "FILE pipe.bin BINARY\nTRACK 01 MODE2/2352\n",
             no + "the cue sheet names \"pipe.bin\", which is not an ordinary file."},
            {m.top + "notes.cue", "shopping list\n", no + "it is not a cue sheet."},
            {m.top + "cut.bin", image.left(2352 * 19), no + "its directory cannot be read: the image is cut short"},
            {m.top + "firmware.bin", QByteArray(200000, 'Z'), "(no image)"},
            {m.top + "data.bin", QByteArray(image).replace("MPEGAV", "MPEGXX"), "(no Video CD)"},
            // A Super Video CD's tracks are in a folder of another name.
            {m.top + "s.bin", QByteArray(image).replace(QByteArray("\6MPEGAV", 8), "\7MPEGSAV"), "disc-image TESTVCD"},
            {made("cue"), {}, "disc-image TESTVCD", 2}, {made("bin"), {}, "disc-image TESTVCD", 2},
            {made("nrg"), {}, "disc-image TESTVCD", 2}, {made("2336"), {}, "disc-image T2336", 1},
            {made("2336bin"), {}, "disc-image T2336", 1}};
        // libcdio looks for a .toc's data files in the current folder.
        const QString here = QDir::currentPath();
        QDir::setCurrent(QFileInfo(made("toc")).path());
        auto back = qScopeGuard([&] { QDir::setCurrent(here); });
        for (const auto &c : cases) {
            if (!c.bytes.isEmpty())
                write(c.image, c.bytes);
            const DiscImages::Result r = m.cd->insertImage(c.image);
            const QStringList drives = m.query.drives();
            const QString said = QStringList{"(no image)", "(no Video CD)", drives.join(','), r.error}[int(r.outcome)];
            // While an image is in, the image drive is the CD drive, and holds that disc alone.
            const bool in = r.outcome == DiscImages::Outcome::Inserted;
            const QString root = m.query.driveRoot("disc-image"), folder = root + "MPEGAV/";
            QVERIFY2(said.startsWith(QString(c.says).replace("%1", c.image)) && drives.size() == in
                         && m.status() == (in ? "true" : "false")
                         && QDir(folder).entryList(QDir::Files).size() == c.tracks
                         && QDir(root + "..").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() == in,
                     qPrintable(said));
            for (const QString &name : QDir(folder).entryList(QDir::Files)) {
                const QByteArray data = readAll(m.cd->tracks()->find(folder + name));
                QVERIFY2(data.mid(data.indexOf(QByteArray("\0\0\1\xBA", 4)), mpeg.size()) == mpeg, qPrintable(name));
                // The size shown is what plays; the demuxer seeks to the very end for the length.
                DiscTrackReader reader(m.cd->tracks()->find(folder + name));
                QVERIFY(QFileInfo(folder + name).size() == data.size() && reader.seek(data.size())
                        && reader.read(nullptr, 1) == 0 && !reader.seek(data.size() + 1));
            }
        }
        QVERIFY(m.cd->ejectImage() && m.query.drives().isEmpty());
    }

    // A scratch costs a moment of the stream; a long unreadable stretch ends it, and says so until
    // the disc reads again. A crafted directory gives a message or a disc, never a crash, a hang,
    // or a file laid out outside the disc's folder or beside one named so but for letter case.
    void damagedDiscs()
    {
        Image base;
        QString error;
        const auto whole = openSectorSource(TestMedia::vcdImage("bin"), &error);   // to its very last sector
        QVERIFY2(whole, qPrintable(error));
        base.data.resize(whole->sectorCount() * kSectorBytes);
        QVERIFY(whole->read(0, int(whole->sectorCount()), base.at(0)));
        QTemporaryDir out;
        DiscFolders folders(out.path(), "/nonexistent");
        auto image = std::make_unique<Image>(base);
        Image &source = *image;
        // The first track claims 800 sectors, on into the next: room for more than the reader's patience.
        qToLittleEndian<quint32>(800 * 2048, source.record("AVSEQ01.DAT;1") + 10);
        const auto track = folders.find(folders.lay(Disc::open(std::move(image), &error), "s") + "/MPEGAV/AVSEQ01.DAT");
        QVERIFY2(track, qPrintable(error));
        const QByteArray clean = readAll(track);
        const qint64 middle = track->entry.lsn + 100, hole = 100 * kForm2Bytes, scratch = 3 * kForm2Bytes;
        source.bad = {middle, middle + 1, middle + 2};
        QVERIFY(readAll(track) == clean.left(hole) + QByteArray(scratch, '\0') + clean.mid(hole + scratch)
                && !track->brokeOff);
        for (qint64 s = middle; s < middle + DiscTrackReader::kGiveUpSectors + 10; ++s)
            source.bad.insert(s);
        const qsizetype got = readAll(track).size();
        QVERIFY(track->brokeOff && got >= hole && got < hole + DiscTrackReader::kGiveUpSectors * kForm2Bytes);
        source.bad.clear();
        QVERIFY(readAll(track) == clean && !track->brokeOff);
        const auto tryImage = [&](auto change) {
            auto image = std::make_unique<Image>(base);
            change(*image);
            QString why;
            const auto disc = Disc::open(std::move(image), &why);
            QVERIFY(disc || !why.isEmpty());
            if (disc)
                disc->firstTrackReadable();
            const QString folder = disc ? folders.lay(disc, "fuzz") : "/nonexistent";
            QSet<QString> seen;
            QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                const auto track = folders.find(path);   // laid out with the size it plays
                const qint64 size = it.fileInfo().size();
                QVERIFY2(it.fileInfo().canonicalFilePath().startsWith(folder + '/') && !seen.contains(path.toLower())
                             && (!track || track->entry.folder || size == DiscTrackReader(track).size()),
                         qPrintable(path));
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
        // And a thousand with random bytes changed in the volume descriptor and the directory sectors.
        QRandomGenerator rng(2026);
        for (int i = 0; i < 1000 && !QTest::currentTestFailed(); ++i)
            tryImage([&](Image &m) {
                for (int f = 1 + int(rng.bounded(8)); f > 0; --f)
                    m.block(Image::kPvd + rng.bounded(6))[rng.bounded(2048)] = uchar(rng.bounded(256));
            });
    }

    // Which drives are listed, in what order, with what label, where their roots lead, and
    // which one the disc check asks; nothing in sysfs or the mount table upsets the list.
    void drivesAndRoots()
    {
        const struct { QStringList blocks; QByteArray mounts; QStringList drives; QString disc; } machines[] = {
            {{"sr10", "sr2", "sr0", "sr1", "vda", "loop0", "srx", "sr1a"}, "", {"sr0", "sr1", "sr2", "sr10"}, "false"},
            {{"sr0", "sr1"},
             "1 1 11:0 /MPEGAV /mnt/bound ro shared:1 - iso9660 /dev/sr0 ro\n"   // a folder of the disc, bound
             "2 1 11:0 / /media/u/My\\040Video\\011CD\\012\\134 ro master:1 shared:2 - iso9660 /dev/sr0 ro\n"
             "3 1 11:1 / /media/u/SECOND ro - udf /dev/cdrom1 ro\n"               // by its device number
             "4 1 7:3 / /mnt/ISO ro - iso9660 /dev/loop3 ro\n5 1 7:3 / /mnt/again ro - iso9660 /dev/loop3 ro\n"
             "6 1 7:10 / /mnt/UDF ro - udf /dev/loop10 ro\n7 1 7:0 / /mnt/EXT4 ro - ext4 /dev/loop0 ro\n"
             "8 1 7:2 / /mnt/SQUASH ro - squashfs /dev/loop2 ro\n9 1 0:60 / /mnt/F ro - iso9660 /home/u/a.iso ro\n",
             {"sr0 My Video\tCD\n\\", "sr1 SECOND", "image0 ISO", "image1 UDF"}, "true"},
            {{"sr0=garbage", "sr1=" + QString(100, QChar(0))},
             QByteArray(3000, '\0') + QByteArray(3000, '\xff') + QByteArray(3000, ' ')
                 + "\n1 1 11:0 / /x\\ ro - iso9660 /dev/sr0 ro\n1 1 7:0 / /y\\04\\9 ro - udf /dev/loop0 ro\n"
                   "garbage\n1 2 3 4 5 6 - \n- - - - - - - - -\n1 1 7:1 / relative ro - udf /dev/loop1 ro\n"
                   "1 1 7:2 / /y ro shared:1 udf /dev/loop2 ro\n1 1 7:3 / /z ro - udf\n",
             {"sr0 x\\", "sr1", "image0 y\\04\\9"}, "true"},
            {{}, "1 1 7:2 / /mnt/IMG ro - iso9660 /dev/loop2 ro\n", {"image0 IMG"}, "true"},   // no optical drive
            {{}, "", {}, "false"}};
        for (const auto &machine : machines) {
            Machine m(machine.blocks);
            write(m.paths.mountInfo, machine.mounts);
            QVERIFY(m.open() == 0 && m.status() == machine.disc);
            QCOMPARE(m.query.drives(), machine.drives);
            for (const QString &entry : machine.drives) {
                const QString link = m.paths.links + '/' + entry.section(' ', 0, 0);
                QVERIFY(m.query.driveRoot(entry) == link + '/' && m.query.driveType(link) == DriveQuery::kCdRom);
                QCOMPARE(QFileInfo(link).symLinkTarget().section('/', -1), entry.section(' ', 1));
            }
        }
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
            QCOMPARE(m.status(), s.status);
            QCOMPARE(LinuxFileSystem().listFiles(m.query.driveRoot("sr0") + "Mpegav", "*.dat").names.size(), s.tracks);
        }
        // A "false" cut to fit would read as something else; a command it does not know is refused.
        QString reply;
        QVERIFY(m.device.sendCommand("status cd media present", &reply, 4) == LinuxCdAudioDevice::kParamOverflow
                && m.device.sendCommand(QString(999, 'x'), &reply, 9) == LinuxCdAudioDevice::kUnrecognizedCommand);
        // The real ioctl, on a device node that is missing and on a file that is no drive.
        QVERIFY(LinuxCdAudioDevice::queryDriveStatus(m.top + "sr9").openError == ENOENT
                && LinuxCdAudioDevice::queryDriveStatus(m.paths.mountInfo).queryError == ENOTTY);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
