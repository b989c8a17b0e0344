#include "videocd/CdDrive.h"

#include "videocd/FileListBox.h"

#include <QLocale>

namespace tavero {

namespace {

// The status reply as a truth value: "true"/"false" in any letter case, or
// a number where anything but zero is true. Returns nothing for any other
// text.
std::optional<bool> truthValue(const QString &reply)
{
    const QString text = reply.trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double value = QLocale::c().toDouble(text, &isNumber);
    if (isNumber)
        return value != 0.0;
    return std::nullopt;
}

} // namespace

QString findCdDriveRoot(DriveListBox &drives, DriveQuery &query)
{
    drives.Refresh();
    for (int i = 0; i < drives.ListCount(); ++i) {
        QString candidate = query.driveRoot(drives.List(i));
        // An entry whose root cannot be made is skipped like a failed query.
        if (candidate.isEmpty())
            continue;
        if (!candidate.endsWith(QLatin1Char('/')))
            candidate += QLatin1Char('/');
        if (query.driveType(candidate) == DriveQuery::kCdRom)
            return candidate;
    }
    return QString();
}

DiscAnswer askForDisc(CdAudioDevice &device)
{
    constexpr int kReplyCapacity = 255;
    QString reply(kReplyCapacity, QChar(0));
    const int result = device.sendCommand(QStringLiteral("status cd media present"), &reply, kReplyCapacity);
    const qsizetype end = reply.indexOf(QChar(0));
    const QString text = end < 0 ? reply : reply.left(end);

    if (result == 0) {
        // The device answered something that is no truth value: a device
        // failure with its text rather than a guess.
        const std::optional<bool> present = truthValue(text);
        if (!present.has_value())
            return {DiscAnswer::Failed, text};
        return {*present ? DiscAnswer::Present : DiscAnswer::Absent, QString()};
    }
    if (result == CdAudioDevice::kAliasUnknown)
        return {DiscAnswer::InUse, QString()};
    return {DiscAnswer::Failed, text};
}

void openCdAudio(CdAudioDevice &device)
{
    device.sendCommand(QStringLiteral("open cdaudio alias cd wait shareable"), nullptr, 0);
}

void closeCdAudio(CdAudioDevice &device)
{
    device.sendCommand(QStringLiteral("close all"), nullptr, 0);
}

} // namespace tavero
