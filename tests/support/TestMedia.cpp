#include "support/TestMedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QtEndian>

namespace tavero::test {

namespace {

bool runFfmpeg(const QStringList &args, const QString &out)
{
    // Write to a private name and rename, so parallel tests never see a
    // half-written clip.
    const QString tmp = out + QStringLiteral(".%1.part.mpg").arg(QCoreApplication::applicationPid());
    QProcess p;
    QStringList all{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                    QStringLiteral("-y")};
    all << args << tmp;
    p.start(QStringLiteral("ffmpeg"), all);
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        qWarning("ffmpeg failed: %s", p.readAllStandardError().constData());
        QFile::remove(tmp);
        return false;
    }
    QFile::remove(out);
    return QFile::rename(tmp, out) || QFile::exists(out);
}

QString cached(const QString &name)
{
    return QDir(TestMedia::dir()).filePath(name);
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
    const QString out = cached(QStringLiteral("clip-%1s.mpg").arg(seconds));
    if (QFile::exists(out))
        return out;
    const QString t = QString::number(seconds);
    runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
               QStringLiteral("testsrc=size=352x288:rate=25"), QStringLiteral("-f"),
               QStringLiteral("lavfi"), QStringLiteral("-i"),
               QStringLiteral("sine=frequency=440:sample_rate=44100"), QStringLiteral("-t"), t,
               QStringLiteral("-target"), QStringLiteral("pal-vcd")},
              out);
    return out;
}

QString TestMedia::vcdTrack(double seconds)
{
    const QString out = cached(QStringLiteral("avseq-%1s.dat").arg(seconds));
    if (!QFile::exists(out))
        writeVcdTrack(mpegClip(seconds), out);
    return out;
}

QString TestMedia::audioOnly(double seconds)
{
    const QString out = cached(QStringLiteral("tone-%1s.mp2").arg(seconds));
    if (!QFile::exists(out))
        runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                   QStringLiteral("sine=frequency=440:sample_rate=44100"), QStringLiteral("-t"),
                   QString::number(seconds), QStringLiteral("-c:a"), QStringLiteral("mp2"),
                   QStringLiteral("-f"), QStringLiteral("mp2")},
                  out);
    return out;
}

QString TestMedia::randomBytes()
{
    const QString out = cached(QStringLiteral("random.mpg"));
    if (!QFile::exists(out)) {
        QSaveFile f(out);
        if (f.open(QIODevice::WriteOnly)) {
            QRandomGenerator rng(12345);
            QByteArray bytes(64 * 1024, Qt::Uninitialized);
            for (char &c : bytes)
                c = char(rng.bounded(256));
            f.write(bytes);
            f.commit();
        }
    }
    return out;
}

QString TestMedia::emptyFile()
{
    const QString out = cached(QStringLiteral("empty.mpg"));
    if (!QFile::exists(out)) {
        QFile f(out);
        (void)f.open(QIODevice::WriteOnly);
    }
    return out;
}

QString TestMedia::truncatedClip(double fraction)
{
    const QString out = cached(QStringLiteral("truncated-%1.mpg").arg(fraction));
    if (!QFile::exists(out)) {
        QFile in(mpegClip(2.0));
        if (in.open(QIODevice::ReadOnly)) {
            QSaveFile f(out);
            if (f.open(QIODevice::WriteOnly)) {
                f.write(in.read(qint64(double(in.size()) * fraction)));
                f.commit();
            }
        }
    }
    return out;
}

namespace {

bool run(const QString &program, const QStringList &args, const QString &folder)
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

} // namespace

QString TestMedia::vcdImage(const QString &kind)
{
    const QMap<QString, QString> names{{"cue", "disc.cue"},    {"bin", "disc.bin"},   {"nrg", "videocd.nrg"},
                                       {"toc", "videocd.toc"}, {"2336", "d36.cue"}, {"2336bin", "d36.bin"}};
    const QString folder = cached(QStringLiteral("vcd"));
    const QString out = folder + QLatin1Char('/') + names.value(kind);
    if (QFile::exists(out))
        return out;
    // Made aside and moved into place whole: test programs run in parallel.
    const QString clip = mpegClip(2.0);
    const QString work = folder + QStringLiteral(".%1").arg(QCoreApplication::applicationPid());
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    const bool ok =
        run(QStringLiteral("vcdxgen"), {"-t", "vcd2", "-l", "TESTVCD", "-o", "v.xml", clip, clip}, work)
        && run(QStringLiteral("vcdxbuild"), {"-q", "-c", "disc.cue", "-b", "disc.bin", "v.xml"}, work)
        && run(QStringLiteral("vcdxbuild"), {"-q", "-i", "nrg", "v.xml"}, work)
        && run(QStringLiteral("vcdxbuild"), {"-q", "-i", "cdrdao", "v.xml"}, work)
        && run(QStringLiteral("vcdimager"),
               {"-q", "--type=vcd2", "--sector-2336", "--iso-volume-label=T2336", "--cue-file=d36.cue",
                "--bin-file=d36.bin", clip},
               work);
    if (!ok || !QDir().rename(work, folder))
        QDir(work).removeRecursively();
    return out;
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
        // Sync pattern, then the address (minute, second, frame in BCD,
        // counted from 00:02:00) and mode 2.
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
    QSaveFile out(datPath);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(header);
    out.write(body);
    return out.commit();
}

} // namespace tavero::test
