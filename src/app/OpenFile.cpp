// Opening a file by hand: File > Open File and the recent-files list.

#include "app/Form1.h"

#include "files/OpenDialog.h"
#include "files/RecentFiles.h"

namespace tavero {

void Form1::mnuOpen_Click()
{
    const QString path = ShowOpenDialog(kOpenDialogTitle, mediaFileFilters(), state.CDFolder);
    // Cleared before the answer is looked at: a cancelled dialog still ends
    // single-file mode, even while that file goes on playing.
    state.SingleFileMode = false;
    if (!path.isEmpty()) {
        state.SingleFileMode = true;
        PlayFile(path);
    }
}

// No preset name and no default extension: the dialog is asked for none,
// and a chosen file must exist, so there is nothing to append one to.
QString Form1::ShowOpenDialog(const QString &title, const QList<FileFilter> &filters, const QString &initialFolder)
{
    if (!seams_.openDialog)
        return QString();
    // The first filter is the one selected when the dialog opens.
    return seams_.openDialog->getOpenFileName(this, title, filters, 0, initialFolder);
}

QString Form1::recentCaption(int index) const
{
    return recent_->caption(index);
}

void Form1::UpdateRecentFiles(const QString &path)
{
    recent_->add(path);
}

void Form1::mnuRecent_Click(int index)
{
    const QString path = recent_->path(index);
    const QString real = path.isEmpty() ? QString() : locateFile(*seams_.files, path);
    if (!real.isEmpty()) {
        state.SingleFileMode = true;
        PlayFile(real);
    } else {
        showMessage(QStringLiteral("The file '") + path + QStringLiteral("' could not be found ...!"),
                    MessageIcon::Error);
    }
}

} // namespace tavero
