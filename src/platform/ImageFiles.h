#pragma once
// The files of a disc image on disk, for the disc reader (disc/), which
// reads bytes and opens nothing itself.

#include "disc/ImageLayout.h"

#include <QString>

namespace tavero {

// An ordinary file opened for reading; moves, closes itself.
class DataFile : public ByteSource {
public:
    DataFile() = default;
    DataFile(DataFile &&other) noexcept;
    DataFile &operator=(DataFile &&other) noexcept;
    DataFile(const DataFile &) = delete;
    DataFile &operator=(const DataFile &) = delete;
    ~DataFile() override;
    // Opens `path` only if it is an ordinary file: a device, a pipe or a
    // socket would hang or read forever. `why` tells the user otherwise
    // ("which cannot be found", "which is not an ordinary file", ...).
    bool open(const QString &path, QString *why);
    bool isOpen() const { return fd_ >= 0; }
    std::int64_t size() const override { return size_; }
    bool readAt(std::int64_t offset, void *out, std::size_t bytes) const override;

private:
    int fd_ = -1;
    std::int64_t size_ = 0;
};

// Opens `path` as a DataFile; null with `why` when it cannot.
std::shared_ptr<const ByteSource> openDataFile(const QString &path, QString *why);

// Finds the data file a sheet names the way people expect: as written
// (relative to the sheet's folder, or absolute), else its last part (after
// the last "/" or "\") in the sheet's folder without regard to letter
// case. "" when neither is there.
QString findDataFile(const QString &sheet, const QString &name);
// A file beside `path` named `name` without regard to letter case; "" if none.
QString findBeside(const QString &path, const QString &name);

// The data files of the sheet at `sheet`, found as findDataFile() does;
// a sheet renamed, or naming its one data file in a way nothing
// resolves, has it beside it under the sheet's own name (.bin, .img).
DataFileFinder dataFilesOf(const QString &sheet);

// The bytes of a cue sheet or a table of contents, at most one more than
// the reader takes; false when the file cannot be read as one.
bool readSheetFile(const QString &path, QByteArray *bytes);

} // namespace tavero
