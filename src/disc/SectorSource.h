#pragma once
// Where a disc's sectors come from: an optical drive or an image file.
//
// A Video CD keeps its movie in Mode 2 Form 2 sectors, which the kernel's
// iso9660 driver cannot read, so the program reads sectors itself. Every
// source hands them out in one shape, the 2336 bytes that follow a Mode 2
// sector's header: an 8-byte subheader, then the data (2048 bytes in Form
// 1, 2324 in Form 2). Mode 1 sectors get the same shape with an empty
// subheader, so the readers above know one layout only.

#include <cstdint>

namespace tavero {

constexpr int kSectorBytes = 2336;
constexpr int kSubheaderBytes = 8;
constexpr int kForm1Bytes = 2048;
constexpr int kForm2Bytes = 2324;

class SectorSource {
public:
    virtual ~SectorSource() = default;
    // Reads `count` sectors from `lsn` into `out` (count * kSectorBytes).
    // False when any of them could not be read; the caller then reads them
    // one at a time to learn which.
    virtual bool read(std::int64_t lsn, int count, unsigned char *out) = 0;
    // Sectors in the source, or -1 when it cannot tell.
    virtual std::int64_t sectorCount() const = 0;
};

// Why a disc could not be opened, where a caller acts on the reason; the
// text that goes with it is for the user.
enum class OpenFailure {
    Other,
    // A file that holds no file system at all, to be tried as a media file.
    NotAnImage,
    // A drive the user may not read.
    PermissionDenied,
};

} // namespace tavero
