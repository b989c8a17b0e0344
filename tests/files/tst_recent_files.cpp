// The recent-files list in the File menu.
#include "support/FormRig.h"

#include <QAction>
#include <QKeySequence>

using namespace tavero;
using namespace tavero::test;

class TestRecentFiles : public QObject {
    Q_OBJECT
private slots:
    void entries_data();
    void entries();
    void ampersandStaysVisible();
    void missingFileIsReportedAndKept();
    void chosenEntryIsPlayed();
};

static QStringList visibleCaptions(const Form1 &form)
{
    QStringList out;
    for (int i = 0; i < Form1::kRecentSlots; ++i) {
        if (form.mnuRecent[i]->isVisible())
            out << form.recentCaption(i);
        else
            out << QStringLiteral("hidden:") + form.recentCaption(i);
    }
    return out;
}

void TestRecentFiles::entries_data()
{
    QTest::addColumn<QStringList>("played");
    QTest::addColumn<QStringList>("captions");   // "" = hidden
    const QString none;
    QTest::newRow("nothing to enter") << QStringList{"", "   "} << QStringList(5, none);
    QTest::newRow("first entry")
        << QStringList{"  /Media/CDROM/MPEGAV/AVSEQ01.DAT "}
        << QStringList{"&1: /media/cdrom/mpegav/avseq01.dat", none, none, none, none};
    const QStringList five{"/v/a.mpg", "/v/b.mpg", "/v/c.mpg", "/v/d.mpg", "/v/e.mpg"};
    QTest::newRow("fills in order")
        << five << QStringList{"&1: /v/a.mpg", "&2: /v/b.mpg", "&3: /v/c.mpg", "&4: /v/d.mpg", "&5: /v/e.mpg"};
    QTest::newRow("pushes down")
        << five + QStringList{"/v/f.mpg"}
        << QStringList{"&1: /v/f.mpg", "&2: /v/a.mpg", "&3: /v/b.mpg", "&4: /v/c.mpg", "&5: /v/d.mpg"};
    // An entry already listed keeps its place, also in a full list.
    QTest::newRow("listed entry stays")
        << five + QStringList{"/v/f.mpg", "/V/C.MPG", "/v/e.mpg"}
        << QStringList{"&1: /v/e.mpg", "&2: /v/f.mpg", "&3: /v/a.mpg", "&4: /v/b.mpg", "&5: /v/c.mpg"};
    QTest::newRow("same file in other case")
        << QStringList{"/home/ann/Film.mpg", "/home/ann/clip.avi", "/HOME/Ann/FILM.MPG", " /home/ann/film.mpg"}
        << QStringList{"&1: /home/ann/film.mpg", "&2: /home/ann/clip.avi", none, none, none};
}

void TestRecentFiles::entries()
{
    QFETCH(QStringList, played);
    QFETCH(QStringList, captions);
    FormRig rig;
    for (const QString &path : played)
        rig.form->UpdateRecentFiles(path);
    QStringList want;
    for (const QString &c : captions)
        want << (c.isEmpty() ? QStringLiteral("hidden:") : c);
    QCOMPARE(visibleCaptions(*rig.form), want);
    // The separator shows with the first entry.
    QCOMPARE(rig.form->mnuD02->isVisible(), !captions.first().isEmpty());
    if (!captions.first().isEmpty())
        QCOMPARE(rig.form->mnuRecent[0]->text(), captions.first());
}

void TestRecentFiles::ampersandStaysVisible()
{
    FormRig rig;
    Form1 &form = *rig.form;
    form.UpdateRecentFiles(QStringLiteral("/v/a.mpg"));
    form.UpdateRecentFiles(QStringLiteral("/v/Tom & Jerry&Co.mpg"));
    // Stored as played, undoubled...
    QCOMPARE(form.recentCaption(1), QStringLiteral("&2: /v/tom & jerry&co.mpg"));
    // ...shown with its "&" as text, the digit staying the access key.
    QCOMPARE(form.mnuRecent[1]->text(), QStringLiteral("&2: /v/tom && jerry&&co.mpg"));
    QCOMPARE(QKeySequence::mnemonic(form.mnuRecent[1]->text()), QKeySequence(Qt::ALT | Qt::Key_2));
    // Pushing down keeps the stored text intact.
    for (const char *p : {"/v/c.mpg", "/v/d.mpg", "/v/e.mpg", "/v/f.mpg"})
        form.UpdateRecentFiles(QLatin1String(p));
    QCOMPARE(form.recentCaption(2), QStringLiteral("&3: /v/tom & jerry&co.mpg"));
    QCOMPARE(form.mnuRecent[2]->text(), QStringLiteral("&3: /v/tom && jerry&&co.mpg"));
    QCOMPARE(QKeySequence::mnemonic(form.mnuRecent[2]->text()), QKeySequence(Qt::ALT | Qt::Key_3));
}

void TestRecentFiles::missingFileIsReportedAndKept()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString path = tmp.path() + QStringLiteral("/gone & lost.mpg");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    FormRig rig;
    Form1 &form = *rig.form;
    FakePlatform &platform = rig.platform;
    FakeMediaPlayer *player = rig.player;
    form.UpdateRecentFiles(path);
    form.UpdateRecentFiles(QStringLiteral("/no/such/drive/x.dat"));
    QVERIFY(QFile::remove(path));
    const QStringList before = visibleCaptions(form);
    player->calls.clear();

    form.mnuRecent[0]->trigger();
    form.mnuRecent_Click(1);
    QCOMPARE(platform.messages.shown.size(), 2);
    QCOMPARE(platform.messages.shown[0].text,
             QStringLiteral("The file '") + path.toLower() + QStringLiteral("' could not be found ...!"));
    QCOMPARE(platform.messages.shown[1].text,
             QStringLiteral("The file '/no/such/drive/x.dat' could not be found ...!"));
    for (const ShownMessage &m : platform.messages.shown) {
        QCOMPARE(m.icon, MessageIcon::Error);
        QCOMPARE(m.title, QStringLiteral("Tavero Player v3.0"));
    }
    QCOMPARE(visibleCaptions(form), before);
    QVERIFY(!form.state.SingleFileMode);
    QVERIFY(player->calls.filter(QStringLiteral("Open")).isEmpty());

    // A folder of that name is not a file either.
    QVERIFY(QDir().mkpath(path));
    form.mnuRecent_Click(0);
    QCOMPARE(platform.messages.shown.size(), 3);
}

void TestRecentFiles::chosenEntryIsPlayed()
{
    // Letter case is part of a name here: the lower-cased entry still has
    // to find "Film.MPG" in "Movies".
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(QDir(tmp.path()).mkdir(QStringLiteral("Movies")));
    const QString real = tmp.path() + QStringLiteral("/Movies/Film.MPG");
    {
        QFile f(real);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    FormRig rig;
    Form1 &form = *rig.form;
    FakePlatform &platform = rig.platform;
    FakeMediaPlayer *player = rig.player;
    form.UpdateRecentFiles(real);
    QCOMPARE(form.recentCaption(0), QStringLiteral("&1: ") + real.toLower());
    player->calls.clear();
    platform.files.lookups.clear();

    form.mnuRecent[0]->trigger();
    QVERIFY(platform.messages.shown.isEmpty());
    QVERIFY(form.state.SingleFileMode);
    QVERIFY(platform.files.lookups.contains(real));
    const QStringList opens = player->calls.filter(QStringLiteral("Open "));
    QCOMPARE(opens, QStringList{QStringLiteral("Open ") + real});
}

QTEST_MAIN(TestRecentFiles)
#include "tst_recent_files.moc"
