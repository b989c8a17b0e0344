#include "files/OpenDialog.h"

namespace tavero {

QList<FileFilter> mediaFileFilters()
{
    return {
        {QStringLiteral("All Media files (*.dat;*.avi;*.qt;*.mpeg;*.mpg)"),
         QStringLiteral("*.dat;*.avi;*.qt*;*.mp*")},
        {QStringLiteral("Video CD/Movie files (*.dat)"), QStringLiteral("*.dat")},
        {QStringLiteral("MPEG files (*.mpg;*.mpeg;*.mp3)"), QStringLiteral("*.mp*")},
        {QStringLiteral("AVI files (*.avi)"), QStringLiteral("*.avi")},
        {QStringLiteral("QuickTime files (*.qt)"), QStringLiteral("*.qt*")},
        {QStringLiteral("All files (*.*)"), QStringLiteral("*.*")},
        {QStringLiteral("Video CD images (*.cue;*.nrg;*.bin;*.toc;*.img;*.ccd;*.mdf;*.mds)"),
         QStringLiteral("*.cue;*.nrg;*.bin;*.toc;*.img;*.ccd;*.mdf;*.mds")},
    };
}

} // namespace tavero
