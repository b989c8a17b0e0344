// Writes the fuzz targets' seed corpus from real discs made by vcdimager
// (the suite's own test media): `tavero-fuzz-seeds <folder>` fills
// <folder>/<target>/ with one file per seed.
#include "disc/Disc.h"
#include "disc/ImageLayout.h"
#include "support/TestMedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cstdio>

using namespace tavero;
using tavero::test::TestMedia;

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("%s cannot be read", qPrintable(path));
    return f.readAll();
}

void put(const QString &folder, const QString &target, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(folder + '/' + target);
    QFile f(folder + '/' + target + '/' + name);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("%s cannot be written", qPrintable(f.fileName()));
}

std::shared_ptr<Disc> discOf(const QByteArray &raw)
{
    ImageLayout layout;
    QString error;
    if (!readRawImage(std::make_shared<MemoryBytes>(raw), &layout, &error))
        qFatal("%s", qPrintable(error));
    const auto disc = Disc::open(makeImageSource(std::move(layout), &error), &error);
    if (!disc)
        qFatal("%s", qPrintable(error));
    return disc;
}

QByteArray form1(Disc &disc, std::int64_t first, int count)
{
    QByteArray out;
    unsigned char sector[kSectorBytes];
    for (std::int64_t lsn = first; lsn < first + count && disc.read(lsn, 1, sector); ++lsn)
        out.append(reinterpret_cast<const char *>(sector + kSubheaderBytes), kForm1Bytes);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (const char *kind : {"cue", "2336", "svcd", "chapters"}) {
        const QString path = TestMedia::vcdImage(kind);
        const QString sheet = path.endsWith(".cue") ? path : QFileInfo(path).path() + '/' + QFileInfo(path).completeBaseName() + ".cue";
        if (QFileInfo::exists(sheet))
            put(out, "cue", kind, bytesOf(sheet));
    }
    put(out, "toc", "vcdimager", bytesOf(TestMedia::vcdImage("toc")));
    // The end of a Nero image from its chunk table on, after the length of what comes before.
    const QByteArray nrg = bytesOf(TestMedia::vcdImage("nrg"));
    const quint32 table = qFromBigEndian<quint32>(nrg.constData() + nrg.size() - 4);
    QByteArray before(8, '\0');
    qToBigEndian<quint64>(table, before.data());
    put(out, "nero", "track at once", before + nrg.mid(table));

    for (const char *kind : {"bin", "chapters", "svcd chapters"}) {
        const QByteArray raw = bytesOf(TestMedia::vcdImage(kind));
        const auto disc = discOf(raw);
        // The directory and the Video CD's own files; the first sectors of the first track.
        put(out, "raw", kind, raw.left(2352 * 230));
        put(out, "iso", kind, form1(*disc, 16, 20));
        QByteArray entries = form1(*disc, 151, 1);
        for (const DiscEntry &e : disc->trackFiles()) {
            char pair[8];
            qToLittleEndian<quint32>(e.lsn, pair);
            qToLittleEndian<quint32>(e.size, pair + 4);
            entries.append(pair, 8);
        }
        put(out, "entries", kind, entries);
    }
    return 0;
}
