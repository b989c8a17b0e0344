#include "disc/ImageLayout.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>
#include <utility>

namespace tavero {

namespace {

constexpr std::int64_t kVolumeDescriptorSector = 16;
// A read of many sectors is done in pieces of this many, so that a
// caller's large read never needs a buffer of its size.
constexpr std::int64_t kPieceSectors = 64;

// Puts one stored sector into the shape of SectorSource.h.
void shape(const unsigned char *stored, SectorShape shape, unsigned char *out)
{
    if (shape == SectorShape::Mode2) {
        std::memcpy(out, stored, kSectorBytes);
        return;
    }
    if (shape == SectorShape::Raw && stored[15] == 2) {
        std::memcpy(out, stored + 16, kSectorBytes);
        return;
    }
    std::memset(out, 0, kSectorBytes);
    if (shape == SectorShape::Form2)
        std::memcpy(out + kSubheaderBytes, stored, kForm2Bytes);
    else   // Mode 1 behind a raw sector's header, or Form 1 data alone
        std::memcpy(out + kSubheaderBytes, stored + (shape == SectorShape::Raw ? 16 : 0), kForm1Bytes);
}

class ImageSource : public SectorSource {
public:
    explicit ImageSource(ImageLayout layout) : layout_(std::move(layout))
    {
        for (const ImageExtent &e : layout_.extents)
            end_ = std::max(end_, e.lsn + e.sectors);
    }

    bool read(std::int64_t lsn, int count, unsigned char *out) override
    {
        if (lsn < 0 || count <= 0 || lsn + count > end_)
            return false;
        std::int64_t left = count;
        while (left > 0) {
            // The extent holding `lsn`: the last one starting at or before it.
            const auto after = std::upper_bound(layout_.extents.begin(), layout_.extents.end(), lsn,
                                                [](std::int64_t l, const ImageExtent &e) { return l < e.lsn; });
            if (after == layout_.extents.begin())
                return false;
            const ImageExtent &e = *(after - 1);
            if (lsn >= e.lsn + e.sectors || e.shape == SectorShape::Audio)
                return false;   // between tracks, or sound
            const std::int64_t n = std::min({left, e.lsn + e.sectors - lsn, kPieceSectors});
            if (e.file < 0) {
                std::memset(out, 0, std::size_t(n) * kSectorBytes);
            } else {
                const ByteSource &file = *layout_.files[std::size_t(e.file)];
                const std::int64_t at = e.offset + (lsn - e.lsn) * e.stride;
                if (e.shape == SectorShape::Mode2 && e.stride == kSectorBytes) {
                    if (!file.readAt(at, out, std::size_t(n) * kSectorBytes))
                        return false;
                } else {
                    buffer_.resize(std::size_t(n) * std::size_t(e.stride));
                    if (!file.readAt(at, buffer_.data(), buffer_.size()))
                        return false;
                    for (std::int64_t i = 0; i < n; ++i)
                        shape(buffer_.data() + i * e.stride, e.shape, out + i * kSectorBytes);
                }
            }
            out += n * kSectorBytes;
            lsn += n;
            left -= n;
        }
        return true;
    }
    std::int64_t sectorCount() const override { return end_; }

private:
    ImageLayout layout_;
    std::int64_t end_ = 0;
    std::vector<unsigned char> buffer_;
};

} // namespace

int shapeBytes(SectorShape s)
{
    switch (s) {
    case SectorShape::Mode2:
        return kSectorBytes;
    case SectorShape::Form1:
        return kForm1Bytes;
    case SectorShape::Form2:
        return kForm2Bytes;
    case SectorShape::Raw:
    case SectorShape::Audio:
        break;
    }
    return 2352;
}

std::unique_ptr<SectorSource> makeImageSource(ImageLayout layout, QString *error)
{
    auto &extents = layout.extents;
    extents.erase(std::remove_if(extents.begin(), extents.end(), [](const ImageExtent &e) { return e.sectors <= 0; }),
                  extents.end());
    std::stable_sort(extents.begin(), extents.end(),
                     [](const ImageExtent &a, const ImageExtent &b) { return a.lsn < b.lsn; });
    if (extents.empty() || extents.size() > std::size_t(kMaxExtents)) {
        *error = extents.empty() ? QStringLiteral("it holds no sectors") : QStringLiteral("it has too many parts");
        return nullptr;
    }
    for (std::size_t i = 1; i < extents.size(); ++i) {
        if (extents[i].lsn < extents[i - 1].lsn + extents[i - 1].sectors) {
            *error = QStringLiteral("its tracks overlap");
            return nullptr;
        }
    }
    return std::make_unique<ImageSource>(std::move(layout));
}

bool sheetLines(const QByteArray &sheet, const QString &notOne, QStringList *lines, QString *error)
{
    if (sheet.size() > kMaxSheetBytes || sheet.contains('\0')) {
        *error = sheet.size() > kMaxSheetBytes ? notOne + QStringLiteral(" (it is larger than 64 KiB)") : notOne;
        return false;
    }
    QByteArray bytes = sheet;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    *lines = text.split(QLatin1Char('\n'));
    return true;
}

std::int64_t msfSectors(const QString &text)
{
    static const QRegularExpression msf(QStringLiteral("^(\\d{1,2}):(\\d{1,2}):(\\d{1,2})$"));
    const QRegularExpressionMatch m = msf.match(text);
    if (!m.hasMatch())
        return -1;
    const int minutes = m.captured(1).toInt(), seconds = m.captured(2).toInt(), frames = m.captured(3).toInt();
    if (seconds >= 60 || frames >= 75)
        return -1;
    return (std::int64_t(minutes) * 60 + seconds) * 75 + frames;
}

QList<SheetWord> sheetWords(const QString &line, bool toc)
{
    QList<SheetWord> words;
    for (qsizetype i = 0; i < line.size();) {
        const QChar c = line[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('"')) {
            const qsizetype close = line.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype end = close < 0 ? line.size() : close;
            words.append({line.mid(i + 1, end - i - 1), true});
            i = end + 1;
        } else if (toc && line.mid(i, 2) == QLatin1String("//")) {
            break;
        } else if (toc && (c == QLatin1Char('{') || c == QLatin1Char('}'))) {
            words.append({QString(c), false});
            ++i;
        } else {
            qsizetype end = i;
            while (end < line.size() && !line[end].isSpace() && line[end] != QLatin1Char('"')
                   && !(toc && (line[end] == QLatin1Char('{') || line[end] == QLatin1Char('}')
                                || line.mid(end, 2) == QLatin1String("//"))))
                ++end;
            words.append({line.mid(i, end - i), false});
            i = end;
        }
    }
    return words;
}

bool readRawImage(const std::shared_ptr<const ByteSource> &file, ImageLayout *layout, QString *error,
                  OpenFailure *why)
{
    const struct {
        int stride;
        int descriptorOffset;
        SectorShape shape;
    } layouts[] = {{2352, 24, SectorShape::Raw},
                   {2352, 16, SectorShape::Raw},
                   {kSectorBytes, kSubheaderBytes, SectorShape::Mode2},
                   {kForm1Bytes, 0, SectorShape::Form1}};
    for (const auto &l : layouts) {
        unsigned char id[6];
        if (file->readAt(kVolumeDescriptorSector * l.stride + l.descriptorOffset, id, sizeof id)
            && std::memcmp(id + 1, "CD001", 5) == 0) {
            layout->extents.push_back({0, file->size() / l.stride, int(layout->files.size()), 0, l.stride, l.shape});
            layout->files.push_back(file);
            return true;
        }
    }
    if (why)
        *why = OpenFailure::NotAnImage;
    *error = QStringLiteral("it holds no disc file system");
    return false;
}

} // namespace tavero
