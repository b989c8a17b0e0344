#include "platform/QtOpenFileDialog.h"

#include "platform/LinuxFileSystem.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QSettings>

namespace tavero {

namespace {

// Qt's dialog keeps its history, last folder and looks in QtProject.conf in
// the user's config folder; the program stores nothing between runs. Its
// settings go to a folder that cannot exist, so that nothing is written;
// the history is kept here for the run, and Qt keeps the last folder in
// memory itself.
QStringList &historyOfThisRun()
{
    static QStringList history;
    return history;
}

void keepSettingsOutOfTheConfigFolder()
{
    static const bool done = [] {
        for (QSettings::Format f : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(f, QSettings::UserScope, QStringLiteral("/dev/null"));
        return true;
    }();
    Q_UNUSED(done);
}

} // namespace

void MaskFilterProxy::setMasks(const QString &masks)
{
    masks_ = masks.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    invalidateFilter();
}

bool MaskFilterProxy::isDir(const QModelIndex &sourceIndex) const
{
    if (auto *fs = qobject_cast<QFileSystemModel *>(sourceModel()))
        return fs->isDir(sourceIndex);
    return false;
}

bool MaskFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (isDir(index))
        return true;
    const QString name = index.data(Qt::DisplayRole).toString();
    for (const QString &mask : masks_) {
        if (LinuxFileSystem::matchesMask(name, mask))
            return true;
    }
    return false;
}

Qt::ItemFlags MaskFilterProxy::flags(const QModelIndex &index) const
{
    // The file system model greys out whatever its own name filters
    // reject; what this proxy lets through is meant to be chosen.
    Qt::ItemFlags f = QSortFilterProxyModel::flags(index);
    if (index.isValid())
        f |= Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return f;
}

std::unique_ptr<QFileDialog> QtOpenFileDialog::createDialog(QWidget *owner, const QString &title,
                                                            const QList<FileFilter> &filters,
                                                            int selectedFilter,
                                                            const QString &initialFolder)
{
    keepSettingsOutOfTheConfigFolder();
    auto dialog = std::make_unique<QFileDialog>(owner, title);
    dialog->setHistory(historyOfThisRun());
    QObject::connect(dialog.get(), &QDialog::finished, dialog.get(),
                     [d = dialog.get()] { historyOfThisRun() = d->history().mid(d->history().size() - 5); });
    // The platform's native dialogs would read the masks out of the
    // descriptions; only Qt's own dialog lets the masks be ours.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setOption(QFileDialog::ReadOnly, true);

    auto *proxy = new MaskFilterProxy(dialog.get());
    dialog->setProxyModel(proxy);
    // Whatever Qt makes of the descriptions, its model keeps every file
    // (greyed at worst) and the proxy does the choosing.
    if (auto *fs = qobject_cast<QFileSystemModel *>(proxy->sourceModel()))
        fs->setNameFilterDisables(true);

    QStringList descriptions;
    for (const FileFilter &f : filters)
        descriptions << f.description;
    dialog->setNameFilters(descriptions);
    if (!filters.isEmpty()) {
        const int first = (selectedFilter >= 0 && selectedFilter < filters.size()) ? selectedFilter : 0;
        dialog->selectNameFilter(descriptions.at(first));
        proxy->setMasks(filters.at(first).pattern);
    } else {
        proxy->setMasks(QStringLiteral("*"));
    }
    QObject::connect(dialog.get(), &QFileDialog::filterSelected, proxy,
                     [proxy, filters](const QString &description) {
                         for (const FileFilter &f : filters) {
                             if (f.description == description) {
                                 proxy->setMasks(f.pattern);
                                 return;
                             }
                         }
                     });

    // A disc may be mounted with upper- or lower-case names; a folder that
    // cannot be found leaves the dialog where it would start anyway.
    const QString folder = LinuxFileSystem::resolveFolder(initialFolder);
    if (!folder.isEmpty())
        dialog->setDirectory(folder);
    return dialog;
}

QString QtOpenFileDialog::getOpenFileName(QWidget *owner, const QString &title,
                                          const QList<FileFilter> &filters, int selectedFilter,
                                          const QString &initialFolder)
{
    std::unique_ptr<QFileDialog> dialog =
        createDialog(owner, title, filters, selectedFilter, initialFolder);
    if (dialog->exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog->selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

} // namespace tavero
