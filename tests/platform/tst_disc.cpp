// The disc reader on real Video CD images made by vcdimager's tools, on
// damaged ones, and on a thousand crafted ones.
#include "platform/Disc.h"
#include "platform/DiscFolders.h"
#include "platform/LinuxCdDrives.h"
#include "support/TestMedia.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <sys/stat.h>

using namespace tavero;
using namespace tavero::test;

namespace {

constexpr qint64 kPvd = 16, kRoot = 18;

// An image's sectors in memory, some of which may refuse to be read.
class MemorySource : public SectorSource {
public:
    std::vector<unsigned char> data;
    QSet<qint64> bad;
    bool read(std::int64_t lsn, int count, unsigned char *out) override
    {
        if (lsn < 0 || count <= 0 || lsn + count > sectorCount())
            return false;
        for (qint64 s = lsn; s < lsn + count; ++s)
            if (bad.contains(s))
                return false;
        std::memcpy(out, data.data() + lsn * kSectorBytes, std::size_t(count) * kSectorBytes);
        return true;
    }
    std::int64_t sectorCount() const override { return std::int64_t(data.size() / kSectorBytes); }
    unsigned char *block(qint64 lsn) { return data.data() + lsn * kSectorBytes + kSubheaderBytes; }
};

std::unique_ptr<MemorySource> loadImage(const QString &image)
{
    QString error;
    auto source = openSectorSource(image, &error);
    auto memory = std::make_unique<MemorySource>();
    if (!source)
        return memory;
    memory->data.resize(std::size_t(source->sectorCount()) * kSectorBytes);
    source->read(0, int(source->sectorCount()), memory->data.data());
    return memory;
}

// A file's data as the player would read it; `gaveOut` tells whether the
// stream gave up.
QByteArray readFile(const std::shared_ptr<Disc> &disc, const QString &path, bool *gaveOut = nullptr,
                    qint64 limit = 1 << 30)
{
    auto track = std::make_shared<DiscTrack>();
    track->disc = disc;
    const int entry = disc->tree().find(path);
    if (entry <= 0)
        return {};
    track->entry = disc->tree().entries[std::size_t(entry)];
    DiscTrackReader reader(track);
    QByteArray out;
    char buf[65536];
    qint64 n = 0;
    while (out.size() < limit && (n = reader.read(buf, sizeof buf)) > 0)
        out.append(buf, n);
    if (gaveOut)
        *gaveOut = n < 0 && track->brokeOff;
    return out;
}

// Offset of the directory record named `name` in a directory sector.
int recordOffset(const unsigned char *sector, const char *name)
{
    for (int off = 0; off < 2048 && sector[off] != 0; off += sector[off]) {
        if (sector[off + 32] >= std::strlen(name) && std::memcmp(sector + off + 33, name, std::strlen(name)) == 0)
            return off;
    }
    return -1;
}

void put32(unsigned char *p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = (v >> (8 * i)) & 0xFF;
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

} // namespace

class TestDisc : public QObject {
    Q_OBJECT
    QTemporaryDir tmp_;

private slots:
    void readsEveryKindOfImage_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("tracks");
        for (const char *k : {"cue", "bin", "nrg"})
            QTest::newRow(k) << k << "TESTVCD" << 2;
        QTest::newRow("2336-byte sectors") << "2336" << "T2336" << 1;
        QTest::newRow("2336-byte sectors, no cue") << "2336bin" << "T2336" << 1;
    }
    void readsEveryKindOfImage()
    {
        QFETCH(QString, kind);
        QString error;
        const auto disc = Disc::open(TestMedia::vcdImage(kind), &error);
        QVERIFY2(disc, qPrintable(error));
        QFETCH(QString, label);
        QCOMPARE(disc->label(), label);
        QVERIFY(disc->trackFolder() > 0);
        QVERIFY(disc->firstTrackReadable());
        QFile clip(TestMedia::mpegClip(2.0));
        QVERIFY(clip.open(QIODevice::ReadOnly));
        const QByteArray mpeg = clip.readAll();
        QFETCH(int, tracks);
        for (int t = 1; t <= tracks; ++t) {
            // Names match as a Linux mount shows them, too.
            const QByteArray data = readFile(disc, QStringLiteral("mpegav/avseq0%1.dat;1").arg(t));
            const qsizetype pack = data.indexOf(QByteArray("\0\0\1\xBA", 4));
            QVERIFY(pack >= 0);
            QVERIFY2(data.mid(pack, mpeg.size()) == mpeg, "the track differs from the stream it was made of");
        }
        // Form 1 files come back as they are.
        QVERIFY(readFile(disc, QStringLiteral("VCD/INFO.VCD")).startsWith("VIDEO_CD"));
    }

    void refusesWhatIsNoPlayableDisc_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("says");
        using O = DiscImages::Outcome;
        const QString dir = tmp_.path() + QLatin1Char('/');
        QFile bin(TestMedia::vcdImage(QStringLiteral("bin")));
        QVERIFY(bin.open(QIODevice::ReadOnly));
        const QByteArray image = bin.readAll();
        QByteArray renamed = image;
        renamed.replace("MPEGAV", "MPEGXX");
        QVERIFY(::mkfifo(QFile::encodeName(dir + "pipe.bin").constData(), 0600) == 0);

        QTest::newRow("cdrdao, tracks read as zeros") << TestMedia::vcdImage("toc") << int(O::Failed) << "read as empty";
        QTest::newRow("data file missing")
            << writeFile(dir + "gone.cue", "FILE \"gone.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n")
            << int(O::Failed) << "the cue sheet names \"gone.bin\", which cannot be found";
        QTest::newRow("data file a pipe")
            << writeFile(dir + "pipe.cue", "FILE \"pipe.bin\" BINARY\n  TRACK 01 MODE2/2352\n")
            << int(O::Failed) << "\"pipe.bin\", which is not an ordinary file";
        QTest::newRow("not a cue sheet") << writeFile(dir + "notes.cue", "shopping list\nmilk\n") << int(O::Failed)
                                         << "it is not a cue sheet";
        QTest::newRow("cut in its directory")
            << writeFile(dir + "cut.bin", image.left(2352 * 19)) << int(O::Failed) << "cut short or damaged";
        QTest::newRow("random .bin") << writeFile(dir + "firmware.bin", QByteArray(200000, '\x5A'))
                                     << int(O::NotAnImage) << "";
        QTest::newRow("no track folder") << writeFile(dir + "data.bin", renamed) << int(O::NoVideoCd) << "";
    }
    void refusesWhatIsNoPlayableDisc()
    {
        QFETCH(QString, image);
        QFETCH(int, outcome);
        QFETCH(QString, says);
        // libcdio looks for a .toc's data files in the current folder.
        const QString here = QDir::currentPath();
        QDir::setCurrent(QFileInfo(image).path());
        auto back = qScopeGuard([&] { QDir::setCurrent(here); });
        LinuxCdPaths paths;
        paths.sysBlock = paths.mountInfo = tmp_.path() + QStringLiteral("/none");
        paths.links = tmp_.path() + QStringLiteral("/links");
        LinuxCdDrives drives(paths);
        const DiscImages::Result r = drives.insertImage(image);
        QCOMPARE(int(r.outcome), outcome);
        if (!says.isEmpty()) {
            QVERIFY2(r.error.contains(says) && r.error.contains(image), qPrintable(r.error));
        }
        QCOMPARE(drives.imageLoaded(), r.outcome == DiscImages::Outcome::Inserted);
    }

    // A scratch costs a moment of the stream; a long unreadable stretch
    // ends it, and says so.
    void readFaults()
    {
        const QString track = QStringLiteral("MPEGAV/AVSEQ01.DAT");
        QString error;
        const QByteArray clean = readFile(Disc::open(loadImage(TestMedia::vcdImage("bin")), &error), track);
        auto image = loadImage(TestMedia::vcdImage("bin"));
        // The first track claims 800 sectors, running on into the second
        // one: room for a stretch longer than the reader's patience.
        unsigned char *folder = image->block(20);
        put32(folder + recordOffset(folder, "AVSEQ01.DAT") + 10, 800 * 2048);
        auto *source = image.get();
        const auto disc = Disc::open(std::move(image), &error);
        QVERIFY2(disc, qPrintable(error));
        const DiscEntry e = disc->tree().entries[std::size_t(disc->tree().find(track))];
        const qint64 middle = e.lsn + 100;
        for (qint64 s = middle; s < middle + 3; ++s)
            source->bad.insert(s);
        bool gaveOut = true;
        QByteArray read = readFile(disc, track, &gaveOut).left(clean.size());
        QVERIFY(!gaveOut);
        const qsizetype hole = 100 * kForm2Bytes;
        QCOMPARE(read.left(hole), clean.left(hole));
        QCOMPARE(read.mid(hole, 3 * kForm2Bytes), QByteArray(3 * kForm2Bytes, '\0'));
        QCOMPARE(read.mid(hole + 3 * kForm2Bytes), clean.mid(hole + 3 * kForm2Bytes));

        for (qint64 s = middle; s < middle + DiscTrackReader::kGiveUpSectors + 10; ++s)
            source->bad.insert(s);
        read = readFile(disc, track, &gaveOut);
        QVERIFY(gaveOut);
        QVERIFY(read.size() >= hole && read.size() < hole + qsizetype(DiscTrackReader::kGiveUpSectors) * kForm2Bytes);
    }

    // Crafted directories: a message or a playable disc, never a crash, a
    // hang, or a file laid out anywhere but in the disc's own folder. Runs
    // under AddressSanitizer in `make test`.
    void craftedImagesAreHarmless()
    {
        const auto base = loadImage(TestMedia::vcdImage("bin"));
        QTemporaryDir out;
        DiscFolders folders(out.path(), QStringLiteral("/nonexistent"));
        auto tryImage = [&](std::unique_ptr<MemorySource> image) {
            QString error;
            const auto disc = Disc::open(std::move(image), &error);
            if (!disc) {
                QVERIFY(!error.isEmpty());
                return;
            }
            disc->trackFolder();
            disc->firstTrackReadable();
            const QString folder = folders.lay(disc, QStringLiteral("fuzz"));
            QVERIFY(!folder.isEmpty());
            QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                QVERIFY2(QFileInfo(path).canonicalFilePath().startsWith(folder + '/'), qPrintable(path));
                if (auto track = folders.find(path); track && !track->entry.folder) {
                    DiscTrackReader reader(track);
                    char buf[8192];
                    reader.read(buf, sizeof buf);
                }
            }
            folders.remove(folder);
        };
        auto copy = [&] { return std::make_unique<MemorySource>(*base); };

        // By hand: a folder size that wraps, records of length 0 and past
        // their sector's end, a folder that holds itself, names that are
        // paths.
        auto edit = [&](auto change) {
            auto image = copy();
            change(*image);
            tryImage(std::move(image));
        };
        edit([](MemorySource &m) { put32(m.block(kPvd) + 156 + 10, 0xFFFFFFF0u); });
        edit([](MemorySource &m) { put32(m.block(kRoot) + recordOffset(m.block(kRoot), "MPEGAV") + 10, 0xFFFFFFF0u); });
        edit([](MemorySource &m) { m.block(kRoot)[0] = 0; });
        edit([](MemorySource &m) { m.block(kRoot)[recordOffset(m.block(kRoot), "MPEGAV")] = 255; });
        edit([](MemorySource &m) { m.block(kRoot)[2000] = 200; });
        edit([](MemorySource &m) { put32(m.block(kRoot) + recordOffset(m.block(kRoot), "MPEGAV") + 2, quint32(kRoot)); });
        edit([](MemorySource &m) { std::memcpy(m.block(kRoot) + recordOffset(m.block(kRoot), "MPEGAV") + 33, "..", 2); });
        edit([](MemorySource &m) { std::memcpy(m.block(kRoot) + recordOffset(m.block(kRoot), "MPEGAV") + 33, "A/../", 5); });
        // A name that climbs out of the disc's folder through one laid out
        // before it, up into the folder that holds the discs' folders.
        edit([](MemorySource &m) {
            unsigned char *r = m.block(kRoot) + recordOffset(m.block(kRoot), "MPEGAV");
            std::memcpy(r + 33, "EXT/../../../../ESC", 19);
            r[32] = 19;
        });
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{".discs"});

        // And a thousand with random bytes changed in the volume descriptor
        // and the directory sectors.
        QRandomGenerator rng(2026);
        for (int i = 0; i < 1000; ++i) {
            auto image = copy();
            const int flips = 1 + int(rng.bounded(8));
            for (int f = 0; f < flips; ++f) {
                const qint64 sector = kPvd + rng.bounded(6);
                image->block(sector)[rng.bounded(2048)] = uchar(rng.bounded(256));
            }
            tryImage(std::move(image));
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("image %1").arg(i)));
        }
    }
};

QTEST_GUILESS_MAIN(TestDisc)
#include "tst_disc.moc"
