// The window with the real component (headless): continuous play through
// a disc's tracks and a looping clip, with the status timer running.
#include "PlaybackRig.h"
#include "playback/MpvPlayer.h"
#include "support/TestMedia.h"

#include <QtTest>

using namespace tavero;
using namespace tavero::test;

class TestPlaybackEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void continuousPlayReachesTheLastTrack();
    void singleClipLoops();
};

void TestPlaybackEndToEnd::initTestCase()
{
    QVERIFY(QFile::exists(TestMedia::vcdTrack(1.0)));
    QVERIFY(QFile::exists(TestMedia::mpegClip(1.0)));
}

void TestPlaybackEndToEnd::continuousPlayReachesTheLastTrack()
{
    QStringList loaded;   // outlives the component and its last events
    auto *component = new MpvPlayer(MpvPlayer::Output::Headless);
    PlaybackRig rig(component);
    rig.platform.events.runQtEvents = true;
    rig.insertDisc(3, TestMedia::vcdTrack(1.0));
    auto &form = *rig.form;
    form.Form_Load();
    QVERIFY(form.mnuContinuousPlay->isChecked());
    connect(component, &MediaPlayer::ReadyStateChange, this, [&](int ready) {
        if (ready == MediaPlayer::Loaded)
            loaded << component->FileName();
    });

    rig.playTrack(0);
    QVERIFY(rig.platform.messages.shown.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(form.state.CurrentTrack, std::int16_t(2), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(component->PlayState(), int(MediaPlayer::Stopped), 30000);
    // Two more ticks: nothing follows the last track.
    QTest::qWait(2500);
    QCOMPARE(loaded, (QStringList{rig.track(0), rig.track(1), rig.track(2)}));
    QCOMPARE(component->PlayState(), int(MediaPlayer::Stopped));
    QVERIFY(form.mnuRun->isEnabled());
    QVERIFY(form.mnuOpen->isEnabled());
    QVERIFY(form.Timer1->isActive());
    QVERIFY(rig.platform.messages.shown.isEmpty());
}

void TestPlaybackEndToEnd::singleClipLoops()
{
    int restarts = 0;
    auto *component = new MpvPlayer(MpvPlayer::Output::Headless);
    PlaybackRig rig(component);
    rig.platform.events.runQtEvents = true;
    auto &form = *rig.form;
    form.Form_Load();
    form.mnuLoop->trigger();
    QVERIFY(form.mnuLoop->isChecked());
    connect(component, &MediaPlayer::PlayStateChange, this, [&](int from, int to) {
        if (from == MediaPlayer::Stopped && to == MediaPlayer::Playing)
            ++restarts;
    });

    form.state.SingleFileMode = true;
    form.PlayFile(TestMedia::mpegClip(1.0));
    QCOMPARE(component->PlayState(), int(MediaPlayer::Playing));
    QTRY_VERIFY_WITH_TIMEOUT(restarts >= 3, 40000);
    QCOMPARE(component->FileName(), TestMedia::mpegClip(1.0));
    QVERIFY(rig.platform.messages.shown.isEmpty());
}

QTEST_MAIN(TestPlaybackEndToEnd)
#include "tst_playback_e2e.moc"
