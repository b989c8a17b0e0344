#include "files/OpenDialog.h"

#include "disc/ImageKinds.h"

#include <QStringList>

namespace tavero {

QList<FileFilter> mediaFileFilters()
{
    QStringList images;
    for (const ImageKind &kind : kImageKinds)
        images << QStringLiteral("*.") + QLatin1String(kind.extension);
    const QString imageMasks = images.join(QLatin1Char(';'));
    return {
        {QStringLiteral("All Media files (*.dat;*.avi;*.qt;*.mpeg;*.mpg)"),
         QStringLiteral("*.dat;*.avi;*.qt*;*.mp*")},
        {QStringLiteral("Video CD/Movie files (*.dat)"), QStringLiteral("*.dat")},
        {QStringLiteral("MPEG files (*.mpg;*.mpeg;*.mp3)"), QStringLiteral("*.mp*")},
        {QStringLiteral("AVI files (*.avi)"), QStringLiteral("*.avi")},
        {QStringLiteral("QuickTime files (*.qt)"), QStringLiteral("*.qt*")},
        {QStringLiteral("All files (*.*)"), QStringLiteral("*.*")},
        {QStringLiteral("Video CD images (%1)").arg(imageMasks), imageMasks},
    };
}

} // namespace tavero
