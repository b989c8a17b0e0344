#pragma once
#include "platform/Platform.h"

#include <QSortFilterProxyModel>
#include <QStringList>
#include <memory>

class QFileDialog;

namespace tavero {

// Qt's own file dialog, with one difference: each filter's description is
// only shown, and the masks that go with it decide what is listed, without
// regard to letter case. (Qt would take the masks from the parentheses of
// the description, and match them case-sensitively on Linux.)
class QtOpenFileDialog : public OpenFileDialog {
public:
    // selectedFilter counts from 0.
    QString getOpenFileName(QWidget *owner, const QString &title, const QList<FileFilter> &filters,
                            int selectedFilter, const QString &initialFolder) override;

    // The dialog as getOpenFileName shows it, not yet shown.
    static std::unique_ptr<QFileDialog> createDialog(QWidget *owner, const QString &title,
                                                     const QList<FileFilter> &filters,
                                                     int selectedFilter,
                                                     const QString &initialFolder);
};

// Lists folders and the files that match the chosen filter's masks.
class MaskFilterProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setMasks(const QString &masks);
    QStringList masks() const { return masks_; }
    Qt::ItemFlags flags(const QModelIndex &index) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    bool isDir(const QModelIndex &sourceIndex) const;
    QStringList masks_;
};

} // namespace tavero
