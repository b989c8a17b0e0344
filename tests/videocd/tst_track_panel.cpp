// The track scan: which folder of the disc it lists, how it fills the ten
// slots, and what it does when the disc comes, goes or cannot be read.
#include "support/FormRig.h"

using namespace tavero;
using namespace tavero::test;

class TestTrackPanel : public QObject {
    Q_OBJECT
private slots:
    void trackCounts();
    void trackFolders();
    void onlyMpegFiles();
    void tooltipSizes();
    void steadyDiscIsLeftAlone();
    void discTakenOutWhilePlaying();
    void discSwapped();
    void twoDrives();
    void unreadableDrive();
    void deviceErrorsCountAsNoDisc();
    void noDriveNoScan();
};

static QString tip(const QString &name) { return QStringLiteral(" %1  : 0.0 MB ").arg(name); }

void TestTrackPanel::trackCounts()
{
    for (int n : {0, 1, 10, 11, 12}) {
        FormRig rig({.cdDrive = true});
        const QStringList names = rig.disc.addTracks(QStringLiteral("MPEGAV"), n);
        rig.scan();
        QVERIFY(rig.form->state.DiscPresent);
        QCOMPARE(rig.form->state.TrackCount, n);
        QCOMPARE(rig.form->state.TrackFolder, rig.disc.path("MPEGAV"));

        QStringList expected = FormRig::emptySlots();
        for (int i = 0; i < qMin(n, n > 10 ? 9 : 10); ++i)
            expected[i] = QStringLiteral("eY") + tip(names[i]);
        if (n > 10)
            expected[9] = QStringLiteral("eY More tracks list ...");
        QCOMPARE(rig.slotStates(), expected);
        // Every slot's file list entry is the track's name.
        QCOMPARE(rig.form->File1.names(), names);
        QCOMPARE(rig.form->File1.Pattern(), QStringLiteral("*.dat;*.mpg;*.mpeg"));
    }
}

void TestTrackPanel::trackFolders()
{
    {   // Lower-case names are found as well; TrackFolder is the name on disc.
        FormRig rig({.cdDrive = true});
        rig.disc.addTracks(QStringLiteral("mpegav"), 2, QStringLiteral(".dat"), QStringLiteral("avseq"));
        rig.scan();
        QCOMPARE(rig.form->state.TrackFolder, rig.disc.path("mpegav"));
        QCOMPARE(rig.slotStates()[1], QStringLiteral("eY") + tip("avseq02.dat"));
        QCOMPARE(rig.form->CDDriveRoot(), rig.disc.root());
    }
    {   // The second folder name is tried when the first is missing.
        FormRig rig({.cdDrive = true});
        rig.disc.addTracks(QStringLiteral("MPEGSAV"), 3);
        rig.disc.addTracks(QStringLiteral("OTHER"), 5);
        rig.scan();
        QCOMPARE(rig.form->state.TrackFolder, rig.disc.path("MPEGSAV"));
        QCOMPARE(rig.form->state.TrackCount, 3);
        QCOMPARE(rig.platform.files.probes,
                 (QStringList{rig.disc.root() + "Mpegav", rig.disc.root() + "Mpegsav"}));
    }
    {   // No track folder: the files at the top of the disc, and a root
        // without its "/" that still leads later scans into the disc.
        FormRig rig({.cdDrive = true});
        rig.disc.addTracks(QString(), 2, QStringLiteral(".mpg"), QStringLiteral("clip"));
        rig.disc.addFiles(QString(), {QStringLiteral("readme.txt"), QStringLiteral("movie.avi")});
        rig.scan();
        QString shortRoot = rig.disc.root();
        shortRoot.chop(1);
        QCOMPARE(rig.form->CDDriveRoot(), shortRoot);
        QCOMPARE(rig.form->state.TrackFolder, shortRoot);
        QCOMPARE(rig.form->state.TrackCount, 2);
        QCOMPARE(rig.slotStates()[0], QStringLiteral("eY") + tip("clip01.mpg"));
        QCOMPARE(rig.slotStates()[2], QStringLiteral("-F"));

        rig.disc.addTracks(QStringLiteral("Mpegav"), 4);
        rig.platform.files.probes.clear();
        rig.form->LoadTrackList();
        QCOMPARE(rig.platform.files.probes.value(0), rig.disc.root() + "Mpegav");
        QCOMPARE(rig.form->state.TrackFolder, rig.disc.path("Mpegav"));
        QCOMPARE(rig.form->state.TrackCount, 4);
    }
    {   // An empty disc leaves the panel as it was.
        FormRig rig({.cdDrive = true});
        rig.disc.addTracks(QStringLiteral("MPEGAV"), 3);
        rig.scan();
        const QStringList before = rig.slotStates();
        rig.disc.clear();
        rig.form->LoadTrackList();
        QCOMPARE(rig.slotStates(), before);
        QCOMPARE(rig.form->state.TrackCount, 3);
    }
}

void TestTrackPanel::onlyMpegFiles()
{
    FormRig rig({.cdDrive = true});
    rig.disc.addFiles(QStringLiteral("MPEGAV"),
                      {QStringLiteral("B.MPEG"), QStringLiteral("a.mpg"), QStringLiteral("c.avi"),
                       QStringLiteral("d.txt"), QStringLiteral(".hidden.dat")});
    rig.scan();
    QCOMPARE(rig.form->File1.names(), (QStringList{"a.mpg", "B.MPEG"}));
    QCOMPARE(rig.enabledLabels(), 2);
}

void TestTrackPanel::tooltipSizes()
{
    FormRig rig({.cdDrive = true});
    const QStringList names = rig.disc.addTracks(QStringLiteral("MPEGAV"), 5);
    const QString folder = rig.disc.path("MPEGAV") + QLatin1Char('/');
    rig.platform.files.sizes[folder + names[0]] = 12582912;
    rig.platform.files.sizes[folder + names[1]] = 1000000;
    rig.platform.files.sizes[folder + names[2]] = 262144;      // exactly 0.25 MB
    rig.platform.files.sizes[folder + names[3]] = 4700000000;  // a DVD's worth
    rig.platform.files.sizeErrors.insert(folder + names[4]);
    rig.scan();
    QCOMPARE(rig.slotStates().mid(0, 5),
             (QStringList{"eY AVSEQ01.DAT  : 12.0 MB ", "eY AVSEQ02.DAT  : 1.0 MB ",
                          "eY AVSEQ03.DAT  : 0.3 MB ", "eY AVSEQ04.DAT  : 4482.3 MB ",
                          "eY AVSEQ05.DAT "}));

    // The user's locale never changes the decimal point.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    rig.form->state.TrackCount = 0;
    rig.form->LoadTrackList();
    QLocale::setDefault(before);
    QCOMPARE(rig.slotStates()[0], QStringLiteral("eY AVSEQ01.DAT  : 12.0 MB "));
}

void TestTrackPanel::steadyDiscIsLeftAlone()
{
    FormRig rig({.cdDrive = true});
    rig.disc.addTracks(QStringLiteral("MPEGAV"), 3);
    rig.scan();
    // Marks that a rebuild would wipe out.
    rig.form->Cmd1[0]->setToolTip(QStringLiteral("mine"));
    rig.form->Lbl1[0]->setToolTip(QStringLiteral("mine"));
    rig.form->Lbl1[2]->setEnabled(false);
    const QStringList before = rig.slotStates();
    const qsizetype sizeQueries = rig.platform.files.sizeQueries.size();
    rig.platform.files.listings.clear();

    rig.form->LoadTrackList();
    QCOMPARE(rig.slotStates(), before);
    QCOMPARE(rig.platform.files.sizeQueries.size(), sizeQueries);
    // One disc check and one probe on a steady Video CD.
    QCOMPARE(rig.platform.cdAudio.commands.size(), 2);
    QCOMPARE(rig.platform.files.probes.size(), 2);
    // The track folder is read once per scan, however large it is.
    QCOMPARE(rig.platform.files.listings.size(), 1);

    // A track added to the same folder shows on the next scan.
    rig.disc.addFiles(QStringLiteral("MPEGAV"), {QStringLiteral("AVSEQ04.DAT")});
    rig.form->LoadTrackList();
    QCOMPARE(rig.form->state.TrackCount, 4);
    QCOMPARE(rig.slotStates()[3], QStringLiteral("eY") + tip("AVSEQ04.DAT"));

    // Forcing a rebuild from outside.
    rig.form->state.TrackCount = 0;
    rig.form->LoadTrackList();
    QCOMPARE(rig.slotStates()[0], QStringLiteral("eY") + tip("AVSEQ01.DAT"));
    QVERIFY(rig.form->Lbl1[2]->isEnabled());
}

void TestTrackPanel::discTakenOutWhilePlaying()
{
    FormRig rig({.cdDrive = true});
    const QStringList names = rig.disc.addTracks(QStringLiteral("MPEGAV"), 4);
    rig.scan();
    rig.player->Open(rig.form->state.TrackFolder + "/" + names[1]);
    rig.form->Cmd1[1]->show();
    QCOMPARE(rig.player->ReadyState(), int(MediaPlayer::Loaded));

    rig.platform.cdAudio.setDisc(false);
    rig.form->LoadTrackList();
    QVERIFY(!rig.form->state.DiscPresent);
    QCOMPARE(rig.form->state.TrackCount, 0);
    QCOMPARE(rig.slotStates(), FormRig::emptySlots());
    for (TrackButton *b : rig.form->Cmd1)
        QVERIFY(b->isHidden());
    // The media are closed.
    QVERIFY(rig.player->calls.contains(QStringLiteral("setFileName ")));
    QCOMPARE(rig.player->ReadyState(), int(MediaPlayer::NothingLoaded));
    QVERIFY(rig.platform.messages.shown.isEmpty());

    // Still out: nothing is closed a second time.
    const qsizetype calls = rig.player->calls.size();
    rig.form->LoadTrackList();
    QCOMPARE(rig.player->calls.size(), calls);

    // Back in: shown afresh.
    rig.platform.cdAudio.setDisc(true);
    rig.form->LoadTrackList();
    QCOMPARE(rig.form->state.TrackCount, 4);
}

void TestTrackPanel::discSwapped()
{
    FormRig rig({.cdDrive = true});
    rig.disc.addTracks(QStringLiteral("MPEGAV"), 3);
    rig.scan();

    // Swapped for a disc with as many tracks, no scan in between: the
    // count alone decides, so the old tooltips stay.
    rig.disc.clear();
    rig.disc.addTracks(QStringLiteral("MPEGAV"), 3, QStringLiteral(".DAT"), QStringLiteral("MUSIC"));
    rig.form->LoadTrackList();
    QCOMPARE(rig.slotStates()[0], QStringLiteral("eY") + tip("AVSEQ01.DAT"));
    QCOMPARE(rig.form->File1.List(0), QStringLiteral("MUSIC01.DAT"));

    // A scan that saw the drive empty in between shows the new disc.
    rig.platform.cdAudio.setDisc(false);
    rig.form->LoadTrackList();
    rig.platform.cdAudio.setDisc(true);
    rig.form->LoadTrackList();
    QCOMPARE(rig.slotStates()[0], QStringLiteral("eY") + tip("MUSIC01.DAT"));
}

void TestTrackPanel::twoDrives()
{
    FormRig rig({.cdDrive = true});
    Disc second;
    rig.disc.addTracks(QStringLiteral("MPEGAV"), 2);
    second.addTracks(QStringLiteral("MPEGAV"), 7);
    rig.platform.drives.add(QStringLiteral("sr1"), second.root(), DriveQuery::kCdRom);
    rig.scan();
    QCOMPARE(rig.form->state.TrackFolder, rig.disc.path("MPEGAV"));
    QCOMPARE(rig.form->state.TrackCount, 2);
}

void TestTrackPanel::unreadableDrive()
{
    FormRig rig({.cdDrive = true});
    const QStringList names = rig.disc.addTracks(QStringLiteral("MPEGAV"), 3);
    rig.scan();
    rig.player->Open(rig.form->state.TrackFolder + "/" + names[0]);
    rig.form->Cmd1[2]->show();

    rig.platform.files.failAllProbes = true;
    rig.form->LoadTrackList();
    QCOMPARE(rig.form->state.TrackCount, 0);
    // Disabled and plain, but tooltips and buttons as they were.
    QStringList expected;
    for (int i = 0; i < 10; ++i)
        expected << (i < 3 ? QStringLiteral("-F") + tip(names[i]) : QStringLiteral("-F"));
    QCOMPARE(rig.slotStates(), expected);
    QVERIFY(!rig.form->Cmd1[2]->isHidden());
    QCOMPARE(rig.player->ReadyState(), int(MediaPlayer::NothingLoaded));
    QVERIFY(rig.platform.messages.shown.isEmpty());

    // Readable again: rebuilt.
    rig.platform.files.failAllProbes = false;
    rig.form->LoadTrackList();
    QCOMPARE(rig.form->state.TrackCount, 3);

    // A failure of the later probes counts as finding nothing there.
    FormRig other({.cdDrive = true});
    other.disc.addTracks(QString(), 2);
    other.platform.files.probeErrors.insert(other.disc.root() + "Mpegsav");
    other.scan();
    QCOMPARE(other.form->state.TrackCount, 2);
}

void TestTrackPanel::deviceErrorsCountAsNoDisc()
{
    for (int result : {263, 5}) {
        FormRig rig({.cdDrive = true});
        rig.disc.addTracks(QStringLiteral("MPEGAV"), 3);
        rig.scan();
        rig.platform.cdAudio.statusResult = result;
        rig.platform.cdAudio.statusReply = QStringLiteral("busy");
        rig.form->LoadTrackList();
        QVERIFY(!rig.form->state.DiscPresent);
        QCOMPARE(rig.slotStates(), FormRig::emptySlots());
        QVERIFY(rig.platform.messages.shown.isEmpty());
    }
}

void TestTrackPanel::noDriveNoScan()
{
    FormRig rig;
    rig.scan();
    QVERIFY(rig.platform.files.probes.isEmpty());
    QCOMPARE(rig.form->state.TrackCount, 0);
}

QTEST_MAIN(TestTrackPanel)
#include "tst_track_panel.moc"
