#include "support/PbcDiscs.h"

#include "support/TestMedia.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <functional>
#include <map>

namespace tavero::test {

namespace {

constexpr qint64 kRaw = 2352, kForm1 = 24, kBlock = 2048;

bool shell(const QString &script, const QString &folder)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("sh"), {QStringLiteral("-ec"), script});
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("making a test disc failed: %s", p.readAllStandardError().constData());
        return false;
    }
    return true;
}

// pbc/<name>/disc.cue, made whole aside: test programs run in parallel.
QString once(const QString &name, const std::function<bool(const QString &)> &make)
{
    return TestMedia::inBatch(QStringLiteral("pbc/") + name, QStringLiteral("disc.cue"), make);
}

// The media and the lists of PbcDiscs.h, made by a shell script in the
// disc's folder. `super` makes the Super Video CD.
QString discScript(bool super)
{
    return QStringLiteral(R"(K=%1
if [ $K = svcd ]; then V=480x576 T='-aspect 4:3 -target pal-svcd' F='-f 7 -a 2'; else V=352x288 T='-target pal-vcd' F='-f 6'; fi
ffmpeg -v error -f lavfi -i testsrc2=size=$V:rate=25 -f lavfi -i sine=f=440:sample_rate=44100 -f lavfi \
  -i sine=f=660:sample_rate=44100 -filter_complex '[1:a][2:a]join=inputs=2:channel_layout=stereo[a]' \
  -map 0:v -map '[a]' -t 4 $T song.mpg
still() { ffmpeg -v error -f lavfi -i color=c=$1:size=$2 -frames:v 1 -pix_fmt yuv420p -f yuv4mpegpipe - \
  | mpeg2enc -v 0 $F -T $3 -o $4; }
still red $V 35 lo.m1v
if [ $K = svcd ]; then mplex -v 0 -f 7 -o menu.mpg lo.m1v
else still green 704x576 120 hi.m1v; mplex -v 0 -f 6 -o menu.mpg lo.m1v hi.m1v; fi
cat > disc.xml <<'EOF'
<?xml version="1.0"?>
<!DOCTYPE videocd PUBLIC "-//GNU//DTD VideoCD//EN" "http://www.gnu.org/software/vcdimager/videocd.dtd">
<videocd xmlns="http://www.gnu.org/software/vcdimager/1.0/" class="%1" version="%2">
<info><album-id>PBCTEST</album-id><volume-count>1</volume-count><volume-number>1</volume-number></info>
<pvd><volume-id>PBCTEST</volume-id><system-id>CD-RTOS CD-BRIDGE</system-id></pvd>
<segment-items><segment-item src="menu.mpg" id="menu-still"/></segment-items>
<sequence-items><sequence-item src="song.mpg" id="song-1"><entry id="song-1-b">2.0</entry></sequence-item>
<sequence-item src="song.mpg" id="song-2"/></sequence-items>
<pbc>
<selection id="menu"><bsn>1</bsn><next ref="all" x1="200" y1="200" x2="255" y2="255"/><return ref="end"/>
<default ref="p1"/><timeout ref="all"/><wait>5</wait><loop jump-timing="immediate">2</loop><play-item ref="menu-still"/>
<select ref="p1" x1="16" y1="32" x2="120" y2="96"/><select ref="p2" x1="136" y1="32" x2="240" y2="96"/><select ref="menu2"/>
</selection>
<playlist id="p1"><next ref="p2"/><return ref="menu"/><wait>2</wait><play-item ref="song-1"/></playlist>
<playlist id="p2"><prev ref="p1"/><next ref="menu2"/><return ref="menu"/><wait>3</wait><autowait>1</autowait>
<play-item ref="song-1-b"/><play-item ref="song-2"/></playlist>
<playlist id="all"><next ref="menu"/><return ref="menu"/><playtime>3</playtime><wait>90</wait>
<play-item ref="song-1"/><play-item ref="song-2"/><play-item ref="menu-still"/></playlist>
<selection id="menu2"><bsn>2</bsn><prev ref="p2"/><return ref="menu"/><default ref="p2"/><wait>10</wait>
<loop jump-timing="delayed">1</loop><play-item ref="menu-still"/><select ref="p1"/><select ref="p2"/></selection>
<endlist id="end"/>
</pbc></videocd>
EOF
vcdxbuild -q -c disc.cue -b disc.bin disc.xml
)")
        .arg(QLatin1String(super ? "svcd" : "vcd"), QLatin1String(super ? "1.0" : "2.0"));
}

// A file of an image's ISO 9660 directory: where its record and its data
// lie. Only for the images made here, whose directory is small and sound.
struct IsoFile {
    qint64 record = -1, lsn = 0, size = 0;
};
using Folder = std::map<QString, IsoFile>;

Folder folder(const QByteArray &bin, const IsoFile &dir)
{
    Folder files;
    for (qint64 s = 0; dir.record >= 0 && s < (dir.size + kBlock - 1) / kBlock; ++s) {
        const qint64 base = (dir.lsn + s) * kRaw + kForm1;
        for (qint64 o = 0; o + 34 <= kBlock && base + o + 34 <= bin.size() && bin[base + o] != 0; o += uchar(bin[base + o])) {
            const char *r = bin.constData() + base + o;
            files[QString::fromLatin1(r + 33, uchar(r[32])).section(QLatin1Char(';'), 0, 0)] = {
                base + o, qFromLittleEndian<quint32>(r + 2), qFromLittleEndian<quint32>(r + 10)};
        }
    }
    return files;
}

Folder open(const QByteArray &bin, const QString &path)
{
    const qint64 root = 16 * kRaw + kForm1 + 156;
    if (bin.size() < root + 34)
        return {};
    Folder f = folder(bin, {root, qFromLittleEndian<quint32>(bin.constData() + root + 2), qFromLittleEndian<quint32>(bin.constData() + root + 10)});
    for (const QString &part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        f = folder(bin, f[part]);
    return f;
}

QByteArray contents(const QByteArray &bin, const IsoFile &f)
{
    QByteArray data;
    for (qint64 s = 0; f.record >= 0 && s * kBlock < f.size; ++s)
        data += bin.mid((f.lsn + s) * kRaw + kForm1, kBlock);
    return data.left(f.size);
}

QByteArray readBin(const QString &cue)
{
    QFile f(QString(cue).replace(QStringLiteral(".cue"), QStringLiteral(".bin")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

QString PbcDiscs::videoCd()
{
    return once(QStringLiteral("vcd"), [](const QString &work) { return shell(discScript(false), work); });
}

QString PbcDiscs::superVideoCd()
{
    return once(QStringLiteral("svcd"), [](const QString &work) { return shell(discScript(true), work); });
}

QString PbcDiscs::cutExtended()
{
    const QString whole = videoCd();
    return once(QStringLiteral("cut-extended"), [&whole](const QString &work) {
        QByteArray bin = readBin(whole);
        const IsoFile plain = open(bin, QStringLiteral("VCD"))[QStringLiteral("PSD.VCD")];
        const IsoFile ext = open(bin, QStringLiteral("EXT"))[QStringLiteral("PSD_X.VCD")];
        if (plain.record < 0 || ext.record < 0 || ext.size <= plain.size)
            return false;
        // The directory gives the cut size (both byte orders) and the
        // bytes past it are blank, as on the discs this stands for.
        qToLittleEndian(quint32(plain.size), bin.data() + ext.record + 10);
        qToBigEndian(quint32(plain.size), bin.data() + ext.record + 14);
        for (qint64 i = plain.size; i < ext.size; ++i)
            bin[(ext.lsn + i / kBlock) * kRaw + kForm1 + i % kBlock] = 0;
        QFile out(work + QStringLiteral("/disc.bin"));
        return out.open(QIODevice::WriteOnly) && out.write(bin) == bin.size() && QFile::copy(whole, work + QStringLiteral("/disc.cue"));
    });
}

PbcInput PbcDiscs::readBack(const QString &cue)
{
    const QByteArray bin = readBin(cue);
    const bool super = open(bin, QString()).count(QStringLiteral("SVCD"));
    const QString e = super ? QStringLiteral(".SVD") : QStringLiteral(".VCD");
    Folder vcd = open(bin, super ? QStringLiteral("SVCD") : QStringLiteral("VCD")), ext = open(bin, QStringLiteral("EXT"));
    PbcInput in{contents(bin, vcd[QStringLiteral("INFO") + e]), contents(bin, vcd[QStringLiteral("LOT") + e]),
                contents(bin, vcd[QStringLiteral("PSD") + e]), contents(bin, ext[QStringLiteral("LOT_X.VCD")]),
                contents(bin, ext[QStringLiteral("PSD_X.VCD")]), 0, 0, {}};
    const QByteArray entries = contents(bin, vcd[QStringLiteral("ENTRIES") + e]);
    in.entries = entries.size() >= 12 ? qFromBigEndian<quint16>(entries.constData() + 10) : 0;
    for (const auto &[name, file] : open(bin, super ? QStringLiteral("MPEG2") : QStringLiteral("MPEGAV")))
        in.tracks += name.startsWith(QLatin1String("AVSEQ"));
    for (const auto &[name, file] : open(bin, QStringLiteral("SEGMENT"))) {
        const int n = name.mid(4, 4).toInt();
        if (name.startsWith(QLatin1String("ITEM")) && n >= 1 && n <= 1980) {
            in.segmentBytes.resize(std::max<std::size_t>(in.segmentBytes.size(), std::size_t(n)));
            in.segmentBytes[std::size_t(n - 1)] = quint32(file.size);
        }
    }
    return in;
}

} // namespace tavero::test
