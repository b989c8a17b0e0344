#pragma once
#include "platform/Platform.h"

namespace tavero {

class QtOpenFileDialog : public OpenFileDialog {
public:
    QString getOpenFileName(QWidget *owner, const QString &title, const QList<FileFilter> &filters,
                            int selectedFilter, const QString &initialFolder) override;
};

} // namespace tavero
