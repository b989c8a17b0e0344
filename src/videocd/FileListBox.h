#pragma once
// The hidden file list File1: a folder, a pattern of ";"-separated masks and
// the names of the folder's matching files, sorted by name.

#include "platform/Platform.h"

namespace tavero {

class FileListBox {
public:
    explicit FileListBox(FileSystem &fs) : fs_(fs) {}

    void setPattern(const QString &pattern);
    // The folder as the file system reports it (real letter case); setting
    // it lists the folder anew, unless it is the folder last set and that
    // could be listed: Refresh reads it again then.
    QString Path() const { return path_; }
    void setPath(const QString &folder);
    void Refresh();
    int ListCount() const { return int(names_.size()); }
    QString List(int index) const;
    const QStringList &names() const { return names_; }

private:
    FileSystem &fs_;
    QString pattern_ = QStringLiteral("*.*");
    QString path_;
    QString requested_;     // the folder last set, as it was given
    bool listed_ = false;   // ... and it could be listed
    QStringList names_;
};

// The hidden drive list Drive1.
class DriveListBox {
public:
    explicit DriveListBox(DriveQuery &dq) : dq_(dq) {}
    void Refresh() { entries_ = dq_.drives(); }
    int ListCount() const { return int(entries_.size()); }
    QString List(int index) const { return entries_.value(index); }

private:
    DriveQuery &dq_;
    QStringList entries_;
};

} // namespace tavero
