#include "platform/ImageFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tavero {

DataFile::DataFile(DataFile &&other) noexcept : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

DataFile &DataFile::operator=(DataFile &&other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
    }
    return *this;
}

DataFile::~DataFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool DataFile::open(const QString &path, QString *why)
{
    // Without O_NONBLOCK, opening a pipe would wait for a writer forever;
    // the type is checked on what was opened, so nothing can be swapped in
    // between.
    const int fd = path.isEmpty() ? -1
                                  : ::open(QFile::encodeName(path).constData(),
                                           O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0) {
        *why = path.isEmpty() || errno == ENOENT || errno == ENOTDIR ? QStringLiteral("which cannot be found")
                                                                     : QStringLiteral("which cannot be read");
        return false;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *why = QStringLiteral("which is not an ordinary file");
        return false;
    }
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
    size_ = st.st_size;
    return true;
}

bool DataFile::readAt(std::int64_t offset, void *out, std::size_t bytes) const
{
    auto *to = static_cast<unsigned char *>(out);
    if (offset < 0 || offset > size_)
        return false;
    while (bytes > 0) {
        const ssize_t n = ::pread(fd_, to, bytes, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        to += n;
        bytes -= std::size_t(n);
        offset += n;
    }
    return true;
}

std::shared_ptr<const ByteSource> openDataFile(const QString &path, QString *why)
{
    auto file = std::make_shared<DataFile>();
    if (!file->open(path, why))
        return nullptr;
    return file;
}

QString findBeside(const QString &path, const QString &name)
{
    const QDir folder = QFileInfo(path).absoluteDir();
    if (name.isEmpty())
        return QString();
    if (QFileInfo::exists(folder.filePath(name)))
        return folder.filePath(name);
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return folder.filePath(entry);
    }
    return QString();
}

QString findDataFile(const QString &sheet, const QString &name)
{
    if (name.isEmpty())
        return QString();
    const QString asWritten = QFileInfo(name).isAbsolute() ? name : QFileInfo(sheet).absoluteDir().filePath(name);
    if (QFileInfo::exists(asWritten))
        return asWritten;
    const QString last = name.section(QRegularExpression(QStringLiteral("[/\\\\]")), -1);
    return last == QLatin1String(".") || last == QLatin1String("..") ? QString() : findBeside(sheet, last);
}

DataFileFinder dataFilesOf(const QString &sheet)
{
    // Two names of one file are one file.
    auto opened = std::make_shared<QHash<QString, std::shared_ptr<const ByteSource>>>();
    return [sheet, opened](const QString &name, bool only, QString *why) -> std::shared_ptr<const ByteSource> {
        QString found = findDataFile(sheet, name);
        for (const char *ext : {".bin", ".img"}) {
            if (found.isEmpty() && only)
                found = findBeside(sheet, QFileInfo(sheet).completeBaseName() + QLatin1String(ext));
        }
        const QString key = QFileInfo(found).absoluteFilePath();
        if (!found.isEmpty() && opened->contains(key))
            return opened->value(key);
        std::shared_ptr<const ByteSource> file = openDataFile(found, why);
        if (file)
            opened->insert(key, file);
        return file;
    };
}

bool readSheetFile(const QString &path, QByteArray *bytes)
{
    DataFile file;
    QString why;
    if (!file.open(path, &why))
        return false;
    bytes->resize(qsizetype(std::min<std::int64_t>(file.size(), kMaxSheetBytes + 1)));
    return file.readAt(0, bytes->data(), std::size_t(bytes->size()));
}

} // namespace tavero
