#include "videocd/FileListBox.h"

namespace tavero {

void FileListBox::setPattern(const QString &pattern)
{
    // The scan sets the same pattern on every idle tick; reading the disc
    // again for it would only repeat the listing that follows.
    if (pattern == pattern_)
        return;
    pattern_ = pattern;
    if (!path_.isEmpty())
        Refresh();
}

void FileListBox::setPath(const QString &folder)
{
    // The idle scan sets the same folder every second and refreshes right
    // after: listing it here as well would read a large folder twice.
    if (listed_ && folder == requested_)
        return;
    requested_ = folder;
    const FileListing listing = fs_.listFiles(folder, pattern_);
    listed_ = listing.ok;
    // A folder that cannot be read leaves the list empty but keeps the path
    // that was asked for, so later reads see where the list points.
    path_ = listing.ok ? listing.folder : folder;
    names_ = listing.ok ? listing.names : QStringList();
}

void FileListBox::Refresh()
{
    if (path_.isEmpty()) {
        names_.clear();
        return;
    }
    const FileListing listing = fs_.listFiles(path_, pattern_);
    names_ = listing.ok ? listing.names : QStringList();
    // The same path may lead to another disc now (a drive's root re-aimed
    // at the mount an automounter made), whose folder is spelt otherwise.
    if (listing.ok)
        path_ = listing.folder;
}

QString FileListBox::List(int index) const
{
    return names_.value(index);
}

} // namespace tavero
