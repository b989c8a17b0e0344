#pragma once
// Disc images whose containers the program reads itself: cue sheets,
// cdrdao tables of contents, Nero images and files of bare sectors. The
// readers take bytes; finding and opening the files is the caller's.
//
// Images come from anywhere, and Debian 12's libcdio reads and writes out
// of bounds on crafted cue sheets and Nero files, so none of their bytes
// reach it. Each reader here checks every count, size and offset against
// the file before it uses it, keeps to fixed limits, and hands over a
// layout: which stretch of which data file holds which of the disc's
// sectors, and in what shape. One source then reads every kind of image
// through that layout.

#include "disc/ByteSource.h"
#include "disc/SectorSource.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace tavero {

// How a sector is stored in a data file.
enum class SectorShape {
    Raw,     // 2352 bytes: sync, header, then a Mode 1 or Mode 2 sector's rest
    Mode2,   // 2336 bytes: subheader and data, as SectorSource.h hands them out
    Form1,   // the 2048 data bytes of a Mode 1 or Mode 2 Form 1 sector
    Form2,   // the 2324 data bytes of a Mode 2 Form 2 sector
    Audio,   // 2352 bytes of sound: nothing the program can read as data
};
int shapeBytes(SectorShape shape);

// A stretch of the disc's sectors: in a data file, or a gap of empty
// sectors that no file holds (a pregap a cue sheet only counts).
struct ImageExtent {
    std::int64_t lsn = 0;
    std::int64_t sectors = 0;
    int file = -1;              // into ImageLayout::files; -1 for a gap
    std::int64_t offset = 0;    // the first sector's place in the file
    int stride = 0;             // bytes a sector takes there (sub-channel data included)
    SectorShape shape = SectorShape::Mode2;
};

struct ImageLayout {
    std::vector<std::shared_ptr<const ByteSource>> files;
    std::vector<ImageExtent> extents;
    bool firstTrackAudio = false;
};

// Fixed limits: what any real disc keeps within, and what bounds the work a
// crafted container can ask for.
constexpr int kMaxTracks = 99;
constexpr int kMaxExtents = 1000;
constexpr int kMaxDataFiles = 99;
// 99:59:74, the last address a CD can have.
constexpr std::int64_t kMaxCdSectors = 100 * 60 * 75;

// The source every image is read through. False with `error` when the
// extents overlap or are too many.
std::unique_ptr<SectorSource> makeImageSource(ImageLayout layout, QString *error);

// A name as messages show it: in double quotes.
inline QString quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// Opens the data file a sheet names: null, with why for the message
// ("which cannot be found"), when it cannot. `only`: the sheet names no
// other file. The same file named twice comes back as the same source.
using DataFileFinder = std::function<std::shared_ptr<const ByteSource>(const QString &name, bool only, QString *why)>;

constexpr qint64 kMaxSheetBytes = 64 * 1024;
// A cue sheet or a table of contents as lines of text: at most 64 KiB, no
// NUL bytes, a UTF-8 byte order mark dropped, UTF-8 or else Latin-1, lines
// ended by LF, CRLF or CR. False with `error` ("it is not a cue sheet").
bool sheetLines(const QByteArray &bytes, const QString &notOne, QStringList *lines, QString *error);
// "mm:ss:ff" as sectors, at most 99:59:74; -1 when it is not one.
std::int64_t msfSectors(const QString &text);
// A line's words: blanks part them, "..." makes one word of what it holds.
// For a table of contents, "//" outside quotes ends the line and braces
// are words of their own.
struct SheetWord {
    QString text;
    bool quoted = false;
};
QList<SheetWord> sheetWords(const QString &line, bool toc);

// Each fills `layout` or fails with a reason a user can read.
bool readCueSheet(const QByteArray &sheet, const DataFileFinder &find, ImageLayout *layout, QString *error);
bool readTocFile(const QByteArray &sheet, const DataFileFinder &find, ImageLayout *layout, QString *error);
bool readNeroImage(const std::shared_ptr<const ByteSource> &file, ImageLayout *layout, QString *error);
// Bare sectors of 2352, 2336 or 2048 bytes, told apart by where the first
// volume descriptor lies. A file that holds none fails as NotAnImage.
bool readRawImage(const std::shared_ptr<const ByteSource> &file, ImageLayout *layout, QString *error,
                  OpenFailure *why = nullptr);

} // namespace tavero
