#pragma once
// Where a disc's sectors come from on this machine: an optical drive,
// read through libcdio, or an image file, whose containers the disc
// reader reads (disc/ImageLayout.h).

#include "disc/Disc.h"

#include <QString>
#include <memory>

namespace tavero {

// The names that may hold a disc image: .cue, .nrg, .toc, .bin, and the
// raw images of CloneCD (.img, .ccd) and Alcohol (.mdf, .mds).
bool isDiscImageName(const QString &path);

// Opens a drive (a block device) or an image: a cue sheet with its data
// files, a Nero image, a cdrdao .toc, a CloneCD or Alcohol descriptor with
// its image, or a file of raw 2352-, 2336- or 2048-byte sectors. Fails
// with a reason a user can read ("the cue sheet names "a.bin", which
// cannot be found") and, when asked, why.
std::unique_ptr<SectorSource> openSectorSource(const QString &path, QString *error, OpenFailure *why = nullptr);
// The same, with the disc's directory read. A file with no file system at
// all is no disc image (NotAnImage); one whose file system is damaged is
// a damaged image.
std::shared_ptr<Disc> openDisc(const QString &path, QString *error, OpenFailure *why = nullptr);

} // namespace tavero
