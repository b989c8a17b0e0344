#include "app/Form1.h"

namespace tavero {

void Form1::mnuOpen_Click()
{
    // What is shown and what is listed differ on purpose: the first entry
    // names the common types but also lists .mp3 and .qtx files.
    const QList<FileFilter> filters{
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
    const QString path = ShowOpenDialog(QStringLiteral("Select a media file ..."), QString(),
                                        filters, state.CDFolder, QString());
    // Cleared before the answer is looked at: a cancelled dialog still ends
    // single-file mode, even while that file goes on playing.
    state.SingleFileMode = false;
    if (!path.isEmpty()) {
        state.SingleFileMode = true;
        PlayFile(path);
    }
}

QString Form1::ShowOpenDialog(const QString &title, const QString &initialFileName,
                              const QList<FileFilter> &filters, const QString &initialFolder,
                              const QString &defaultExtension)
{
    // The platform dialog takes neither a preset name nor a default
    // extension: every caller passes them empty, and a chosen file must
    // exist anyway, so there is nothing to append an extension to.
    Q_UNUSED(initialFileName);
    Q_UNUSED(defaultExtension);
    if (!seams_.openDialog)
        return QString();
    // The first filter is the one selected when the dialog opens.
    return seams_.openDialog->getOpenFileName(this, title, filters, 0, initialFolder);
}

} // namespace tavero
