#include "support/Fakes.h"

#include <QCoreApplication>

namespace tavero::test {

void FakeMessageBoxes::show(const QString &text, MessageIcon icon, const QString &title)
{
    shown.append({text, icon, title});
}

QStringList FakeMessageBoxes::texts() const
{
    QStringList out;
    for (const ShownMessage &m : shown)
        out << m.text;
    return out;
}

void FakeEventPump::processEvents()
{
    ++calls;
    if (runQtEvents)
        QCoreApplication::processEvents();
    if (onPump)
        onPump();
}

int FakeCdAudio::sendCommand(const QString &command, QString *reply, int capacity)
{
    commands << command;
    if (command == QLatin1String("status cd media present")) {
        if (reply && capacity > 0 && !statusReply.isNull())
            *reply = statusReply.left(capacity);
        return statusResult;
    }
    return 0;
}

QStringList FakeDrives::drives()
{
    return entries;
}

QString FakeDrives::driveRoot(const QString &entry)
{
    return roots.value(entry, entry.section(QLatin1Char(' '), 0, 0) + QLatin1Char('/'));
}

int FakeDrives::driveType(const QString &root)
{
    return types.value(root, 3);
}

void FakeDrives::add(const QString &entry, const QString &root, int type)
{
    QString r = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    entries << entry;
    roots[entry] = r;
    types[r] = type;
}

Lookup FakeFileSystem::findFile(const QString &path)
{
    return probeErrors.contains(path) ? Lookup::Error : real_.findFile(path);
}

ProbeResult FakeFileSystem::probe(const QString &path)
{
    probes << path;
    if (failAllProbes || probeErrors.contains(path)) {
        ProbeResult r;
        r.status = Lookup::Error;
        r.error = QStringLiteral("Device not ready");
        return r;
    }
    return real_.probe(path);
}

FileListing FakeFileSystem::listFiles(const QString &folder, const QString &masks)
{
    listings << folder + QLatin1Char('|') + masks;
    return real_.listFiles(folder, masks);
}

std::optional<qint64> FakeFileSystem::fileSize(const QString &path)
{
    sizeQueries << path;
    if (sizeErrors.contains(path))
        return std::nullopt;
    if (sizes.contains(path))
        return sizes.value(path);
    return real_.fileSize(path);
}

QString FakeOpenDialog::getOpenFileName(QWidget *, const QString &title,
                                        const QList<FileFilter> &filters, int selectedFilter,
                                        const QString &initialFolder)
{
    ++calls;
    lastTitle = title;
    lastFilters = filters;
    lastSelected = selectedFilter;
    lastFolder = initialFolder;
    return answer;
}

bool FakeLauncher::startDetached(const QString &program, const QStringList &arguments)
{
    starts.append({program, arguments, now ? now() : 0.0});
    return result;
}

Seams FakePlatform::seams()
{
    Seams s;
    s.messages = &messages;
    s.events = &events;
    s.cdAudio = &cdAudio;
    s.drives = &drives;
    s.files = &files;
    s.openDialog = &openDialog;
    s.launcher = &launcher;
    s.program = &program;
    s.clock = &clock;
    return s;
}

} // namespace tavero::test
