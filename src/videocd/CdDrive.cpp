#include "app/Form1.h"

#include "videocd/DrivePath.h"

#include <QAction>
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

void Form1::FindCDDrive(bool reportMissing)
{
    Drive1.Refresh();
    state.CDFolder.clear();

    QString root;
    bool found = false;
    for (int i = 0; i < Drive1.ListCount(); ++i) {
        QString candidate = seams_.drives->driveRoot(Drive1.List(i));
        // An entry whose root cannot be made is skipped like a failed query.
        if (candidate.isEmpty())
            continue;
        if (!candidate.endsWith(QLatin1Char('/')))
            candidate += QLatin1Char('/');
        if (seams_.drives->driveType(candidate) == DriveQuery::kCdRom) {
            root = candidate;
            found = true;
            break;
        }
    }

    if (found) {
        state.CDFolder = joinPath(root, QStringLiteral("Mpegav"));
        mnuPlayVCD->setEnabled(true);
        // Drives come and go while the program runs (disc images, external
        // drives): an item that once read "No CD-Drive found..." gets its
        // own caption back when a drive turns up.
        if (mnuPlayVCD->text() == QLatin1String("No CD-Drive found..."))
            mnuPlayVCD->setText(QStringLiteral("&Play Video CD"));
        setCDDriveRoot(root);
    } else if (reportMissing) {
        mnuPlayVCD->setText(QStringLiteral("No CD-Drive found..."));
    }
}

bool Form1::CheckCDMedia(bool showMessages)
{
    constexpr int kReplyCapacity = 255;
    QString reply(kReplyCapacity, QChar(0));
    const int result = seams_.cdAudio->sendCommand(QStringLiteral("status cd media present"),
                                                   &reply, kReplyCapacity);
    const qsizetype end = reply.indexOf(QChar(0));
    const QString text = end < 0 ? reply : reply.left(end);

    if (result == 0) {
        const std::optional<bool> present = truthValue(text);
        if (present.has_value()) {
            if (*present)
                return true;
            if (showMessages)
                showMessage(QStringLiteral("No CD is present in CD-Drive."));
            return false;
        }
        // The device answered something that is no truth value: report it
        // as a device failure with its text rather than guess.
        if (showMessages)
            showMessage(QStringLiteral("Error accessing CD. ") + text);
        return false;
    }
    if (result == CdAudioDevice::kAliasUnknown) {
        if (showMessages)
            showMessage(QStringLiteral("CD is already in use by some other application."));
        return false;
    }
    if (showMessages)
        showMessage(QStringLiteral("Error accessing CD. ") + text);
    return false;
}

} // namespace tavero
