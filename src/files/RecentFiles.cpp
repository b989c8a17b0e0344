#include "app/Form1.h"

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

// The list keeps paths in lower case, but on this system letter case is
// part of a file's name: "/home/Ann/Film.mpg" is listed as
// "/home/ann/film.mpg", which does not exist. Find the file the entry
// stands for: the path as it is when that exists, else each folder and
// the name matched without regard to case. Returns "" when there is no
// such ordinary file.
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

} // namespace

QString Form1::recentCaption(int index) const
{
    if (index < 0 || index >= kRecentSlots)
        return QString();
    return mnuRecent[index]->data().toString();
}

void Form1::setRecentCaption(int index, const QString &caption)
{
    QAction *item = mnuRecent[index];
    item->setData(caption);
    // The prefix's "&" makes the digit the access key; an "&" in the path
    // is part of the name and has to be shown as it is.
    QString shown = caption.left(kPrefixLength);
    shown += caption.mid(kPrefixLength).replace(QLatin1Char('&'), QStringLiteral("&&"));
    item->setText(shown);
}

void Form1::UpdateRecentFiles(const QString &path)
{
    const QString entry = trimBlanks(path).toLower();
    if (entry.isEmpty())
        return;
    for (int i = 0; i < kRecentSlots; ++i) {
        const QString caption = recentCaption(i);
        if (!caption.isEmpty() && caption.mid(kPrefixLength) == entry)
            return;
    }
    if (!recentCaption(kRecentSlots - 1).isEmpty()) {
        // Full: everything moves one slot down and the last entry leaves.
        for (int i = kRecentSlots - 1; i > 0; --i)
            setRecentCaption(i, prefixOf(i) + recentCaption(i - 1).mid(kPrefixLength));
        setRecentCaption(0, prefixOf(0) + entry);
    } else {
        int slot = 0;
        while (slot < kRecentSlots && !recentCaption(slot).isEmpty())
            ++slot;
        setRecentCaption(slot, prefixOf(slot) + entry);
        mnuRecent[slot]->setVisible(true);
    }
    if (!mnuD02->isVisible())
        mnuD02->setVisible(true);
}

void Form1::mnuRecent_Click(int index)
{
    const QString path = recentCaption(index).mid(kPrefixLength);
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
