// Bad input through the window, with the real component and file system: a file ends in the program's own message or
// plays as the local file it names (never as an option, an address, an engine's source or a command), and the window
// still plays a good file afterwards.
#include "support/FormRig.h"

#include <QListWidget>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <unistd.h>

using namespace tavero;
using namespace tavero::test;

class TestBadInput : public QObject {
    Q_OBJECT
    QTemporaryDir tmp_;
    QTemporaryFile locked_;   // no one may read it, where anyone can reach it
    QByteArray rawName_ = QFile::encodeName(tmp_.path()) + "/caf\xe9-\xff.mpg";

    // `message` "": `path` plays; ending in "*": its start, the rest being the video engine's words.
    static void expect(FormRig &rig, const QString &path, const QString &message)
    {
        const QList<ShownMessage> shown = std::exchange(rig.platform.messages.shown, {});
        if (message.isEmpty()) {
            QVERIFY2(shown.isEmpty(), qPrintable(shown.value(0).text));
            QCOMPARE(rig.component->FileName(), path);
            QCOMPARE(rig.mpv->videoSize(), QSize(352, 288));
            QCOMPARE(rig.form->windowTitle(), captionFor(path));
            QCOMPARE(rig.form->recentCaption(0), "&1: " + path.trimmed().toLower());
            QVERIFY(rig.form->mnuClose->isEnabled());
            return rig.form->mnuClose->trigger();
        }
        QCOMPARE(shown.size(), 1);
        const QString text = shown.first().text;
        QVERIFY2(message.endsWith('*') ? text.startsWith(message.chopped(1)) : text == message, qPrintable(text));
        QCOMPARE(std::pair(shown.first().icon, shown.first().title), std::pair(MessageIcon::Error, kAppTitle));
        QVERIFY(rig.component->PlayState() == MediaPlayer::Closed && rig.component->FileName().isEmpty());
        QVERIFY(!rig.form->mnuClose->isEnabled() && !rig.form->mnuRun->isEnabled() && rig.form->Timer1->isActive());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp_.isValid() && QDir::setCurrent(tmp_.path()));   // where relative names land
        QVERIFY(locked_.open() && locked_.write("RIFF") && locked_.flush() && locked_.setPermissions({}));
        QVERIFY(QFile::copy(TestMedia::truncatedClip(0.5), tmp_.filePath("cut.mpg")));
        QVERIFY(QFile::link(tmp_.filePath("nowhere.mpg"), tmp_.filePath("dangling.mpg")));
        QVERIFY(::close(::creat(rawName_.constData(), 0644)) == 0);
    }

    void files_data()
    {
        QTest::addColumn<QString>("given");    // absolute, or from the current folder
        QTest::addColumn<QString>("reason");   // why it cannot be opened; "" = a clip there plays
        const QString noSuchFile = "there is no such file.";
        for (const char *name : {"--help", "av://lavfi:testsrc", "lavfi:testsrc", "http:x", "-", "$(touch pwned)",
                                 "`touch pwned`", "x; touch pwned", "a clip with blanks.mpg", "it's \"quoted\".mpg",
                                 "rock & roll.mpg", "one;two.mpg", "line\nbreak.mpg", "tab\tbell\a.mpg",
                                 "  blanks around  "}) {
            const QByteArray label = QString(name).replace(QRegularExpression("\\p{Cc}"), "?").toUtf8();
            QTest::addRow("%s missing", label.data()) << name << noSuchFile;
            QTest::addRow("%s", label.data()) << name << QString();
        }
        // A stream cut short is still a medium: it plays until it breaks off.
        QTest::newRow("truncated") << tmp_.filePath("cut.mpg") << QString();
        QTest::newRow("random bytes") << TestMedia::randomBytes() << "it is not a recognised media format*";
        QTest::newRow("empty") << TestMedia::emptyFile() << "the file is empty.";
        QTest::newRow("folder") << tmp_.path() << "it is a folder, not a media file.";
        QTest::newRow("unreadable") << locked_.fileName() << "it cannot be read (*";
        QTest::newRow("dangling link") << tmp_.filePath("dangling.mpg") << noSuchFile;
        // Bytes that are no UTF-8: the text that stands for them names no file.
        QTest::newRow("non-UTF-8") << QFile::decodeName(rawName_) << noSuchFile;
        const QString deep = tmp_.path() + ('/' + QString(199, 'd')).repeated((3990 - tmp_.path().size()) / 200);
        QTest::newRow("4000 characters") << deep + '/' + QString(4000 - deep.size() - 5, 'x') + ".mpg" << QString();
    }

    void files()
    {
        QFETCH(QString, given);
        QFETCH(QString, reason);
        const QString path = QDir::cleanPath(QFileInfo(given).absoluteFilePath()), prog = path + "-prog";
        QVERIFY(!reason.isEmpty() || QFile::exists(path) ||
                (QDir().mkpath(QFileInfo(path).path()) && QFile::copy(TestMedia::mpegClip(1.0), path)));
        // The command line only names what it does not find as a file; the recent list holds paths trimmed, lower-case.
        const QString byOpen = reason.isEmpty() ? reason : "Error : Cannot open \"" + path + "\": " + reason;
        const QString gone = "The file '" + path.trimmed().toLower() + "' could not be found ...!";
        const QString expected[] = {QFileInfo(path).isFile() ? byOpen : "Could not find the file '" + given + "' ...!",
                                    byOpen, byOpen, path.endsWith(' ') ? gone : "", gone};
        FormRig rig({.real = true});
        Form1 &form = *rig.form;
        rig.platform.program.arguments = given;
        rig.platform.program.folder = prog;
        rig.platform.openDialog.answer = path;
        QMimeData drop, address;
        drop.setUrls({QUrl::fromLocalFile(path)});
        address.setUrls({QUrl(given)});   // no local file's address: no drop of files at all
        const std::function<void()> routes[] = {
            [&] { form.Form_Load(); }, [&] { form.mnuOpen->trigger(); },
            [&] { form.Form_OLEDragDrop(&address); form.Form_OLEDragDrop(&drop); },
            [&] { form.mnuRecent_Click(0); }, [&] { QFile::remove(path); form.mnuRecent_Click(0); }};
        for (int route = 0; route < (reason.isEmpty() ? 5 : 3); ++route) {
            ::setfsuid(path == locked_.fileName() ? 65534 : ::geteuid());   // an ordinary user: root reads anything
            routes[route]();
            ::setfsuid(::geteuid());
            expect(rig, path, expected[route]);
        }
        // The help viewer gets the help path as its one argument, whatever
        // the program's folder is called; without a help file none starts.
        QVERIFY(!reason.isEmpty() || (QDir().mkpath(prog) && QFile(prog + "/THelp.hlp").open(QIODevice::WriteOnly)));
        rig.platform.clock.step = 0.5;   // past the help's short wait at once
        form.mnuTaveroHelp_Click();
        QCOMPARE(rig.platform.launcher.starts.value(0).arguments,
                 reason.isEmpty() ? QStringList{prog + "/THelp.hlp"} : QStringList());
        stillPlaysAGoodFile(rig);
    }

    void disc()
    {
        FormRig rig({.real = true});
        Form1 &form = *rig.form;
        auto track = [&](int k) { return rig.disc.path(QString("MPEGAV/AVSEQ%1.DAT").arg(k, 5, 10, QChar('0'))); };
        QVERIFY(QDir().mkpath(rig.disc.path("MPEGAV")));
        for (int k = 1; k <= 10000; ++k)   // links to one short track cost nothing
            QVERIFY(QFile::link(TestMedia::vcdTrack(0.5), track(k)));
        rig.addDrive(rig.disc.path());
        form.Form_Load();
        QCOMPARE(rig.slotStates().at(9), "eY More tracks list ...");
        // The tenth slot lists the other 9,991 and lets one be chosen.
        QString caption;
        whenModal([&](Form2 *w) { caption = w->windowTitle(); w->List1->setCurrentRow(9990); w->cmdOk_Click(); });
        rig.playTrack(9);
        QCOMPARE(caption, "More Tracks Found : 9991 ");
        QTRY_COMPARE_WITH_TIMEOUT(rig.component->FileName(), track(10000), 15000);
        QVERIFY(rig.marked() == QList<int>{9} && rig.messages().isEmpty());
        // Taken out while it plays: the device says so, the files are gone, at most the broken stream is told.
        rig.platform.cdAudio.setDisc(false);
        QVERIFY(QDir(rig.disc.path("MPEGAV")).removeRecursively());
        QTRY_COMPARE_WITH_TIMEOUT(rig.component->PlayState(), int(MediaPlayer::Closed), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.slotStates(), FormRig::emptySlots(), 5000);
        QVERIFY(rig.component->ReadyState() == MediaPlayer::NothingLoaded && !form.mnuClose->isEnabled());
        // Whatever the device answers, the File menu asks quietly and Play Video CD says why it cannot play.
        const QString noCd = "No CD is present in CD-Drive.", inUse = "CD is already in use by some other application.";
        const struct { int result; QString reply, message; } answers[] = {
            {0, "false", noCd}, {0, "0", noCd}, {263, "", inUse}, {263, "busy", inUse}, {1, {}, "Error accessing CD. "},
            {0, "maybe", "Error accessing CD. maybe"}, {-1, "false", "Error accessing CD. false"},
            {275, "Drive not ready", "Error accessing CD. Drive not ready"}, {0, "", "Error accessing CD. "}};
        QStringList said;
        for (const auto &answer : answers) {
            rig.platform.cdAudio.statusResult = answer.result;
            rig.platform.cdAudio.statusReply = answer.reply;
            form.mnuFile_Click();
            QVERIFY(!form.mnuPlayVCD->isEnabled());
            form.mnuPlayVCD_Click();
            said << answer.message;
        }
        QCOMPARE(rig.messages().filter(QRegularExpression("^(?!Error : Playback of )")), said);
        stillPlaysAGoodFile(rig);
    }

    void cleanupTestCase()
    {
        QVERIFY(!QFile::exists("pwned"));
        ::unlink(rawName_.constData());   // Qt cannot name it, so it cannot remove it
    }
};

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
