#include "platform/DiscSource.h"

#include "disc/ImageKinds.h"
#include "platform/ImageFiles.h"

#include <QFile>
#include <QFileInfo>
#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace tavero {

namespace {

constexpr std::int64_t kVolumeDescriptorSector = 16;

// libcdio talks to standard error and may abort() on what it takes for a
// broken assertion; the program gives its own messages.
void quietCdio()
{
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler([](cdio_log_level_t, const char *) {}); });
}

// Whether a drive's disc holds Mode 2 sectors. libcdio's Linux driver
// takes a track's mode from the table of contents entry's format field,
// which the kernel fills with the address format asked for, so a Video
// CD in a drive never reads as XA; its sectors show it instead: the volume
// descriptor read in Mode 2 shape has "CD001" after the subheader only
// when the sector is Mode 2.
bool readsAsMode2(CdIo_t *cdio)
{
    unsigned char sector[kSectorBytes];
    return cdio_read_mode2_sectors(cdio, sector, lsn_t(kVolumeDescriptorSector), true, 1) == DRIVER_OP_SUCCESS
           && std::memcmp(sector + kSubheaderBytes + 1, "CD001", 5) == 0;
}

// Optical drives, whose table of contents comes from the drive.
class CdioSource : public SectorSource {
public:
    explicit CdioSource(CdIo_t *cdio) : cdio_(cdio), mode2_(readsAsMode2(cdio))
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
        // One sector a call: libcdio 2.1.0's Linux driver ends a run of
        // Mode 1 sectors after the first and answers with the byte count
        // of its read() instead of DRIVER_OP_SUCCESS; a failure is negative.
        for (int i = 0; i < count; ++i) {
            unsigned char *shaped = out + std::size_t(i) * kSectorBytes;
            std::memset(shaped, 0, kSectorBytes);
            if (cdio_read_mode1_sector(cdio_, shaped + kSubheaderBytes, lsn_t(lsn + i), false) < 0)
                return false;
        }
        return true;
    }
    std::int64_t sectorCount() const override { return count_; }

private:
    CdIo_t *cdio_;
    bool mode2_;
    std::int64_t count_ = -1;
};

bool readRaw(const QString &path, ImageLayout *layout, QString *error, OpenFailure *why)
{
    QString unused;
    const std::shared_ptr<const ByteSource> file = openDataFile(path, &unused);
    if (!file) {
        *error = QStringLiteral("it cannot be read (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return readRawImage(file, layout, error, why);
}

// CloneCD (.ccd) and Alcohol (.mds) keep the sectors in a raw image beside
// them (.img, .mdf); what they say of it besides, the player does not need.
bool readBeside(const QString &path, const char *ext, ImageLayout *layout, QString *error)
{
    const QString name = QFileInfo(path).completeBaseName() + QLatin1String(ext);
    const QString image = findBeside(path, name);
    if (image.isEmpty()) {
        *error = QStringLiteral("its sectors belong in %1 beside it, which cannot be found").arg(quoted(name));
        return false;
    }
    return readRaw(image, layout, error, nullptr);
}

bool readSheet(const QString &path, bool toc, ImageLayout *layout, QString *error)
{
    QByteArray bytes;
    if (!readSheetFile(path, &bytes)) {
        *error = toc ? QStringLiteral("it is not a table of contents") : QStringLiteral("it is not a cue sheet");
        return false;
    }
    return toc ? readTocFile(bytes, dataFilesOf(path), layout, error)
               : readCueSheet(bytes, dataFilesOf(path), layout, error);
}

bool readNero(const QString &path, ImageLayout *layout, QString *error)
{
    QString unused;
    const std::shared_ptr<const ByteSource> file = openDataFile(path, &unused);
    if (!file) {
        *error = QStringLiteral("it cannot be read");
        return false;
    }
    return readNeroImage(file, layout, error);
}

} // namespace

bool isDiscImageName(const QString &path)
{
    return imageKindOf(path) != nullptr;
}

std::unique_ptr<SectorSource> openSectorSource(const QString &path, QString *error, OpenFailure *why)
{
    const QString noData = QStringLiteral("its first track holds no data (an audio CD?)");
    if (why)
        *why = OpenFailure::Other;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        *error = QStringLiteral("there is no such file");
        return nullptr;
    }
    if (S_ISBLK(st.st_mode)) {
        // libcdio tells only that it could not open the drive; why (a
        // drive the user may not read) is worth a message of its own.
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            const bool refused = errno == EACCES;
            *error = refused ? QStringLiteral("permission denied") : QString::fromLocal8Bit(std::strerror(errno));
            if (refused && why)
                *why = OpenFailure::PermissionDenied;
            return nullptr;
        }
        ::close(fd);
        quietCdio();
        // The ioctl mode (CDROMREADMODE2), libcdio's default on Linux, said
        // out loud: the READ_CD mode sends the same one-sector commands
        // through CDROM_SEND_PACKET and falls back to READ_10, which
        // changes the drive's block size.
        if (CdIo_t *cdio = cdio_open_am(QFile::encodeName(path).constData(), DRIVER_DEVICE, "IOCTL")) {
            const track_format_t format = cdio_get_track_format(cdio, cdio_get_first_track_num(cdio));
            if (format == TRACK_FORMAT_XA || format == TRACK_FORMAT_DATA)
                return std::make_unique<CdioSource>(cdio);
            cdio_destroy(cdio);
            *error = noData;
            return nullptr;
        }
        *error = QStringLiteral("the disc in it cannot be read");
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = QStringLiteral("it is not an ordinary file");
        return nullptr;
    }
    // Bare sectors are told by what they hold, whatever the name.
    const ImageKind *kind = imageKindOf(path);
    const ImageReader reader = kind ? kind->reader : ImageReader::Raw;
    ImageLayout layout;
    const bool read = reader == ImageReader::CueSheet          ? readSheet(path, false, &layout, error)
                      : reader == ImageReader::TableOfContents ? readSheet(path, true, &layout, error)
                      : reader == ImageReader::Nero            ? readNero(path, &layout, error)
                      : reader == ImageReader::RawBeside       ? readBeside(path, kind->rawBeside, &layout, error)
                                                               : readRaw(path, &layout, error, why);
    if (!read)
        return nullptr;
    if (layout.firstTrackAudio) {
        *error = noData;
        return nullptr;
    }
    return makeImageSource(std::move(layout), error);
}

std::shared_ptr<Disc> openDisc(const QString &path, QString *error, OpenFailure *why)
{
    std::unique_ptr<SectorSource> source = openSectorSource(path, error, why);
    return source ? Disc::open(std::move(source), error, why) : nullptr;
}

} // namespace tavero
