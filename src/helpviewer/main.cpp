// tavero-help: shows the player's help document, given as the one
// argument. The document is Markdown; links between its sections work,
// links to the web open in the desktop's browser.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextBrowser>
#include <QUrl>

namespace {

const QString kTitle = QStringLiteral(TAVERO_NAME " Help");

int fail(const QString &text)
{
    QMessageBox box(QMessageBox::Critical, kTitle, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    // Like the player, the viewer keeps its argument whole: a path is not
    // an option for Qt.
    const QString path = argc > 1 ? QFile::decodeName(argv[1]) : QString();
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("tavero-help"));
    QApplication::setApplicationDisplayName(kTitle);

    if (path.isEmpty())
        return fail(QStringLiteral("No help file was named.\n\nUsage: tavero-help <help file>"));
    const QFileInfo info(path);
    QFile file(path);
    QString why;
    if (!info.exists())
        why = QStringLiteral("it does not exist");
    else if (!info.isFile())
        why = QStringLiteral("it is not a file");
    else if (!file.open(QIODevice::ReadOnly))
        why = file.errorString();
    else if (file.size() > 4 * 1024 * 1024)   // help files are small
        why = QStringLiteral("it is too large to be a help file");
    if (!why.isEmpty())
        return fail(QStringLiteral("The help file '") + path + QStringLiteral("' could not be read: ") +
                    why + QStringLiteral("."));
    const QString text = QString::fromUtf8(file.readAll());

    QTextBrowser browser;
    browser.setWindowTitle(kTitle);
    browser.setOpenExternalLinks(true);
    browser.setSearchPaths({QFileInfo(path).absolutePath()});
    browser.setMarkdown(text);
    browser.document()->setDocumentMargin(16);
    browser.resize(680, 600);
    browser.show();
    browser.activateWindow();
    return app.exec();
}
