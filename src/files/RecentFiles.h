#pragma once
// The recent-files list: five items in the File menu, each "&n: " and a
// path, and the separator below them that shows once there is one. While
// the list fills, each new path takes the first free item (the newest
// last); once it is full, a new path goes first and the others move down.
// A path already listed stays where it is. Paths are kept as the list has always kept them: in lower
// case, without surrounding blanks.

#include "platform/Platform.h"

#include <array>

class QAction;

namespace tavero {

class RecentFiles {
public:
    static constexpr int kSlots = 5;
    using Items = std::array<QAction *, kSlots>;

    // The items and the separator belong to the menu; they start hidden.
    RecentFiles(const Items &items, QAction *separator) : items_(items), separator_(separator) {}

    // An item's caption as stored ("&1: " and the path, the path's own "&"
    // undoubled); "" for an empty slot or no slot.
    QString caption(int index) const;
    // The path an item stands for, as the list keeps it.
    QString path(int index) const;
    // Puts a path first, unless it is listed already.
    void add(const QString &path);

private:
    void setCaption(int index, const QString &caption);

    Items items_;
    QAction *separator_;
};

// The list keeps paths in lower case, but on this system letter case is
// part of a file's name. The ordinary file an entry stands for, or "".
QString locateFile(FileSystem &files, const QString &path);

} // namespace tavero
