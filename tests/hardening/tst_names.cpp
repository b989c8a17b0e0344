// Names that a shell or the video engine would read as something else: an
// option, a URL, a synthetic source, standard input, a command. From the
// command line, a drop, the recent-files menu and the help path they are
// only ever local files, and nothing runs them.
#include "support/FormRig.h"
#include "platform/LinuxPlatform.h"

#include <QDirIterator>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

using namespace tavero;
using namespace tavero::test;

namespace {

const QStringList kNames{QStringLiteral("--help"),
                         QStringLiteral("av://lavfi:testsrc"),
                         QStringLiteral("http:x"),
                         QStringLiteral("$(touch pwned)"),
                         QStringLiteral("`touch pwned`"),
                         QStringLiteral("x; touch pwned"),
                         QStringLiteral("-")};

// Makes `name` (which may hold "/") a copy of the clip inside `dir`.
QString placeClip(const QString &dir, const QString &name)
{
    const QString path = dir + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).path());
    QFile::copy(TestMedia::mpegClip(1.0), path);
    return path;
}

QString engineName(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

class TestNames : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void commandLine_data();
    void commandLine();
    void drop();
    void recentFiles();
    void helpPath();
    void cleanupTestCase();

private:
    void noPwned();
    QString startDir_;
    std::unique_ptr<QTemporaryDir> tmp_;
};

void TestNames::initTestCase()
{
    startDir_ = QDir::currentPath();
    QVERIFY(QFile::exists(TestMedia::mpegClip(1.0)));
}

void TestNames::init()
{
    // Each case in a folder of its own, which is also the current folder:
    // relative names on the command line land there.
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    QVERIFY(QDir::setCurrent(tmp_->path()));
}

void TestNames::cleanup()
{
    noPwned();
    QDir::setCurrent(startDir_);
    tmp_.reset();
}

void TestNames::cleanupTestCase()
{
    QVERIFY(!QFile::exists(startDir_ + QStringLiteral("/pwned")));
}

void TestNames::noPwned()
{
    for (const QString &dir : {tmp_->path(), startDir_}) {
        QDirIterator it(dir, {QStringLiteral("pwned")}, QDir::AllEntries | QDir::Hidden,
                        QDirIterator::Subdirectories);
        QVERIFY2(!it.hasNext(), qPrintable(it.hasNext() ? it.next() : QString()));
    }
}

void TestNames::commandLine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");
    for (const QString &name : kNames) {
        QTest::addRow("%s, a file", qPrintable(name)) << name << true;
        QTest::addRow("%s, missing", qPrintable(name)) << name << false;
    }
}

void TestNames::commandLine()
{
    QFETCH(QString, name);
    QFETCH(bool, exists);
    const QString path = exists ? placeClip(tmp_->path(), name) : QString();

    FormRig rig({.real = true});
    rig.platform.program.arguments = name;
    rig.form->Form_Load();
    if (exists) {
        QVERIFY2(rig.messages().isEmpty(), qPrintable(rig.messages().join('\n')));
        QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Playing));
        QCOMPARE(rig.component->FileName(), engineName(path));
        QCOMPARE(rig.mpv->videoSize(), QSize(352, 288));
    } else {
        QCOMPARE(rig.messages(), QStringList{QStringLiteral("Could not find the file '") + name +
                                             QStringLiteral("' ...!")});
        QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Closed));
        QCOMPARE(rig.component->ReadyState(), int(MediaPlayer::NothingLoaded));
    }
    rig.platform.messages.shown.clear();
    stillPlaysAGoodFile(rig);
}

void TestNames::drop()
{
    FormRig rig({.real = true});
    rig.form->Form_Load();
    for (const QString &name : kNames) {
        const QString path = tmp_->path() + QLatin1Char('/') + name;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});

        // Missing: fails as a missing file; nothing else plays instead.
        rig.form->Form_OLEDragDrop(&data);
        QCOMPARE(rig.messages(), QStringList{QStringLiteral("Error : Cannot open \"") + engineName(path) +
                                             QStringLiteral("\": there is no such file.")});
        QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Closed));
        rig.platform.messages.shown.clear();

        placeClip(tmp_->path(), name);
        rig.form->Form_OLEDragDrop(&data);
        QVERIFY2(rig.messages().isEmpty(), qPrintable(rig.messages().join('\n')));
        QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Playing));
        QCOMPARE(rig.component->FileName(), engineName(path));
    }
    // Addresses that are not local files are no drop of files at all.
    rig.form->mnuClose->trigger();
    for (const char *address : {"av://lavfi:testsrc", "http:x", "lavfi:testsrc", "-"}) {
        QMimeData data;
        data.setUrls({QUrl(QString::fromLatin1(address))});
        rig.form->Form_OLEDragDrop(&data);
        QVERIFY(rig.messages().isEmpty());
        QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Closed));
    }
    stillPlaysAGoodFile(rig);
}

void TestNames::recentFiles()
{
    FormRig rig({.real = true});
    Form1 &form = *rig.form;
    form.Form_Load();
    // Four names fill four recent slots; the list keeps them lower-cased.
    const QStringList names = kNames.mid(0, 4);
    QStringList paths;
    for (const QString &name : names) {
        paths << placeClip(tmp_->path(), name);
        form.state.SingleFileMode = true;
        form.PlayFile(paths.last());
        QCOMPARE(rig.component->FileName(), engineName(paths.last()));
    }
    QVERIFY(rig.messages().isEmpty());
    for (int i = 0; i < names.size(); ++i) {
        const QString entry = form.recentCaption(i).mid(4);
        QCOMPARE(entry, engineName(paths.at(i)).toLower());
        form.mnuRecent_Click(i);
        QVERIFY2(rig.messages().isEmpty(), qPrintable(rig.messages().join('\n')));
        QCOMPARE(rig.component->FileName(), engineName(paths.at(i)));
        QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Playing));
    }
    // Gone: each fails as a missing file and nothing plays instead.
    form.mnuClose->trigger();
    for (const QString &path : paths)
        QVERIFY(QFile::remove(path));
    for (int i = 0; i < names.size(); ++i) {
        rig.platform.messages.shown.clear();
        const QString entry = form.recentCaption(i).mid(4);
        form.mnuRecent_Click(i);
        QCOMPARE(rig.messages(), QStringList{QStringLiteral("The file '") + entry +
                                             QStringLiteral("' could not be found ...!")});
        QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Closed));
    }
    rig.platform.messages.shown.clear();
    stillPlaysAGoodFile(rig);
}

void TestNames::helpPath()
{
    // The program lives in a folder with such a name; the help viewer gets
    // the help path as its one argument. A stand-in viewer writes down what
    // it was given.
    QtProcessLauncher realLauncher;
    for (const QString &name : kNames) {
        const QString folder = tmp_->path() + QStringLiteral("/prog-") + name;
        QVERIFY(QDir().mkpath(folder));
        const QString help = folder + QStringLiteral("/THelp.hlp");
        QFile(help).open(QIODevice::WriteOnly);
        QFile script(folder + QStringLiteral("/tavero-help"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n%s' \"$#\" \"$1\" > \"$(dirname \"$0\")/launched.part\"\n"
                     "mv \"$(dirname \"$0\")/launched.part\" \"$(dirname \"$0\")/launched\"\n");
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        FormRig rig({.adjust = [&](Seams &s) { s.launcher = &realLauncher; }});
        rig.platform.program.folder = folder;
        rig.platform.clock.step = 0.5;
        rig.form->Form_Load();
        rig.form->mnuTaveroHelp_Click();
        QVERIFY(rig.messages().isEmpty());
        const QString out = folder + QStringLiteral("/launched");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), QStringLiteral("1\n") + help);
    }
    // No help file in such a folder: nothing is started.
    FormRig rig;
    rig.platform.program.folder = tmp_->path() + QStringLiteral("/$(touch pwned)-missing");
    rig.platform.clock.step = 0.5;
    rig.form->Form_Load();
    rig.form->mnuTaveroHelp_Click();
    QVERIFY(rig.platform.launcher.starts.isEmpty());
    QVERIFY(rig.messages().isEmpty());
}

QTEST_MAIN(TestNames)
#include "tst_names.moc"
