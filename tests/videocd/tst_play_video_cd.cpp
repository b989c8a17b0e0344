// File > Play Video CD, pressing the track slots and the more-tracks slot.
// The slots' hover behaviour is in tst_track_hover_x11.
#include "support/FormRig.h"

#include <QAction>
#include <QListWidget>
#include <QPushButton>

using namespace tavero;
using namespace tavero::test;

class TestPlayVideoCd : public QObject {
    Q_OBJECT
private slots:
    void playsTheFirstTrack();
    void discsItRefuses();
    void discCheckFailures();
    void pressingSlots();
    void moreTracksSlot();
};

static const QString kNoVideoCd = QStringLiteral("No files found to play or CD is not a video CD ...");

void TestPlayVideoCd::playsTheFirstTrack()
{
    {   // Twelve tracks: all ten labels on, track 1 plays, slot 0 marked.
        FormRig rig({.cdDrive = true});
        rig.disc.addTracks(QStringLiteral("MPEGAV"), 12);
        rig.disc.addTracks(QStringLiteral("MPEGAV"), 2, QStringLiteral(".mpg"), QStringLiteral("EXTRA"));
        rig.scan();
        rig.form->state.SingleFileMode = true;
        rig.form->mnuPlayVCD_Click();
        QVERIFY(rig.platform.messages.shown.isEmpty());
        QCOMPARE(rig.enabledLabels(), 10);
        QCOMPARE(rig.borders(), QStringList{"0"});
        QVERIFY(rig.form->Cmd1[0]->isHidden());
        QVERIFY(!rig.form->state.SingleFileMode);
        QCOMPARE(rig.form->File1.Pattern(), QStringLiteral("*.dat"));
        QCOMPARE(rig.form->File1.ListCount(), 12);
        QCOMPARE(rig.form->state.TrackFolder, rig.disc.path("MPEGAV"));
        QCOMPARE(rig.opened(), QStringList{rig.disc.path("MPEGAV/AVSEQ01.DAT")});
        QCOMPARE(rig.form->state.CurrentTrack, 0);

        // The next scan lists the MPEG files again; the count it built the
        // panel for is unchanged, so the panel stays as Play Video CD left it.
        rig.form->LoadTrackList();
        QCOMPARE(rig.form->File1.Pattern(), QStringLiteral("*.dat;*.mpg;*.mpeg"));
        QCOMPARE(rig.form->File1.ListCount(), 14);
        QCOMPARE(rig.enabledLabels(), 10);
        QCOMPARE(rig.borders(), QStringList{"0"});
    }
    {   // Lower-case second folder, three tracks: only their labels on.
        FormRig rig({.cdDrive = true});
        rig.disc.addTracks(QStringLiteral("mpegsav"), 3, QStringLiteral(".dat"), QStringLiteral("avseq"));
        rig.scan();
        rig.form->mnuPlayVCD_Click();
        QCOMPARE(rig.enabledLabels(), 3);
        QVERIFY(rig.form->Lbl1[2]->isEnabled());
        QCOMPARE(rig.opened(), QStringList{rig.disc.path("mpegsav/avseq01.dat")});
        // Play Video CD leaves colours and tooltips to the scan.
        QCOMPARE(rig.slotStates()[0], QStringLiteral("eY avseq01.dat  : 0.0 MB "));
    }
}

void TestPlayVideoCd::discsItRefuses()
{
    {   // MPEG files but no Video CD tracks: listed by the panel, refused here.
        FormRig rig({.cdDrive = true});
        rig.disc.addTracks(QStringLiteral("MPEGAV"), 2, QStringLiteral(".mpg"));
        rig.scan();
        QCOMPARE(rig.form->state.TrackCount, 2);
        rig.form->mnuPlayVCD_Click();
        QCOMPARE(rig.platform.messages.texts(), QStringList{kNoVideoCd});
        QCOMPARE(rig.enabledLabels(), 0);
        QVERIFY(rig.opened().isEmpty());
    }
    {   // A data CD: no track folder. The message, and all ten labels on.
        // The scan before has shortened the root; the probes still land on
        // the disc.
        FormRig rig({.cdDrive = true});
        rig.disc.addTracks(QString(), 2, QStringLiteral(".dat"));
        rig.scan();
        QVERIFY(!rig.form->CDDriveRoot().endsWith(QLatin1Char('/')));
        rig.platform.files.probes.clear();
        rig.form->mnuPlayVCD_Click();
        QCOMPARE(rig.platform.files.probes,
                 (QStringList{rig.disc.root() + "Mpegav", rig.disc.root() + "Mpegsav"}));
        QCOMPARE(rig.platform.messages.texts(), QStringList{kNoVideoCd});
        QCOMPARE(rig.enabledLabels(), 10);
        QVERIFY(rig.opened().isEmpty());
    }
    {   // The drive fails on the first probe.
        FormRig rig({.cdDrive = true});
        rig.disc.addTracks(QStringLiteral("MPEGAV"), 2);
        rig.scan();
        rig.platform.files.failAllProbes = true;
        rig.form->mnuPlayVCD_Click();
        QCOMPARE(rig.platform.messages.texts(), QStringList{"Error : Device not ready"});
        QCOMPARE(rig.enabledLabels(), 0);
        QVERIFY(rig.opened().isEmpty());
    }
    {   // No CD drive ever found: nothing at all happens.
        FormRig rig;
        rig.form->FindCDDrive(true);
        rig.form->mnuPlayVCD_Click();
        QVERIFY(rig.platform.messages.shown.isEmpty());
        QVERIFY(rig.platform.files.probes.isEmpty());
    }
}

void TestPlayVideoCd::discCheckFailures()
{
    struct Case {
        int result;
        QString reply;
        QString message;
    };
    // Every reply's message is the disc check's own test; here what follows.
    const QList<Case> cases{
        {0, QStringLiteral("false"), QStringLiteral("No CD is present in CD-Drive.")},
        {5, QStringLiteral("Medium not readable"), QStringLiteral("Error accessing CD. Medium not readable")},
    };
    for (const Case &c : cases) {
        FormRig rig({.cdDrive = true});
        rig.disc.addTracks(QStringLiteral("MPEGAV"), 3);
        rig.scan();
        QCOMPARE(rig.enabledLabels(), 3);
        rig.platform.cdAudio.statusResult = c.result;
        rig.platform.cdAudio.statusReply = c.reply;
        rig.platform.files.probes.clear();
        rig.form->mnuPlayVCD_Click();
        QCOMPARE(rig.platform.messages.texts(), QStringList{c.message});
        QCOMPARE(rig.enabledLabels(), 0);
        QVERIFY(rig.platform.files.probes.isEmpty());
        QVERIFY(rig.opened().isEmpty());
    }
}

void TestPlayVideoCd::pressingSlots()
{
    FormRig rig({.cdDrive = true});
    const QStringList names = rig.disc.addTracks(QStringLiteral("MPEGAV"), 5);
    rig.scan();
    rig.form->state.SingleFileMode = true;
    rig.form->Cmd1[3]->show();
    rig.form->Cmd1_MouseDown(3, 1, 0, 10.0f, 10.0f);
    QVERIFY(rig.form->Cmd1[3]->isHidden());
    QCOMPARE(rig.borders(), QStringList{"3"});
    QVERIFY(!rig.form->state.SingleFileMode);
    QCOMPARE(rig.opened(), QStringList{rig.disc.path("MPEGAV/") + names[3]});
    QVERIFY(rig.platform.events.calls > 0);

    // Another slot moves the marker.
    rig.form->Cmd1_MouseDown(1, 1, 0, 0.0f, 0.0f);
    QCOMPARE(rig.borders(), QStringList{"1"});
    QCOMPARE(rig.opened().last(), rig.disc.path("MPEGAV/") + names[1]);
}

void TestPlayVideoCd::moreTracksSlot()
{
    FormRig rig({.cdDrive = true});
    const QStringList names = rig.disc.addTracks(QStringLiteral("MPEGAV"), 12);
    rig.scan();
    rig.form->mnuPlayVCD_Click();
    rig.player->calls.clear();

    // Pick the second entry.
    QString title;
    QStringList entries;
    QPointer<Form2> first;
    whenModal([&](Form2 *w) {
        first = w;
        title = w->windowTitle();
        for (int i = 0; i < w->List1->count(); ++i)
            entries << w->List1->item(i)->text();
        QVERIFY(rig.player->calls.contains(QStringLiteral("Stop")));
        w->List1->setCurrentRow(1);
        w->cmdOk->click();
    });
    rig.form->Cmd1_MouseDown(9, 2, 0, 0.0f, 0.0f);
    QCOMPARE(title, QStringLiteral("More Tracks Found : 3 "));
    QCOMPARE(entries, names.mid(9));
    QCOMPARE(rig.form->state.ChosenTrack, names[10]);
    QCOMPARE(rig.opened(), QStringList{rig.disc.path("MPEGAV/") + names[10]});
    QCOMPARE(rig.borders(), QStringList{"9"});
    QVERIFY(first.isNull());   // discarded once closed
    QVERIFY(!rig.form->form2());
    QCOMPARE(rig.player->calls.indexOf(QStringLiteral("Stop")), 0);

    // Cancel: nothing plays, the slot keeps its marker.
    rig.player->calls.clear();
    whenModal([&](Form2 *w) {
        QVERIFY(w != first);
        w->List1->setCurrentRow(0);
        w->cmdCancel->click();
    });
    rig.form->Cmd1_MouseDown(9, 1, 0, 0.0f, 0.0f);
    QVERIFY(rig.form->state.ChosenTrack.isEmpty());
    QVERIFY(rig.opened().isEmpty());
    QCOMPARE(rig.borders(), QStringList{"9"});
    QVERIFY(rig.form->state.IgnoreError || rig.player->calls.contains(QStringLiteral("Stop")));

    // OK without a selection: nothing plays.
    rig.player->calls.clear();
    whenModal([&](Form2 *w) { w->cmdOk->click(); });
    rig.form->Cmd1_MouseDown(9, 1, 0, 0.0f, 0.0f);
    QVERIFY(rig.form->state.ChosenTrack.isEmpty());
    QVERIFY(rig.opened().isEmpty());

    // Exactly ten tracks: slot 9 is a track slot, yet pressing it opens the
    // list with the tenth track.
    FormRig ten({.cdDrive = true});
    const QStringList tenNames = ten.disc.addTracks(QStringLiteral("MPEGAV"), 10);
    ten.scan();
    QCOMPARE(ten.slotStates()[9], QStringLiteral("eY") + QStringLiteral(" %1  : 0.0 MB ").arg(tenNames[9]));
    QStringList tenEntries;
    whenModal([&](Form2 *w) {
        tenEntries << w->windowTitle();
        for (int i = 0; i < w->List1->count(); ++i)
            tenEntries << w->List1->item(i)->text();
        // A double click on the entry chooses it.
        w->List1->setCurrentRow(0);
        emit w->List1->itemDoubleClicked(w->List1->item(0));
    });
    ten.form->Cmd1_MouseDown(9, 1, 0, 0.0f, 0.0f);
    QCOMPARE(tenEntries, (QStringList{"More Tracks Found : 1 ", tenNames[9]}));
    QCOMPARE(ten.opened(), QStringList{ten.disc.path("MPEGAV/") + tenNames[9]});
}

QTEST_MAIN(TestPlayVideoCd)
#include "tst_play_video_cd.moc"
