// Bad input through the window with the real component and the real file
// system: each case ends in the program's own message (or none) and leaves
// a window that still plays a good file.
#include "support/FormRig.h"

#include <QListWidget>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <unistd.h>

using namespace tavero;
using namespace tavero::test;

namespace {

enum class Route { OpenDialog, CommandLine };

// A message the program shows: exact, or the start of it when the rest is
// the video engine's own words.
struct Expected {
    QString text;
    bool prefix = false;
};

QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

Expected openError(const QString &path, const QString &reason, bool exact = true)
{
    return {QStringLiteral("Error : Cannot open ") + quoted(path) + QStringLiteral(": ") + reason +
                (exact ? QStringLiteral(".") : QString()),
            !exact};
}

Expected notFound(const QString &text)
{
    return {QStringLiteral("Could not find the file '") + text + QStringLiteral("' ...!")};
}

void copyClip(const QString &to)
{
    QFile::remove(to);
    QVERIFY2(QFile::copy(TestMedia::mpegClip(1.0), to), qPrintable(to));
}

// Runs `act` with the file-system rights of an ordinary user on this
// thread, so that a file without read permission cannot be read even when
// the tests run as root. Only this thread is affected.
struct OrdinaryUser {
    explicit OrdinaryUser(bool on) : on_(on && ::geteuid() == 0)
    {
        if (on_)
            ::setfsuid(65534);
    }
    ~OrdinaryUser()
    {
        if (on_)
            ::setfsuid(0);
    }
    bool on_;
};

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void files_data();
    void files();
    void manyTracks();
    void discTakenOutWhilePlaying();
    void deviceErrors_data();
    void deviceErrors();
    void cleanupTestCase();

private:
    QByteArray rawName_;
    QTemporaryDir tmp_;
    QString unreadable_;
    bool unreadableWorks_ = false;
};

void TestBadInput::initTestCase()
{
    QVERIFY(tmp_.isValid());
    // An ordinary user must be able to reach the files in here.
    QFile::setPermissions(tmp_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                           QFileDevice::ExeGroup);
    QVERIFY(QFile::exists(TestMedia::mpegClip(1.0)));
    QVERIFY(QFile::exists(TestMedia::vcdTrack(0.5)));
    QVERIFY(QFile::exists(TestMedia::truncatedClip(0.5)));
    QVERIFY(QFile::exists(TestMedia::randomBytes()));
    QVERIFY(QFile::exists(TestMedia::emptyFile()));

    unreadable_ = tmp_.filePath(QStringLiteral("locked.mpg"));
    copyClip(unreadable_);
    QVERIFY(QFile::setPermissions(unreadable_, QFileDevice::WriteOwner));
    OrdinaryUser user(true);
    unreadableWorks_ = !QFile(unreadable_).open(QIODevice::ReadOnly);
}

void TestBadInput::files_data()
{
    QTest::addColumn<int>("route");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");   // "" = none, the file plays
    QTest::addColumn<bool>("prefix");
    QTest::addColumn<bool>("asUser");

    const QString dir = tmp_.path();
    struct Case {
        QByteArray name;
        QString path;
        Expected byDialog;
        Expected byCommandLine;
        bool asUser = false;
    };
    QList<Case> cases;

    const QString random = TestMedia::randomBytes();
    const Expected badFormat = openError(random, QStringLiteral("it is not a recognised media format"), false);
    cases.append({"random bytes", random, badFormat, badFormat});
    // A stream cut short is still a medium: it plays until it breaks off.
    cases.append({"truncated MPEG", TestMedia::truncatedClip(0.5), {}, {}});
    const QString empty = TestMedia::emptyFile();
    cases.append({"empty file", empty, openError(empty, QStringLiteral("the file is empty")),
                  openError(empty, QStringLiteral("the file is empty"))});
    cases.append({"folder", dir, openError(dir, QStringLiteral("it is a folder, not a media file")),
                  notFound(dir)});
    cases.append({"no read permission", unreadable_,
                  openError(unreadable_, QStringLiteral("it cannot be read ("), false),
                  openError(unreadable_, QStringLiteral("it cannot be read ("), false), true});
    const QString missing = tmp_.filePath(QStringLiteral("gone.mpg"));
    cases.append({"missing file", missing, openError(missing, QStringLiteral("there is no such file")),
                  notFound(missing)});
    const QString dangling = tmp_.filePath(QStringLiteral("dangling.mpg"));
    QFile::link(tmp_.filePath(QStringLiteral("nowhere.mpg")), dangling);
    cases.append({"dangling symbolic link", dangling,
                  openError(dangling, QStringLiteral("there is no such file")), notFound(dangling)});

    // Names that are awkward anywhere a path is pasted into text; they are
    // only files here and play.
    const QStringList names{QStringLiteral("a clip with blanks.mpg"), QStringLiteral("it's \"quoted\".mpg"),
                            QStringLiteral("rock & roll.mpg"), QStringLiteral("one;two.mpg"),
                            QStringLiteral("line\nbreak.mpg"), QStringLiteral("  blanks around  ")};
    for (const QString &name : names) {
        copyClip(tmp_.filePath(name));
        QByteArray label = "name " + name.toUtf8();
        label.replace('\n', "\\n");
        cases.append({label, tmp_.filePath(name), {}, {}});
    }

    // Bytes that are no UTF-8 cannot be given back as the same name: the
    // text that names them stands for another file, which does not exist.
    const QByteArray raw = QFile::encodeName(dir) + "/caf\xe9-\xff.mpg";
    {
        QFile src(TestMedia::mpegClip(1.0));
        QVERIFY(src.open(QIODevice::ReadOnly));
        const QByteArray bytes = src.readAll();
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        ::close(fd);
    }
    rawName_ = raw;
    const QString decoded = QFile::decodeName(raw);
    QVERIFY(QFile::encodeName(decoded) != raw);
    cases.append({"non-UTF-8 name", decoded, openError(decoded, QStringLiteral("there is no such file")),
                  notFound(decoded)});

    // A path of 4,000 characters through nested folders.
    QString deep = dir;
    const QString part = QStringLiteral("/") + QString(199, QLatin1Char('d'));
    while (deep.size() + part.size() < 4000 - 9)
        deep += part;
    deep += QLatin1Char('/') + QString(4000 - deep.size() - 1 - 4, QLatin1Char('x')) + QStringLiteral(".mpg");
    QCOMPARE(deep.size(), 4000);
    QVERIFY(QDir().mkpath(QFileInfo(deep).path()));
    copyClip(deep);
    cases.append({"4000-character path", deep, {}, {}});

    for (const Case &c : cases) {
        QTest::addRow("%s by dialog", c.name.constData())
            << int(Route::OpenDialog) << c.path << c.byDialog.text << c.byDialog.prefix << c.asUser;
        QTest::addRow("%s on command line", c.name.constData())
            << int(Route::CommandLine) << c.path << c.byCommandLine.text << c.byCommandLine.prefix
            << c.asUser;
    }
}

void TestBadInput::files()
{
    QFETCH(int, route);
    QFETCH(QString, path);
    QFETCH(QString, message);
    QFETCH(bool, prefix);
    QFETCH(bool, asUser);
    if (asUser && !unreadableWorks_)
        QSKIP("A file without read permission is still readable here");

    FormRig rig({.real = true});
    Form1 &form = *rig.form;
    {
        OrdinaryUser user(asUser);
        if (route == int(Route::CommandLine)) {
            rig.platform.program.arguments = path;
            form.Form_Load();
        } else {
            form.Form_Load();
            rig.platform.openDialog.answer = path;
            form.mnuOpen->trigger();
        }
    }

    if (message.isEmpty()) {
        QVERIFY2(rig.messages().isEmpty(), qPrintable(rig.messages().join('\n')));
        QCOMPARE(rig.component->FileName(), path);
        QCOMPARE(form.windowTitle(), captionFor(path));
        QCOMPARE(form.recentCaption(0), QStringLiteral("&1: ") + path.trimmed().toLower());
        QVERIFY(form.mnuClose->isEnabled());
    } else {
        QCOMPARE(rig.messages().size(), 1);
        const ShownMessage &shown = rig.platform.messages.shown.first();
        if (prefix)
            QVERIFY2(shown.text.startsWith(message), qPrintable(shown.text + "\nwanted: " + message));
        else
            QCOMPARE(shown.text, message);
        QCOMPARE(shown.icon, MessageIcon::Error);
        QCOMPARE(shown.title, kAppTitle);
        QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Closed));
        QCOMPARE(rig.component->FileName(), QString());
        QVERIFY(!form.mnuClose->isEnabled());
        QVERIFY(!form.mnuRun->isEnabled());
        QVERIFY(form.recentCaption(0).isEmpty());
        QVERIFY(form.Timer1->isActive());
    }
    rig.platform.messages.shown.clear();
    stillPlaysAGoodFile(rig);
}

void TestBadInput::manyTracks()
{
    // 10,000 track files (links to one short track, so they cost nothing;
    // hence on the same file system as the track).
    QTemporaryDir disc(TestMedia::dir() + QStringLiteral("/disc-XXXXXX"));
    QVERIFY(disc.isValid());
    QVERIFY(QDir(disc.path()).mkdir(QStringLiteral("MPEGAV")));
    const QByteArray track = QFile::encodeName(TestMedia::vcdTrack(0.5));
    constexpr int kTracks = 10000;
    for (int k = 1; k <= kTracks; ++k) {
        const QString name = disc.filePath(QStringLiteral("MPEGAV/AVSEQ%1.DAT").arg(k, 5, 10, QLatin1Char('0')));
        QVERIFY2(::link(track.constData(), QFile::encodeName(name).constData()) == 0, qPrintable(name));
    }

    FormRig rig({.real = true});
    rig.addDrive(disc.path());
    Form1 &form = *rig.form;
    form.Form_Load();
    QCOMPARE(form.state.TrackCount, std::int16_t(kTracks));
    QCOMPARE(form.File1.ListCount(), kTracks);
    for (int i = 0; i < 9; ++i) {
        QVERIFY(form.Lbl1[i]->isEnabled());
        QCOMPARE(form.Lbl1[i]->BackColor(), kColorYellow);
        QVERIFY2(form.Lbl1[i]->toolTip().startsWith(QStringLiteral(" AVSEQ%1.DAT  : ").arg(i + 1, 5, 10, QLatin1Char('0'))),
                 qPrintable(form.Lbl1[i]->toolTip()));
    }
    QVERIFY(form.Lbl1[9]->isEnabled());
    QCOMPARE(form.Lbl1[9]->toolTip(), QStringLiteral(" More tracks list ..."));
    QCOMPARE(form.Cmd1[9]->toolTip(), QStringLiteral(" More tracks list ..."));

    // A steady scan changes nothing.
    form.LoadTrackList();
    QCOMPARE(form.state.TrackCount, std::int16_t(kTracks));

    form.mnuPlayVCD_Click();
    QVERIFY2(rig.messages().isEmpty(), qPrintable(rig.messages().join('\n')));
    QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Playing));
    const QString first = form.state.TrackFolder + QStringLiteral("/AVSEQ00001.DAT");
    QCOMPARE(rig.component->FileName(), first);
    QCOMPARE(form.windowTitle(), captionFor(first));
    for (TrackLabel *label : form.Lbl1)
        QVERIFY(label->isEnabled());
    QCOMPARE(form.Lbl1[0]->BorderStyle(), 1);

    // The more-tracks slot lists the other 9,991 and lets one be chosen.
    QString caption;
    int listed = 0;
    whenModal([&](Form2 *dialog) {
        caption = dialog->windowTitle();
        listed = dialog->List1->count();
        dialog->List1->setCurrentRow(listed - 1);
        dialog->cmdOk_Click();
    });
    form.Cmd1_MouseDown(9, 1, 0, 0, 0);
    QCOMPARE(caption, QStringLiteral("More Tracks Found : 9991 "));
    QCOMPARE(listed, kTracks - 9);
    QTRY_COMPARE_WITH_TIMEOUT(rig.component->PlayState(), int(MediaPlayer::Playing), 15000);
    QCOMPARE(rig.component->FileName(), form.state.TrackFolder + QStringLiteral("/AVSEQ10000.DAT"));
    QCOMPARE(form.state.CurrentTrack, std::int16_t(kTracks - 1));
    QVERIFY(rig.messages().isEmpty());
    stillPlaysAGoodFile(rig);
}

void TestBadInput::discTakenOutWhilePlaying()
{
    FormRig rig({.real = true});
    rig.disc.addFiles(QStringLiteral("MPEGAV"), {"AVSEQ01.DAT", "AVSEQ02.DAT"}, {}, TestMedia::vcdTrack(0.5));
    rig.addDrive(rig.disc.path());
    Form1 &form = *rig.form;
    form.Form_Load();
    QCOMPARE(form.state.TrackCount, std::int16_t(2));
    form.mnuPlayVCD_Click();
    QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Playing));

    // The disc leaves the drive: the device says so and its files are gone.
    rig.platform.cdAudio.setDisc(false);
    QVERIFY(QDir(rig.disc.path(QStringLiteral("MPEGAV"))).removeRecursively());

    QTRY_COMPARE_WITH_TIMEOUT(rig.component->PlayState(), int(MediaPlayer::Closed), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(form.state.TrackCount, std::int16_t(0), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!form.state.DiscPresent, 5000);
    for (int i = 0; i < Form1::kSlots; ++i) {
        QVERIFY(!form.Lbl1[i]->isEnabled());
        QCOMPARE(form.Lbl1[i]->BackColor(), kColorButtonFace);
        QVERIFY(form.Lbl1[i]->toolTip().isEmpty());
        QVERIFY(form.Cmd1[i]->isHidden());
    }
    QCOMPARE(rig.component->ReadyState(), int(MediaPlayer::NothingLoaded));
    // At most the one message of the broken stream, never a success.
    for (const QString &text : rig.messages())
        QVERIFY2(text.startsWith(QStringLiteral("Error : Playback of ")), qPrintable(text));
    QVERIFY(!form.mnuClose->isEnabled());
    rig.platform.messages.shown.clear();
    stillPlaysAGoodFile(rig);
}

void TestBadInput::deviceErrors_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");

    QTest::newRow("263 alias unknown") << 263 << QString() << "CD is already in use by some other application.";
    QTest::newRow("263 with a reply") << 263 << "busy" << "CD is already in use by some other application.";
    QTest::newRow("other code, reply") << 275 << "Drive not ready" << "Error accessing CD. Drive not ready";
    QTest::newRow("other code, no reply") << 1 << QString() << "Error accessing CD. ";
    QTest::newRow("negative code") << -1 << QString() << "Error accessing CD. ";
    QTest::newRow("no disc") << 0 << "false" << "No CD is present in CD-Drive.";
    QTest::newRow("no disc, number") << 0 << "0" << "No CD is present in CD-Drive.";
    QTest::newRow("reply no truth value") << 0 << "maybe" << "Error accessing CD. maybe";
    QTest::newRow("empty reply") << 0 << QString() << "Error accessing CD. ";
}

void TestBadInput::deviceErrors()
{
    QFETCH(int, result);
    QFETCH(QString, reply);
    QFETCH(QString, message);

    FormRig rig({.real = true});
    rig.disc.addFiles(QStringLiteral("MPEGAV"), {"AVSEQ01.DAT"}, {}, TestMedia::vcdTrack(0.5));
    rig.addDrive(rig.disc.path());
    rig.platform.cdAudio.statusResult = result;
    rig.platform.cdAudio.statusReply = reply;
    Form1 &form = *rig.form;
    form.Form_Load();
    // The scan and the File menu ask quietly.
    QCOMPARE(form.state.TrackCount, std::int16_t(0));
    form.mnuFile_Click();
    QVERIFY(!form.mnuPlayVCD->isEnabled());
    QVERIFY(rig.messages().isEmpty());

    form.mnuPlayVCD_Click();
    QCOMPARE(rig.messages(), QStringList{message});
    QCOMPARE(rig.platform.messages.shown.first().icon, MessageIcon::Error);
    QCOMPARE(rig.platform.messages.shown.first().title, kAppTitle);
    QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Closed));
    for (TrackLabel *label : form.Lbl1)
        QVERIFY(!label->isEnabled());

    rig.platform.messages.shown.clear();
    stillPlaysAGoodFile(rig);
    // The device recovers: the disc plays.
    rig.platform.cdAudio.setDisc(true);
    form.mnuStop_Click();
    QTRY_COMPARE(rig.component->PlayState(), int(MediaPlayer::Stopped));
    form.mnuPlayVCD_Click();
    QVERIFY(rig.messages().isEmpty());
    QCOMPARE(rig.component->FileName(), form.state.TrackFolder + QStringLiteral("/AVSEQ01.DAT"));
}

void TestBadInput::cleanupTestCase()
{
    // Qt cannot name this file, so it cannot remove it either.
    if (!rawName_.isEmpty())
        ::unlink(rawName_.constData());
}

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
