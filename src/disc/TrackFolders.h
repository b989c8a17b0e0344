#pragma once
// Where a disc keeps its tracks, in the order they are looked for: a Video
// CD in MPEGAV (MPEGSAV on some discs), a Super Video CD in MPEG2. Spelled
// as the program asks for them; a disc's directory and a mount answer
// without regard to letter case.

#include <QString>
#include <array>

namespace tavero {

inline const std::array<QString, 3> kTrackFolders{QStringLiteral("Mpegav"), QStringLiteral("Mpegsav"),
                                                  QStringLiteral("Mpeg2")};
inline const QString &kVideoCdFolder = kTrackFolders[0];
// Its tracks are MPEG files (*.mpg); a Video CD's are *.dat.
inline const QString &kSuperVideoCdFolder = kTrackFolders[2];

} // namespace tavero
