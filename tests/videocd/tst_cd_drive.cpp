// Finding the CD drive and asking the CD audio device whether a disc is in.
#include "support/FormRig.h"

#include <QAction>

using namespace tavero;
using namespace tavero::test;

class TestCdDrive : public QObject {
    Q_OBJECT
private slots:
    void firstCdDriveWins();
    void missingDrive();
    void discCheckReplies_data();
    void discCheckReplies();
};

void TestCdDrive::firstCdDriveWins()
{
    FormRig rig;
    FakePlatform &platform = rig.platform;
    Form1 &form = *rig.form;
    Disc hardDisk, first, second;
    platform.drives.add(QStringLiteral("sda1"), hardDisk.root(), 3);
    // An entry that goes on with a volume label still gives the drive's root.
    platform.drives.add(QStringLiteral("sr0 [MY_MOVIE]"), first.root(), DriveQuery::kCdRom);
    platform.drives.add(QStringLiteral("sr1"), second.root(), DriveQuery::kCdRom);

    form.FindCDDrive(true);
    QCOMPARE(form.CDDriveRoot(), first.root());
    QCOMPARE(form.state.CDFolder, first.root() + "Mpegav");
    QVERIFY(form.mnuPlayVCD->isEnabled());
    QCOMPARE(form.mnuPlayVCD->text(), QStringLiteral("&Play Video CD"));
    // The search stops at the first CD drive: the second is never asked.
    QCOMPARE(platform.drives.typeQueries, (QStringList{hardDisk.root(), first.root()}));
    QCOMPARE(platform.drives.refreshes, 1);
    QVERIFY(platform.messages.shown.isEmpty());

    // With the first drive gone the second one is found.
    platform.drives.entries.removeAt(1);
    form.FindCDDrive(false);
    QCOMPARE(form.CDDriveRoot(), second.root());
    QCOMPARE(form.state.CDFolder, second.root() + "Mpegav");
}

void TestCdDrive::missingDrive()
{
    FormRig rig;
    FakePlatform &platform = rig.platform;
    Form1 &form = *rig.form;
    Disc hardDisk, cd;
    platform.drives.add(QStringLiteral("sda1"), hardDisk.root(), 3);

    // At start-up: reported on the menu item only.
    form.FindCDDrive(true);
    QCOMPARE(form.mnuPlayVCD->text(), QStringLiteral("No CD-Drive found..."));
    QVERIFY(!form.mnuPlayVCD->isEnabled());
    QVERIFY(form.CDDriveRoot().isEmpty());
    QVERIFY(form.state.CDFolder.isEmpty());
    QVERIFY(platform.messages.shown.isEmpty());

    // A drive that turns up later (a mounted disc image) makes the item
    // usable again, caption included.
    platform.drives.add(QStringLiteral("loop0"), cd.root(), DriveQuery::kCdRom);
    form.FindCDDrive(false);
    QVERIFY(form.mnuPlayVCD->isEnabled());
    QCOMPARE(form.mnuPlayVCD->text(), QStringLiteral("&Play Video CD"));
    QCOMPARE(form.CDDriveRoot(), cd.root());

    // Gone again during a search that reports nothing: the root of the
    // last search stays, the folder is emptied, the item is not touched.
    platform.drives.entries.removeLast();
    form.state.CDFolder = QStringLiteral("stale");
    form.FindCDDrive(false);
    QCOMPARE(form.CDDriveRoot(), cd.root());
    QVERIFY(form.state.CDFolder.isEmpty());
    QCOMPARE(form.mnuPlayVCD->text(), QStringLiteral("&Play Video CD"));
    QVERIFY(form.mnuPlayVCD->isEnabled());
    QVERIFY(platform.messages.shown.isEmpty());
}

void TestCdDrive::discCheckReplies_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("message");

    const QString noDisc = QStringLiteral("No CD is present in CD-Drive.");
    QTest::newRow("true") << 0 << "true" << true << "";
    QTest::newRow("TRUE") << 0 << "TRUE" << true << "";
    QTest::newRow("false") << 0 << "false" << false << noDisc;
    QTest::newRow("False") << 0 << "False" << false << noDisc;
    QTest::newRow("number") << 0 << "-1" << true << "";
    QTest::newRow("zero") << 0 << "0" << false << noDisc;
    QTest::newRow("text after NUL") << 0 << QStringLiteral("true") + QChar(0) + "garbage" << true << "";
    QTest::newRow("not a truth value") << 0 << "maybe" << false << "Error accessing CD. maybe";
    QTest::newRow("empty reply") << 0 << "" << false << "Error accessing CD. ";
    QTest::newRow("alias unknown") << 263 << "" << false
                                   << "CD is already in use by some other application.";
    QTest::newRow("alias unknown with text") << 263 << "whatever" << false
                                             << "CD is already in use by some other application.";
    QTest::newRow("device error") << 5 << "" << false << "Error accessing CD. ";
    QTest::newRow("device error with text") << 289 << "The drive is not ready." << false
                                            << "Error accessing CD. The drive is not ready.";
}

void TestCdDrive::discCheckReplies()
{
    QFETCH(int, result);
    QFETCH(QString, reply);
    QFETCH(bool, present);
    QFETCH(QString, message);

    FormRig rig({.cdDrive = true});
    rig.platform.cdAudio.statusResult = result;
    rig.platform.cdAudio.statusReply = reply;

    // Silent whatever the answer.
    QCOMPARE(rig.form->CheckCDMedia(false), present);
    QVERIFY(rig.platform.messages.shown.isEmpty());

    QCOMPARE(rig.form->CheckCDMedia(true), present);
    if (message.isEmpty()) {
        QVERIFY(rig.platform.messages.shown.isEmpty());
    } else {
        QCOMPARE(rig.platform.messages.texts(), QStringList{message});
        QCOMPARE(rig.platform.messages.shown[0].icon, MessageIcon::Error);
        QCOMPARE(rig.platform.messages.shown[0].title, QStringLiteral("Tavero Player v3.0"));
    }
    // The check keeps nothing of its own.
    QCOMPARE(rig.form->state.DiscPresent, false);
    QCOMPARE(rig.platform.cdAudio.commands, QStringList(2, "status cd media present"));
    QCOMPARE(rig.platform.cdAudio.capacities, (QList<int>{255, 255}));
}

QTEST_MAIN(TestCdDrive)
#include "tst_cd_drive.moc"
