// The recent-files list in the File menu.
#include "app/Form1.h"
#include "support/FakeMediaPlayer.h"
#include "support/Fakes.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QTemporaryDir>
#include <QtTest>

using namespace tavero;
using namespace tavero::test;

class TestRecentFiles : public QObject {
    Q_OBJECT
private slots:
    void firstEntryAndSeparator();
    void fillsInOrderThenPushesDown();
    void sameFileInOtherCaseChangesNothing();
    void ampersandStaysVisible();
    void missingFileIsReportedAndKept();
    void chosenEntryIsPlayed();
};

static QStringList captions(const Form1 &form)
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

void TestRecentFiles::firstEntryAndSeparator()
{
    FakePlatform platform;
    Form1 form(platform.seams(), new FakeMediaPlayer);
    QVERIFY(!form.mnuD02->isVisible());

    // Nothing to enter: the list stays as it was.
    form.UpdateRecentFiles(QString());
    form.UpdateRecentFiles(QStringLiteral("   "));
    QVERIFY(!form.mnuD02->isVisible());
    QCOMPARE(captions(form), QStringList(5, QStringLiteral("hidden:")));

    form.UpdateRecentFiles(QStringLiteral("  /Media/CDROM/MPEGAV/AVSEQ01.DAT "));
    QCOMPARE(captions(form), (QStringList{"&1: /media/cdrom/mpegav/avseq01.dat", "hidden:",
                                          "hidden:", "hidden:", "hidden:"}));
    QCOMPARE(form.mnuRecent[0]->text(), QStringLiteral("&1: /media/cdrom/mpegav/avseq01.dat"));
    QVERIFY(form.mnuD02->isVisible());
}

void TestRecentFiles::fillsInOrderThenPushesDown()
{
    FakePlatform platform;
    Form1 form(platform.seams(), new FakeMediaPlayer);
    for (const char *p : {"/v/a.mpg", "/v/b.mpg", "/v/c.mpg", "/v/d.mpg", "/v/e.mpg"})
        form.UpdateRecentFiles(QLatin1String(p));
    QCOMPARE(captions(form), (QStringList{"&1: /v/a.mpg", "&2: /v/b.mpg", "&3: /v/c.mpg",
                                          "&4: /v/d.mpg", "&5: /v/e.mpg"}));
    form.UpdateRecentFiles(QStringLiteral("/v/f.mpg"));
    QCOMPARE(captions(form), (QStringList{"&1: /v/f.mpg", "&2: /v/a.mpg", "&3: /v/b.mpg",
                                          "&4: /v/c.mpg", "&5: /v/d.mpg"}));
    // An entry already listed keeps its place, also in a full list.
    form.UpdateRecentFiles(QStringLiteral("/V/C.MPG"));
    form.UpdateRecentFiles(QStringLiteral("/v/e.mpg"));
    QCOMPARE(captions(form), (QStringList{"&1: /v/e.mpg", "&2: /v/f.mpg", "&3: /v/a.mpg",
                                          "&4: /v/b.mpg", "&5: /v/c.mpg"}));
    QVERIFY(form.mnuD02->isVisible());
}

void TestRecentFiles::sameFileInOtherCaseChangesNothing()
{
    FakePlatform platform;
    Form1 form(platform.seams(), new FakeMediaPlayer);
    form.UpdateRecentFiles(QStringLiteral("/home/ann/Film.mpg"));
    form.UpdateRecentFiles(QStringLiteral("/home/ann/clip.avi"));
    const QStringList before = captions(form);
    form.UpdateRecentFiles(QStringLiteral("/HOME/Ann/FILM.MPG"));
    form.UpdateRecentFiles(QStringLiteral(" /home/ann/film.mpg"));
    QCOMPARE(captions(form), before);
}

void TestRecentFiles::ampersandStaysVisible()
{
    FakePlatform platform;
    Form1 form(platform.seams(), new FakeMediaPlayer);
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
    FakePlatform platform;
    auto *player = new FakeMediaPlayer;
    Form1 form(platform.seams(), player);
    form.UpdateRecentFiles(path);
    form.UpdateRecentFiles(QStringLiteral("/no/such/drive/x.dat"));
    QVERIFY(QFile::remove(path));
    const QStringList before = captions(form);
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
    QCOMPARE(captions(form), before);
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
    FakePlatform platform;
    auto *player = new FakeMediaPlayer;
    Form1 form(platform.seams(), player);
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
