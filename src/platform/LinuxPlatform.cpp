#include "platform/LinuxPlatform.h"

#include "platform/LinuxCdDevice.h"
#include "platform/LinuxDiscMenus.h"
#include "platform/LinuxFileSystem.h"
#include "platform/QtOpenFileDialog.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>

namespace tavero {

QtMessageBoxes::QtMessageBoxes(QWidget *) {}

void QtMessageBoxes::show(const QString &text, MessageIcon icon, const QString &title)
{
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                    title, text, QMessageBox::Ok, QApplication::activeWindow());
    // Texts come from file names and devices: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtEventPump::processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtProcessLauncher::startDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

LinuxProgramInfo::LinuxProgramInfo(int argc, char **argv)
{
    // The shell has already split and unquoted the command line; a path
    // with blanks arrives as one argument, or as several when it was not
    // quoted. Joining them with single blanks gives back the one path.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QFile::decodeName(argv[i]);
    argumentText_ = args.join(QLatin1Char(' '));
}

QString LinuxProgramInfo::programFolder()
{
    return QCoreApplication::applicationDirPath();
}

LinuxPlatform::LinuxPlatform(const LinuxProgramInfo &arguments)
    : cdDrives_(std::make_shared<LinuxCdDrives>()),
      messages_(std::make_unique<QtMessageBoxes>()),
      events_(std::make_unique<QtEventPump>()),
      // The drive list and the disc check share one set of drive roots.
      cdAudio_(std::make_unique<LinuxCdAudioDevice>(cdDrives_)),
      drives_(std::make_unique<LinuxDriveQuery>(cdDrives_)),
      files_(std::make_unique<LinuxFileSystem>()),
      openDialog_(std::make_unique<QtOpenFileDialog>()),
      launcher_(std::make_unique<QtProcessLauncher>()),
      program_(std::make_unique<LinuxProgramInfo>(arguments)),
      clock_(std::make_unique<MonotonicClock>()),
      images_(std::make_unique<LinuxDiscImages>(cdDrives_)),
      menus_(std::make_unique<LinuxDiscMenus>(cdDrives_))
{
}

LinuxPlatform::~LinuxPlatform() = default;

Seams LinuxPlatform::seams() const
{
    Seams s;
    s.messages = messages_.get();
    s.events = events_.get();
    s.cdAudio = cdAudio_.get();
    s.drives = drives_.get();
    s.files = files_.get();
    s.openDialog = openDialog_.get();
    s.launcher = launcher_.get();
    s.program = program_.get();
    s.clock = clock_.get();
    s.images = images_.get();
    s.menus = menus_.get();
    return s;
}

DiscTrackFinder *LinuxPlatform::discTracks() const
{
    return cdDrives_->tracks();
}

} // namespace tavero
