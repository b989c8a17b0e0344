#include "platform/DiscSource.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tavero {

namespace {

constexpr std::int64_t kVolumeDescriptorSector = 16;
// Cue sheets and tables of contents are a few hundred bytes.
constexpr qint64 kMaxSheetBytes = 256 * 1024;

QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// libcdio talks to standard error and may abort() on what it takes for a
// broken assertion; images come from anywhere, and the program gives its
// own messages.
void quietCdio()
{
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler([](cdio_log_level_t, const char *) {}); });
}

bool preadAll(int fd, unsigned char *buf, std::size_t bytes, off_t offset)
{
    while (bytes > 0) {
        const ssize_t n = ::pread(fd, buf, bytes, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buf += n;
        bytes -= std::size_t(n);
        offset += n;
    }
    return true;
}

// A file of sectors with nothing around them: a .bin without its cue sheet,
// an image of 2336-byte sectors, a plain .iso.
class RawImageSource : public SectorSource {
public:
    RawImageSource(int fd, int sectorSize, std::int64_t count) : fd_(fd), size_(sectorSize), count_(count) {}
    ~RawImageSource() override { ::close(fd_); }

    bool read(std::int64_t lsn, int count, unsigned char *out) override
    {
        if (lsn < 0 || count <= 0 || lsn + count > count_)
            return false;
        const off_t at = off_t(lsn) * size_;
        if (size_ == kSectorBytes)
            return preadAll(fd_, out, std::size_t(count) * kSectorBytes, at);
        buffer_.resize(std::size_t(count) * std::size_t(size_));
        if (!preadAll(fd_, buffer_.data(), buffer_.size(), at))
            return false;
        for (int i = 0; i < count; ++i) {
            const unsigned char *raw = buffer_.data() + std::size_t(i) * std::size_t(size_);
            unsigned char *shaped = out + std::size_t(i) * kSectorBytes;
            if (size_ == 2352 && raw[15] == 2) {
                std::memcpy(shaped, raw + 16, kSectorBytes);
                continue;
            }
            // Mode 1: 2048 bytes of data behind a raw sector's header, or
            // the whole of a 2048-byte sector.
            std::memset(shaped, 0, kSectorBytes);
            std::memcpy(shaped + kSubheaderBytes, raw + (size_ == 2352 ? 16 : 0), kForm1Bytes);
        }
        return true;
    }
    std::int64_t sectorCount() const override { return count_; }

private:
    int fd_;
    int size_;
    std::int64_t count_;
    std::vector<unsigned char> buffer_;
};

// Drives and the image formats that need a parser: cue sheets, Nero
// images, cdrdao tables of contents.
class CdioSource : public SectorSource {
public:
    CdioSource(CdIo_t *cdio, bool mode2) : cdio_(cdio), mode2_(mode2)
    {
        const lsn_t last = cdio_get_disc_last_lsn(cdio_);
        count_ = last == CDIO_INVALID_LSN ? -1 : std::int64_t(last) + 1;
    }
    ~CdioSource() override { cdio_destroy(cdio_); }

    bool read(std::int64_t lsn, int count, unsigned char *out) override
    {
        if (lsn < 0 || count <= 0 || (count_ >= 0 && lsn + count > count_))
            return false;
        if (mode2_)
            return cdio_read_mode2_sectors(cdio_, out, lsn_t(lsn), true, uint32_t(count)) == DRIVER_OP_SUCCESS;
        buffer_.resize(std::size_t(count) * kForm1Bytes);
        if (cdio_read_mode1_sectors(cdio_, buffer_.data(), lsn_t(lsn), false, uint32_t(count)) != DRIVER_OP_SUCCESS)
            return false;
        for (int i = 0; i < count; ++i) {
            unsigned char *shaped = out + std::size_t(i) * kSectorBytes;
            std::memset(shaped, 0, kSectorBytes);
            std::memcpy(shaped + kSubheaderBytes, buffer_.data() + std::size_t(i) * kForm1Bytes, kForm1Bytes);
        }
        return true;
    }
    std::int64_t sectorCount() const override { return count_; }

private:
    CdIo_t *cdio_;
    bool mode2_;
    std::int64_t count_ = -1;
    std::vector<unsigned char> buffer_;
};

// Finds how a raw image lays out its sectors by looking for the first
// volume descriptor ("CD001") where each layout would put it.
std::unique_ptr<SectorSource> openRawImage(const QString &path, QString *error, bool *notAnImage)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("it cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    struct stat st {};
    ::fstat(fd, &st);
    const struct {
        int size;
        int descriptorOffset;
    } layouts[] = {{2352, 24}, {2352, 16}, {kSectorBytes, kSubheaderBytes}, {kForm1Bytes, 0}};
    for (const auto &l : layouts) {
        unsigned char id[6];
        const off_t at = off_t(kVolumeDescriptorSector) * l.size + l.descriptorOffset;
        if (preadAll(fd, id, sizeof id, at) && std::memcmp(id + 1, "CD001", 5) == 0)
            return std::make_unique<RawImageSource>(fd, l.size, std::int64_t(st.st_size) / l.size);
    }
    ::close(fd);
    if (notAnImage)
        *notAnImage = true;
    *error = QStringLiteral("it holds no disc file system");
    return nullptr;
}

// The data files a cue sheet or a .toc names, as written there.
// `sectors2336` is set for a sheet of 2336-byte sectors, which libcdio opens
// but reads as if they were raw 2352-byte ones.
bool sheetFiles(const QString &path, bool toc, QStringList *names, bool *sectors2336, QString *error)
{
    const QString notOne = toc ? QStringLiteral("it is not a table of contents") : QStringLiteral("it is not a cue sheet");
    QFile f(path);
    if (f.size() > kMaxSheetBytes || !f.open(QIODevice::ReadOnly)) {
        *error = notOne;
        return false;
    }
    const QByteArray text = f.readAll();
    static const QRegularExpression cueFile(QStringLiteral("^\\s*FILE\\s+(?:\"([^\"]*)\"|(\\S+))"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tocFile(QStringLiteral("^\\s*(?:DATA)?FILE\\s+\"([^\"]*)\""),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression track(QStringLiteral("^\\s*TRACK\\b"), QRegularExpression::CaseInsensitiveOption);
    bool tracks = false;
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        tracks = tracks || track.match(line).hasMatch();
        *sectors2336 = *sectors2336 || line.contains(QLatin1String("/2336"));
        const QRegularExpressionMatch m = (toc ? tocFile : cueFile).match(line);
        if (m.hasMatch())
            names->append(m.captured(1).isEmpty() ? m.captured(2) : m.captured(1));
    }
    if (text.contains('\0') || !tracks || names->isEmpty()) {
        *error = notOne;
        return false;
    }
    return true;
}

// Every data file named must be an ordinary file that can be read: a name
// that leads to a pipe or a device would hang or read forever.
bool checkDataFiles(const QString &sheet, const QStringList &names, QString *firstFile, QString *error)
{
    const QString folder = QFileInfo(sheet).absolutePath();
    const QString kind = sheet.endsWith(QLatin1String(".toc"), Qt::CaseInsensitive) ? QStringLiteral("table of contents")
                                                                                      : QStringLiteral("cue sheet");
    for (const QString &name : names) {
        const QString file = QFileInfo(name).isAbsolute() ? name : folder + QLatin1Char('/') + name;
        const QFileInfo info(file);
        QString why;
        if (name.isEmpty() || !info.exists())
            why = QStringLiteral("which cannot be found");
        else if (!info.isFile())
            why = QStringLiteral("which is not an ordinary file");
        else if (!info.isReadable())
            why = QStringLiteral("which cannot be read");
        if (!why.isEmpty()) {
            *error = QStringLiteral("the %1 names %2, %3").arg(kind, quoted(name), why);
            return false;
        }
        if (firstFile->isEmpty())
            *firstFile = file;
    }
    return true;
}

} // namespace

bool isDiscImageName(const QString &path)
{
    for (const char *ext : {".cue", ".nrg", ".toc", ".bin"}) {
        if (path.endsWith(QLatin1String(ext), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

std::unique_ptr<SectorSource> openSectorSource(const QString &path, QString *error, bool *notAnImage)
{
    quietCdio();
    if (notAnImage)
        *notAnImage = false;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        *error = QStringLiteral("there is no such file");
        return nullptr;
    }
    const bool device = S_ISBLK(st.st_mode);
    if (!device && !S_ISREG(st.st_mode)) {
        *error = QStringLiteral("it is not an ordinary file");
        return nullptr;
    }

    driver_id_t driver = DRIVER_UNKNOWN;
    QString firstFile;
    if (!device) {
        const bool cue = path.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive);
        const bool toc = path.endsWith(QLatin1String(".toc"), Qt::CaseInsensitive);
        if (cue || toc) {
            QStringList names;
            bool sectors2336 = false;
            if (!sheetFiles(path, toc, &names, &sectors2336, error)
                || !checkDataFiles(path, names, &firstFile, error))
                return nullptr;
            if (sectors2336)
                return openRawImage(firstFile, error, nullptr);
            driver = cue ? DRIVER_BINCUE : DRIVER_CDRDAO;
        } else if (path.endsWith(QLatin1String(".nrg"), Qt::CaseInsensitive)) {
            driver = DRIVER_NRG;
        } else {
            return openRawImage(path, error, notAnImage);
        }
    }

    if (CdIo_t *cdio = cdio_open(QFile::encodeName(path).constData(), device ? DRIVER_DEVICE : driver)) {
        const track_t first = cdio_get_first_track_num(cdio);
        const track_format_t format = cdio_get_track_format(cdio, first);
        if (format == TRACK_FORMAT_XA || format == TRACK_FORMAT_DATA)
            return std::make_unique<CdioSource>(cdio, format == TRACK_FORMAT_XA);
        cdio_destroy(cdio);
        *error = QStringLiteral("its first track holds no data (an audio CD?)");
        return nullptr;
    }
    if (device)
        *error = QStringLiteral("the disc in it cannot be read");
    else if (driver == DRIVER_NRG)
        *error = QStringLiteral("it is not a Nero image that can be read");
    else
        *error = QStringLiteral("the disc image it describes cannot be read");
    return nullptr;
}

} // namespace tavero
