// The status timer: looping, the next track after a late end of stream,
// the idle rescan and the window fit.
#include "support/FormRig.h"

#include <QtTest>

using namespace tavero;
using namespace tavero::test;

class TestStatusTimer : public QObject {
    Q_OBJECT
private slots:
    void tickTable_data();
    void tickTable();
    void singleFileLoops();
    void trackLoopsWithContinuousPlayOff();
    void continuousPlayThroughTheTimer();
    void idleRefresh_data();
    void idleRefresh();
    void fitUnlessMinimised();
};

void TestStatusTimer::tickTable_data()
{
    QTest::addColumn<bool>("loop");
    QTest::addColumn<bool>("continuous");
    QTest::addColumn<bool>("single");
    QTest::addColumn<int>("playState");
    QTest::addColumn<int>("track");      // of 4
    QTest::addColumn<QString>("does");   // play, next, idle, nothing

    QTest::newRow("loop, stopped") << true << false << false << 0 << 1 << "play";
    QTest::newRow("loop, single file, continuous") << true << true << true << 0 << 1 << "play";
    QTest::newRow("loop, paused") << true << false << true << 1 << 1 << "nothing";
    QTest::newRow("loop, closed") << true << false << true << 6 << 1 << "idle";
    QTest::newRow("loop, playing") << true << false << true << 2 << 1 << "nothing";
    QTest::newRow("next track") << false << true << false << 0 << 1 << "next";
    QTest::newRow("next track over loop") << true << true << false << 0 << 1 << "next";
    QTest::newRow("next track while playing") << false << true << false << 2 << 1 << "next";
    QTest::newRow("next track, paused") << false << true << false << 1 << 1 << "nothing";
    QTest::newRow("neither") << false << false << false << 0 << 1 << "idle";
    QTest::newRow("continuous, single file") << false << true << true << 0 << 1 << "idle";
    QTest::newRow("last track") << true << true << false << 0 << 3 << "idle";
}

void TestStatusTimer::tickTable()
{
    QFETCH(bool, loop);
    QFETCH(bool, continuous);
    QFETCH(bool, single);
    QFETCH(int, playState);
    QFETCH(int, track);
    QFETCH(QString, does);

    FormRig rig({.runQtEvents = false});
    rig.insertDisc(4);
    auto &form = *rig.form;
    rig.playTrack(track);
    rig.player->quiet = true;
    rig.player->playState = playState;
    rig.player->calls.clear();
    form.mnuLoop->setChecked(loop);
    form.mnuContinuousPlay->setChecked(continuous);
    form.state.SingleFileMode = single;
    form.state.StreamEnded = true;
    form.Lbl1[track]->setBorderStyle(1);

    form.Timer1_Timer();

    const QStringList acts = rig.player->calls.filter(QRegularExpression("^(Play|Open|Stop)"));
    if (does == "play") {
        QCOMPARE(acts, QStringList{"Play"});
        QVERIFY(form.state.StreamEnded);   // cleared by the play state, not here
    } else if (does == "next") {
        QCOMPARE(acts.last(), "Open " + rig.track(track + 1));
        QVERIFY(!form.state.StreamEnded);
        QCOMPARE(form.state.CurrentTrack, std::int16_t(track + 1));
    } else {
        QVERIFY(acts.isEmpty());
        QVERIFY(form.state.StreamEnded);
        // Idle or not decides whether the marker is cleared.
        QCOMPARE(rig.marked().isEmpty(), does == "idle");
    }
}

void TestStatusTimer::singleFileLoops()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    form.mnuLoop_Click();
    form.state.SingleFileMode = true;
    form.PlayFile("/media/clip.mpg");

    // The component's order: stopped first, then the end of stream.
    for (int round = 1; round <= 3; ++round) {
        rig.player->finishMedium(FakeMediaPlayer::EndOrder::StopThenEnd);
        QVERIFY(form.state.StreamEnded);
        QVERIFY(form.Timer1->isActive());
        form.Timer1_Timer();
        QCOMPARE(rig.player->PlayState(), int(MediaPlayer::Playing));
        QCOMPARE(rig.player->calls.count("Play"), round);
        QVERIFY(!form.state.StreamEnded);
        QVERIFY(!form.Timer1->isActive());
    }
    QCOMPARE(rig.opened().size(), 1);

    // A failing restart is tried again on the next tick.
    rig.player->finishMedium(FakeMediaPlayer::EndOrder::StopThenEnd);
    rig.player->playFails = true;
    form.Timer1_Timer();
    QVERIFY(form.state.StreamEnded);
    rig.player->playFails = false;
    form.Timer1_Timer();
    QCOMPARE(rig.player->PlayState(), int(MediaPlayer::Playing));

    // With the end reported first, the fall to stopped clears the flag and
    // nothing restarts: the loop relies on the component's order.
    const qsizetype plays = rig.player->calls.count("Play");
    rig.player->finishMedium(FakeMediaPlayer::EndOrder::EndThenStop);
    form.Timer1_Timer();
    QCOMPARE(rig.player->calls.count("Play"), plays);
    QCOMPARE(rig.player->PlayState(), int(MediaPlayer::Stopped));
}

void TestStatusTimer::trackLoopsWithContinuousPlayOff()
{
    FormRig rig({.runQtEvents = false});
    rig.insertDisc(3);
    auto &form = *rig.form;
    form.mnuLoop_Click();
    form.mnuContinuousPlay_Click();
    rig.playTrack(1);
    rig.player->finishMedium(FakeMediaPlayer::EndOrder::StopThenEnd);
    form.Timer1_Timer();
    QCOMPARE(rig.player->calls.count("Play"), 1);
    QCOMPARE(rig.opened().size(), 1);
    QCOMPARE(form.state.CurrentTrack, std::int16_t(1));
    QCOMPARE(rig.marked(), QList<int>{1});
}

void TestStatusTimer::continuousPlayThroughTheTimer()
{
    FormRig rig({.runQtEvents = false});
    rig.insertDisc(3);
    auto &form = *rig.form;
    form.mnuLoop_Click();   // a Video CD track moves on instead of looping
    rig.playTrack(0);

    for (int k = 1; k <= 2; ++k) {
        rig.player->finishMedium(FakeMediaPlayer::EndOrder::StopThenEnd);
        QCOMPARE(rig.opened().size(), k);   // the handler saw no end yet
        form.Timer1_Timer();
        QCOMPARE(rig.opened().last(), rig.track(k));
        QCOMPARE(form.state.CurrentTrack, std::int16_t(k));
        QCOMPARE(rig.marked(), QList<int>{k});
    }
    // The last track simply ends.
    rig.player->finishMedium(FakeMediaPlayer::EndOrder::StopThenEnd);
    form.Timer1_Timer();
    form.Timer1_Timer();
    QCOMPARE(rig.opened().size(), 3);
    QCOMPARE(rig.player->calls.count("Play"), 0);
    QCOMPARE(rig.player->PlayState(), int(MediaPlayer::Stopped));
    QVERIFY(rig.marked().isEmpty());
}

void TestStatusTimer::idleRefresh_data()
{
    QTest::addColumn<int>("playState");
    QTest::addColumn<int>("readyState");
    QTest::addColumn<bool>("idle");
    QTest::newRow("paused with media") << 1 << 4 << false;
    QTest::newRow("paused, nothing ready") << 1 << 0 << true;
    QTest::newRow("stopped") << 0 << 4 << true;
    QTest::newRow("closed") << 6 << 0 << true;
    QTest::newRow("playing") << 2 << 0 << false;
}

void TestStatusTimer::idleRefresh()
{
    QFETCH(int, playState);
    QFETCH(int, readyState);
    QFETCH(bool, idle);
    FormRig rig({.runQtEvents = false});
    rig.insertDisc(3);
    auto &form = *rig.form;
    rig.player->quiet = true;
    rig.player->playState = playState;
    rig.player->readyState = readyState;
    form.Lbl1[0]->setBorderStyle(1);
    form.Lbl1[2]->setBorderStyle(1);

    form.Timer1_Timer();

    QCOMPARE(rig.marked().isEmpty(), idle);
    QCOMPARE(rig.platform.events.calls, idle ? 1 : 0);
    QVERIFY(rig.player->calls.filter(QRegularExpression("^(Play|Open|Stop)")).isEmpty());
    // A steady disc: the scan finds nothing to change.
    QCOMPARE(form.File1.ListCount(), 3);
}

void TestStatusTimer::fitUnlessMinimised()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    rig.player->quiet = true;
    rig.player->playState = MediaPlayer::Paused;
    rig.player->readyState = MediaPlayer::Loaded;
    rig.player->setAutoSize(true);
    rig.player->setVideoSize(QSize(400, 300));
    const float width = form.OuterWidth();
    const float height = form.OuterHeight();

    form.setWindowState(Qt::WindowMinimized);
    form.Timer1_Timer();
    QCOMPARE(form.OuterWidth(), width);
    QCOMPARE(form.OuterHeight(), height);

    form.setWindowState(Qt::WindowNoState);
    form.Timer1_Timer();
    QCOMPARE(form.OuterWidth(), rig.player->Left() + rig.player->Width() + 120);
    QCOMPARE(form.OuterHeight(), rig.player->Top() + rig.player->Height() + 670);
    QVERIFY(form.OuterWidth() != width);
}

QTEST_MAIN(TestStatusTimer)
#include "tst_statustimer.moc"
