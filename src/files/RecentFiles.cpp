#include "files/RecentFiles.h"

#include <QAction>

namespace tavero {

namespace {

// Length of the "&1: " prefix in front of a slot's path.
constexpr int kPrefixLength = 4;

QString prefixOf(int index)
{
    return QStringLiteral("&%1: ").arg(index + 1);
}

// Blanks only: a path may well end in some other white space.
QString trimBlanks(const QString &text)
{
    qsizetype first = 0, last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

} // namespace

// "/home/Ann/Film.mpg" is listed as "/home/ann/film.mpg", which does not
// exist: the path as it is when that exists, else each folder and the name
// matched without regard to case.
QString locateFile(FileSystem &files, const QString &path)
{
    const Lookup exact = files.findFile(path);
    if (exact == Lookup::Found)
        return path;
    if (exact == Lookup::Error)
        return QString();
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || slash == path.size() - 1)
        return QString();
    // An empty mask list resolves the folder and lists nothing.
    const FileListing folder = files.listFiles(slash == 0 ? QStringLiteral("/") : path.left(slash),
                                               QString());
    if (!folder.ok)
        return QString();
    QString base = folder.folder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    const ProbeResult entry = files.probe(base + path.mid(slash + 1));
    if (entry.status != Lookup::Found)
        return QString();
    const QString real = base + entry.name;
    return files.findFile(real) == Lookup::Found ? real : QString();
}

QString RecentFiles::caption(int index) const
{
    if (index < 0 || index >= kSlots)
        return QString();
    return items_[index]->data().toString();
}

QString RecentFiles::path(int index) const
{
    return caption(index).mid(kPrefixLength);
}

void RecentFiles::setCaption(int index, const QString &caption)
{
    QAction *item = items_[index];
    item->setData(caption);
    // The prefix's "&" makes the digit the access key; an "&" in the path
    // is part of the name and has to be shown as it is.
    QString shown = caption.left(kPrefixLength);
    shown += caption.mid(kPrefixLength).replace(QLatin1Char('&'), QStringLiteral("&&"));
    item->setText(shown);
}

void RecentFiles::add(const QString &path)
{
    const QString entry = trimBlanks(path).toLower();
    if (entry.isEmpty())
        return;
    for (int i = 0; i < kSlots; ++i) {
        const QString listed = caption(i);
        if (!listed.isEmpty() && listed.mid(kPrefixLength) == entry)
            return;
    }
    if (!caption(kSlots - 1).isEmpty()) {
        // Full: everything moves one slot down and the last entry leaves.
        for (int i = kSlots - 1; i > 0; --i)
            setCaption(i, prefixOf(i) + caption(i - 1).mid(kPrefixLength));
        setCaption(0, prefixOf(0) + entry);
    } else {
        int slot = 0;
        while (slot < kSlots && !caption(slot).isEmpty())
            ++slot;
        setCaption(slot, prefixOf(slot) + entry);
        items_[slot]->setVisible(true);
    }
    if (!separator_->isVisible())
        separator_->setVisible(true);
}

} // namespace tavero
