// The window with the real component (headless): continuous play through
// a disc's tracks and a looping clip, with the status timer running.
#include "support/FormRig.h"

#include <QtTest>

using namespace tavero;
using namespace tavero::test;

class TestPlaybackEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void continuousPlayReachesTheLastTrack();
    void singleClipLoops();
    void brokenStreamLeavesTheWindowUsable();
    void fullScreenWindowClosedOrDestroyed();
    void closingInFullScreenEndsTheProgram();
};

void TestPlaybackEndToEnd::initTestCase()
{
    QVERIFY(QFile::exists(TestMedia::vcdTrack(1.0)));
    QVERIFY(QFile::exists(TestMedia::mpegClip(1.0)));
}

void TestPlaybackEndToEnd::continuousPlayReachesTheLastTrack()
{
    QStringList loaded;   // outlives the component and its last events
    FormRig rig({.real = true});
    MpvPlayer *component = rig.mpv;
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
    FormRig rig({.real = true});
    MpvPlayer *component = rig.mpv;
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

void TestPlaybackEndToEnd::brokenStreamLeavesTheWindowUsable()
{
    // A file that breaks off while it plays (a disc taken out, a file cut
    // short under the player): the window must fall back to its stopped
    // state, with Open File offered again and the status timer watching
    // the drive, whether or not the error is reported (an earlier Close
    // leaves IgnoreError set).
    QTemporaryDir tmp;
    FormRig rig({.real = true});
    MpvPlayer *component = rig.mpv;
    component->setSpeed(2);
    auto &form = *rig.form;
    form.Form_Load();

    for (const bool ignored : {false, true}) {
        const QString copy = tmp.filePath(ignored ? "second.mpg" : "first.mpg");
        QVERIFY(QFile::copy(TestMedia::mpegClip(4.0), copy));
        rig.platform.messages.shown.clear();
        form.state.IgnoreError = ignored;
        form.state.SingleFileMode = true;
        form.PlayFile(copy);
        QCOMPARE(component->PlayState(), int(MediaPlayer::Playing));
        QVERIFY(!form.Timer1->isActive());
        QVERIFY(!form.mnuOpen->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(component->CurrentPosition() > 0.2, 10000);
        QVERIFY(QFile::resize(copy, QFileInfo(copy).size() / 5));
        QTRY_COMPARE_WITH_TIMEOUT(component->PlayState(), int(MediaPlayer::Closed), 15000);

        QCOMPARE(rig.platform.messages.shown.size(), ignored ? 0 : 1);
        if (!ignored)
            QVERIFY(rig.platform.messages.shown.first().text.startsWith("Error : "));
        QVERIFY(!form.state.IgnoreError);
        QVERIFY2(form.Timer1->isActive(), ignored ? "ignored error" : "reported error");
        QVERIFY(form.mnuOpen->isEnabled());
        QVERIFY(form.mnuPlayVCD->isEnabled());
        QVERIFY(!form.mnuPause->isEnabled());
        QVERIFY(!form.mnuStop->isEnabled());
        QCOMPARE(form.windowTitle(), QStringLiteral(" Tavero Player v3.0 "));
    }
}

void TestPlaybackEndToEnd::fullScreenWindowClosedOrDestroyed()
{
    FormRig rig({.real = true});
    MpvPlayer *component = rig.mpv;
    rig.form->Form_Load();
    rig.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));

    // Its close box only leaves full screen.
    rig.form->mnuFullScreen_Click();
    QVERIFY(component->fullScreenWindow());
    component->fullScreenWindow()->close();
    QTRY_COMPARE(component->DisplaySize(), int(MediaPlayer::DefaultSize));
    QTRY_VERIFY(!component->fullScreenWindow());
    QVERIFY(rig.form->isVisible());

    // The main window destroyed while the picture is in full screen (the
    // program ending there): no crash.
    rig.form->mnuFullScreen_Click();
    QVERIFY(component->fullScreenWindow());
    rig.form.reset();
}

void TestPlaybackEndToEnd::closingInFullScreenEndsTheProgram()
{
    // Full screen chosen while nothing plays, then the main window closed
    // (the close box after switching to it, or a desktop's Quit): the
    // picture's full-screen window must not keep the program running.
    FormRig rig({.real = true});
    MpvPlayer *component = rig.mpv;
    auto &form = *rig.form;
    form.Form_Load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    form.mnuFullScreen_Click();
    QVERIFY(component->fullScreenWindow());
    QTRY_VERIFY(component->fullScreenWindow()->isVisible());
    // The program's own event loop, as main() runs it: closing the main
    // window must end it. (Kept the last test: it ends the loop for good.)
    bool hung = false;
    QTimer::singleShot(0, &form, [&form] { form.close(); });
    QTimer::singleShot(5000, qApp, [&hung] {
        hung = true;
        QCoreApplication::exit(1);
    });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!hung);
    QVERIFY(!form.isVisible());
}

QTEST_MAIN(TestPlaybackEndToEnd)
#include "tst_playback_e2e.moc"
