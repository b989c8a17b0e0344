#include "support/TestMedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QtEndian>
#include <cmath>
#include <cstdio>
#include <functional>

namespace tavero::test {

namespace {

bool run(const QString &program, const QStringList &args, const QString &folder = QString())
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
        return false;
    }
    return true;
}

// The file `name` in the media folder, made by `make` (which writes the
// path it is given) the first time. It is made under a private name and
// renamed: test programs run in parallel and must never see half a file.
QString once(const QString &name, const std::function<bool(const QString &)> &make)
{
    const QString out = QDir(TestMedia::dir()).filePath(name);
    if (QFile::exists(out))
        return out;
    const QString tmp = out + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
    // rename(2), not QFile::rename: when another program has put the file there first, Qt may fall back to truncating
    // it and copying over it, and a third program then reads a short file.
    if (make(tmp))
        std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(out).constData());
    QFile::remove(tmp);
    return out;
}

QString ffmpeg(const QString &name, const QString &args)
{
    return once(name, [&](const QString &tmp) {
        return run(QStringLiteral("ffmpeg"),
                   QStringLiteral("-hide_banner -loglevel error -y ").append(args).split(' ') << tmp);
    });
}

bool write(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

} // namespace

QString TestMedia::dir()
{
    QString d = qEnvironmentVariable("TAVERO_TEST_TMP");
    if (d.isEmpty())
        d = QDir::tempPath() + QStringLiteral("/tavero-test-media");
    d += QStringLiteral("/media");
    QDir().mkpath(d);
    return d;
}

QString TestMedia::mpegClip(double seconds)
{
    return ffmpeg(QStringLiteral("clip-%1s.mpg").arg(seconds),
                  QStringLiteral("-f lavfi -i testsrc=size=352x288:rate=25 -f lavfi -i "
                                 "sine=frequency=440:sample_rate=44100 -t %1 -target pal-vcd")
                      .arg(seconds));
}

QString TestMedia::vcdTrack(double seconds)
{
    return once(QStringLiteral("avseq-%1s.dat").arg(seconds),
                [&](const QString &tmp) { return writeVcdTrack(mpegClip(seconds), tmp); });
}

QString TestMedia::audioOnly(double seconds)
{
    return ffmpeg(QStringLiteral("tone-%1s.mp2").arg(seconds),
                  QStringLiteral("-f lavfi -i sine=frequency=440:sample_rate=44100 -t %1 -c:a mp2 -f mp2")
                      .arg(seconds));
}

QString TestMedia::karaokeClip(double seconds)
{
    return ffmpeg(QStringLiteral("karaoke-%1s.mpg").arg(seconds),
                  QStringLiteral("-f lavfi -i testsrc=size=352x288:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 "
                                 "-f lavfi -i sine=frequency=660:sample_rate=44100 -filter_complex "
                                 "[1:a][2:a]join=inputs=2:channel_layout=stereo[a] -map 0:v -map [a] -t %1 -target pal-vcd")
                      .arg(seconds));
}

QList<int> TestMedia::tones(const QString &wavPath)
{
    QFile f(wavPath);
    const QByteArray wav = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    const char *at = wav.constData();
    const int channels = wav.size() > 44 ? qFromLittleEndian<quint16>(at + 22) : 0;
    const int rate = wav.size() > 44 ? int(qFromLittleEndian<quint32>(at + 24)) : 0;
    const qsizetype frames = channels > 0 ? (wav.size() - 44) / 2 / channels : 0;
    QList<int> found;
    for (int c = 0; rate > 0 && frames >= rate / 2 && c < channels; ++c) {
        int tone = 0;
        double loudest = 1e9;   // far below a tone's, far above rounding's
        for (const int hz : {440, 660, 880}) {   // Goertzel's filter, one frequency each
            const double w = 2 * std::cos(2 * M_PI * hz / rate);
            double a = 0, b = 0;
            for (qsizetype i = frames - rate / 2; i < frames - rate / 4; ++i)
                b = std::exchange(a, qFromLittleEndian<qint16>(at + 44 + (i * channels + c) * 2) + w * a - b);
            if (const double power = a * a + b * b - w * a * b; power > loudest)
                loudest = power, tone = hz;
        }
        found << tone;
    }
    return found;
}

QString TestMedia::randomBytes()
{
    return once(QStringLiteral("random.mpg"), [](const QString &tmp) {
        QRandomGenerator rng(12345);
        QByteArray bytes(64 * 1024, Qt::Uninitialized);
        for (char &c : bytes)
            c = char(rng.bounded(256));
        return write(tmp, bytes);
    });
}

QString TestMedia::emptyFile()
{
    return once(QStringLiteral("empty.mpg"), [](const QString &tmp) { return write(tmp, {}); });
}

QString TestMedia::truncatedClip(double fraction)
{
    return once(QStringLiteral("truncated-%1.mpg").arg(fraction), [&](const QString &tmp) {
        QFile in(mpegClip(2.0));
        return in.open(QIODevice::ReadOnly) && write(tmp, in.read(qint64(double(in.size()) * fraction)));
    });
}

// A batch is renamed when it gains a file, so that build trees holding the older one make it anew.
QString TestMedia::inBatch(const QString &batch, const QString &name, const std::function<bool(const QString &)> &make)
{
    const QString folder = QDir(TestMedia::dir()).filePath(batch);
    const QString out = folder + QLatin1Char('/') + name;
    if (QFile::exists(out))
        return out;
    const QString work = folder + QStringLiteral(".%1").arg(QCoreApplication::applicationPid());
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    if (!make(work) || !QDir().rename(work, folder))
        QDir(work).removeRecursively();
    return out;
}

namespace {

// A Video CD and a Super Video CD of one 12-s track each, with entry points asked for at 4 and 8 s. A picture group
// every 0.8 s puts a sequence header right there.
QString chapterImage(bool super)
{
    return TestMedia::inBatch(QStringLiteral("vcd-chapters"), super ? QStringLiteral("svcd.bin") : QStringLiteral("chapters.bin"),
                   [](const QString &work) {
        bool ok = true;
        for (const char *kind : {"vcd", "svcd"}) {
            const QString clip = ffmpeg(QStringLiteral("clip-12s-g20-%1.mpg").arg(kind),
                                        QStringLiteral("-f lavfi -i testsrc=size=%1:rate=25 -f lavfi -i "
                                                       "sine=frequency=440:sample_rate=44100 -t 12 -target pal-%2 -g 20")
                                            .arg(kind == QLatin1String("vcd") ? "352x288" : "480x576", kind));
            const QString name = kind == QLatin1String("vcd") ? QStringLiteral("chapters") : QStringLiteral("svcd");
            QFile xml(work + QStringLiteral("/%1.xml").arg(name));
            ok = ok && run(QStringLiteral("vcdxgen"),
                           {"-t", kind == QLatin1String("vcd") ? "vcd2" : "svcd", "-l", "CHAPTERS", "-o", xml.fileName(), clip},
                           work)
                 && xml.open(QIODevice::ReadOnly);
            const QByteArray entries = xml.readAll().replace(
                "id=\"sequence-00\"/>", "id=\"sequence-00\"><entry id=\"e4\">4</entry><entry id=\"e8\">8</entry></sequence-item>");
            xml.close();
            ok = ok && entries.contains("<entry") && write(xml.fileName(), entries)
                 && run(QStringLiteral("vcdxbuild"), {"-q", "-c", name + ".cue", "-b", name + ".bin", xml.fileName()}, work);
        }
        return ok;
    });
}

} // namespace

QString TestMedia::vcdImage(const QString &kind)
{
    if (kind.endsWith(QLatin1String("chapters")))
        return chapterImage(kind.startsWith(QLatin1String("svcd")));
    const QMap<QString, QString> names{{"cue", "disc.cue"},    {"bin", "disc.bin"},   {"nrg", "videocd.nrg"},
                                       {"toc", "videocd.toc"}, {"2336", "d36.cue"}, {"2336bin", "d36.bin"},
                                       {"svcd", "svcd.cue"}};
    const QString clip = mpegClip(2.0);
    return TestMedia::inBatch(QStringLiteral("vcd-3"), names.value(kind), [&clip](const QString &work) {
        return run(QStringLiteral("ffmpeg"),
                {"-nostdin", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=480x576:rate=25", "-f", "lavfi", "-i",
                 "sine", "-f", "lavfi", "-i", "sine=frequency=880", "-map", "0:v", "-map", "1:a", "-map", "2:a", "-t", "2",
                 "-target", "pal-svcd", "s.mpg"},
                work)
            && run(QStringLiteral("vcdimager"),
                   {"-q", "--type=svcd", "--iso-volume-label=TESTSVCD", "--cue-file=svcd.cue", "--bin-file=svcd.bin",
                    "s.mpg", "s.mpg"},
                   work)
            && run(QStringLiteral("vcdxgen"), {"-t", "vcd2", "-l", "TESTVCD", "-o", "v.xml", clip, clip}, work)
            && run(QStringLiteral("vcdxbuild"), {"-q", "-c", "disc.cue", "-b", "disc.bin", "v.xml"}, work)
            && run(QStringLiteral("vcdxbuild"), {"-q", "-i", "nrg", "v.xml"}, work)
            && run(QStringLiteral("vcdxbuild"), {"-q", "-i", "cdrdao", "v.xml"}, work)
            && run(QStringLiteral("vcdimager"),
                   {"-q", "--type=vcd2", "--sector-2336", "--iso-volume-label=T2336", "--cue-file=d36.cue",
                    "--bin-file=d36.bin", clip},
                   work);
    });
}

bool TestMedia::writeVcdTrack(const QString &mpegPath, const QString &datPath)
{
    QFile in(mpegPath);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray payload = in.readAll();
    constexpr int kSector = 2352, kData = 2324;
    const int sectors = int((payload.size() + kData - 1) / kData);
    QByteArray body;
    body.reserve(sectors * kSector);
    for (int s = 0; s < sectors; ++s) {
        QByteArray sector(kSector, '\0');
        // Sync pattern, then the address (minute, second, frame in BCD, counted from 00:02:00) and mode 2.
        for (int i = 1; i <= 10; ++i)
            sector[i] = char(0xFF);
        const int lba = s + 150;
        auto bcd = [](int v) { return char(((v / 10) << 4) | (v % 10)); };
        sector[12] = bcd(lba / (75 * 60));
        sector[13] = bcd((lba / 75) % 60);
        sector[14] = bcd(lba % 75);
        sector[15] = 2;
        // Subheader twice: file 1, channel 1, form 2 real-time video.
        const char sub[4] = {1, 1, char(0x62), 0x0F};
        for (int i = 0; i < 4; ++i)
            sector[16 + i] = sector[20 + i] = sub[i];
        const QByteArray chunk = payload.mid(qsizetype(s) * kData, kData);
        std::copy(chunk.begin(), chunk.end(), sector.begin() + 24);
        body += sector;
    }
    QByteArray header;
    auto le32 = [&header](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        header.append(b, 4);
    };
    header += "RIFF";
    le32(quint32(36 + body.size()));
    header += "CDXA";
    header += "fmt ";
    le32(16);
    header += QByteArray("\x00\x00\x00\x00\x00\x00\x11\x55\x58\x41\x01\x00\x00\x00\x00\x00", 16);
    header += "data";
    le32(quint32(body.size()));
    return write(datPath, header + body);
}

} // namespace tavero::test
