#include "disc/DiscMenus.h"

#include "disc/DiscEntries.h"

#include <QRegularExpression>

namespace tavero {

namespace {

// INFO is one sector, a LOT 32; a table is at most 256 KiB (what the
// reader takes: more is refused there).
constexpr std::uint32_t kMaxFileBytes = 256 * 1024 + kForm1Bytes;
constexpr int kMaxSegments = 1980;

QByteArray readFile(Disc &disc, const QString &path)
{
    const int at = disc.tree().find(path);
    if (at < 0)
        return {};
    const DiscEntry &e = disc.tree().entries[std::size_t(at)];
    if (e.folder || e.form2)
        return {};
    const std::uint32_t bytes = std::min(e.size, kMaxFileBytes);
    QByteArray out;
    unsigned char sector[kSectorBytes];
    for (std::uint32_t done = 0; done < bytes; done += kForm1Bytes) {
        if (!disc.read(std::int64_t(e.lsn) + done / kForm1Bytes, 1, sector))
            break;   // what could be read; the reader checks lengths
        out.append(reinterpret_cast<const char *>(sector + kSubheaderBytes),
                   qsizetype(std::min<std::uint32_t>(kForm1Bytes, bytes - done)));
    }
    return out;
}

} // namespace

QString segmentPath(int number, DiscKind kind)
{
    return QStringLiteral("SEGMENT/ITEM%1.%2")
        .arg(number, 4, 10, QLatin1Char('0'))
        .arg(kind == DiscKind::SuperVideoCd ? QLatin1String("MPG") : QLatin1String("DAT"));
}

PbcInput pbcInputOf(Disc &disc)
{
    PbcInput in;
    const bool super = disc.tree().find(QStringLiteral("SVCD/INFO.SVD")) >= 0;
    const QString folder = super ? QStringLiteral("SVCD/") : QStringLiteral("VCD/");
    const QString ext = super ? QStringLiteral(".SVD") : QStringLiteral(".VCD");
    in.info = readFile(disc, folder + QStringLiteral("INFO") + ext);
    in.lot = readFile(disc, folder + QStringLiteral("LOT") + ext);
    in.psd = readFile(disc, folder + QStringLiteral("PSD") + ext);
    if (!super) {
        in.lotX = readFile(disc, QStringLiteral("EXT/LOT_X.VCD"));
        in.psdX = readFile(disc, QStringLiteral("EXT/PSD_X.VCD"));
    }
    in.tracks = int(disc.trackFiles().size());
    in.entries = int(readEntryPoints(disc).size());
    const int segments = disc.tree().child(0, QStringLiteral("SEGMENT"));
    static const QRegularExpression item(QStringLiteral("^ITEM(\\d{4})\\.(DAT|MPG)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    for (const DiscEntry &e : disc.tree().entries) {
        const QRegularExpressionMatch m = item.match(e.name);
        const int n = m.hasMatch() ? m.captured(1).toInt() : 0;
        if (segments < 0 || e.parent != segments || e.folder || n < 1 || n > kMaxSegments)
            continue;
        if (in.segmentBytes.size() < std::size_t(n))
            in.segmentBytes.resize(std::size_t(n), 0);
        in.segmentBytes[std::size_t(n - 1)] = e.size;
    }
    return in;
}

PlaybackControl readDiscMenus(Disc &disc)
{
    return readPlaybackControl(pbcInputOf(disc));
}

} // namespace tavero
