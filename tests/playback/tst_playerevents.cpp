// The component's events: the play-state handler's cases, continuous play,
// errors and warnings, the caption and the fit.
#include "support/FormRig.h"

#include <QtTest>

using namespace tavero;
using namespace tavero::test;

class TestPlayerEvents : public QObject {
    Q_OBJECT
private slots:
    void playStateRows_data();
    void playStateRows();
    void refreshWithStoppedPlayerTouchesNoItem();
    void continuousPlayThroughTheHandler();
    void noNextTrack_data();
    void noNextTrack();
    void errorsAndWarnings();
    void closeAfterError_data();
    void closeAfterError();
    void captionAndRecentFiles();
    void recentFilesOnlyForANewFile();
    void mouseOverVideo();
};

// Timer, Play, Pause, Stop, Open File, Play Video CD: '+' on, '-' off.
static QString handlerItems(const Form1 &form)
{
    QString out;
    out += form.Timer1->isActive() ? '+' : '-';
    for (const QAction *a : {form.mnuRun, form.mnuPause, form.mnuStop, form.mnuOpen, form.mnuPlayVCD})
        out += a->isEnabled() ? '+' : '-';
    return out;
}

void TestPlayerEvents::playStateRows_data()
{
    QTest::addColumn<int>("oldState");
    QTest::addColumn<int>("newState");
    QTest::addColumn<QString>("items");
    QTest::addColumn<QList<int>>("marked");
    QTest::addColumn<int>("displaySize");
    QTest::newRow("playing") << 0 << 2 << "--++--" << QList<int>{9} << 2;
    QTest::newRow("paused") << 2 << 1 << "++-+--" << QList<int>{} << 2;
    QTest::newRow("stopped") << 2 << 0 << "++--++" << QList<int>{} << 0;
    QTest::newRow("closed") << 0 << 6 << "------" << QList<int>{} << 2;
}

void TestPlayerEvents::playStateRows()
{
    QFETCH(int, oldState);
    QFETCH(int, newState);
    QFETCH(QString, items);
    QFETCH(QList<int>, marked);
    QFETCH(int, displaySize);

    FormRig rig({.runQtEvents = false});
    rig.insertDisc(12);
    auto &form = *rig.form;
    rig.player->quiet = true;
    rig.player->readyState = MediaPlayer::Loaded;
    rig.player->displaySize = MediaPlayer::DoubleSize;
    form.state.CurrentTrack = 11;   // shares slot 9
    form.state.TrackOpened = true;
    form.state.StreamEnded = true;
    form.mnuContinuousPlay->setChecked(false);
    if (newState != MediaPlayer::Playing)
        form.Lbl1[9]->setBorderStyle(1);
    form.Timer1->stop();
    for (QAction *a : {form.mnuRun, form.mnuPause, form.mnuStop, form.mnuOpen, form.mnuPlayVCD})
        a->setEnabled(false);
    if (newState == MediaPlayer::Playing)
        form.Timer1->start();

    form.WMP1_PlayStateChange(oldState, newState);

    QCOMPARE(handlerItems(form), items);
    if (newState == MediaPlayer::Paused || newState == MediaPlayer::Stopped)
        marked = {9};   // the marker is theirs to leave
    QCOMPARE(rig.marked(), marked);
    QCOMPARE(rig.player->displaySize, displaySize);
    QVERIFY(!form.state.StreamEnded);
    QVERIFY(rig.player->calls.filter("Open").isEmpty());
}

void TestPlayerEvents::refreshWithStoppedPlayerTouchesNoItem()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    rig.player->quiet = true;
    rig.player->playState = MediaPlayer::Stopped;
    form.state.StreamEnded = true;
    const QString before = handlerItems(form);
    form.WMP1_PlayStateChange(0, 0);
    QCOMPARE(handlerItems(form), before);
    QVERIFY(form.state.StreamEnded);
    QCOMPARE(rig.platform.events.calls, 0);
    QVERIFY(rig.player->calls.filter("setDisplaySize").isEmpty());
}

void TestPlayerEvents::continuousPlayThroughTheHandler()
{
    FormRig rig({.runQtEvents = false});
    rig.insertDisc(3);
    auto &form = *rig.form;
    rig.playTrack(0);

    // The end reported before the fall to stopped: the handler goes on.
    rig.player->finishMedium(FakeMediaPlayer::EndOrder::EndThenStop);
    QCOMPARE(rig.opened().last(), rig.track(1));
    QCOMPARE(form.state.CurrentTrack, std::int16_t(1));
    QCOMPARE(rig.marked(), QList<int>{1});

    // An end of stream still queued when the state falls counts too.
    rig.platform.events.onPump = [&] {
        if (!form.state.StreamEnded && rig.player->PlayState() == MediaPlayer::Stopped &&
            rig.opened().size() == 2)
            emit rig.player->EndOfStream(0);
    };
    rig.player->finishMedium(FakeMediaPlayer::EndOrder::StopThenEnd);
    rig.platform.events.onPump = nullptr;
    QCOMPARE(rig.opened().last(), rig.track(2));
    QCOMPARE(form.state.CurrentTrack, std::int16_t(2));
    QVERIFY(form.mnuStop->isEnabled());
    QVERIFY(!form.Timer1->isActive());

    // The last track ends: stopped menus, timer on, default size.
    rig.player->displaySize = MediaPlayer::DoubleSize;
    rig.player->finishMedium(FakeMediaPlayer::EndOrder::EndThenStop);
    QCOMPARE(rig.opened().size(), 3);
    QCOMPARE(handlerItems(form), QStringLiteral("++--++"));
    QCOMPARE(rig.player->displaySize, int(MediaPlayer::DefaultSize));
    QVERIFY(!form.state.StreamEnded);
}

void TestPlayerEvents::noNextTrack_data()
{
    QTest::addColumn<QString>("why");
    QTest::newRow("continuous play off") << "continuous";
    QTest::newRow("single file") << "single";
    QTest::newRow("not loaded") << "ready";
    QTest::newRow("stopped by the user") << "user";
}

void TestPlayerEvents::noNextTrack()
{
    QFETCH(QString, why);
    FormRig rig({.runQtEvents = false});
    rig.insertDisc(3);
    auto &form = *rig.form;
    rig.playTrack(0);
    if (why == "continuous")
        form.mnuContinuousPlay->setChecked(false);
    else if (why == "single")
        form.state.SingleFileMode = true;

    if (why == "ready") {
        rig.player->quiet = true;
        rig.player->readyState = MediaPlayer::Loading;
        rig.player->playState = MediaPlayer::Stopped;
        form.WMP1_EndOfStream(0);
        form.WMP1_PlayStateChange(2, 0);
    } else if (why == "user") {
        form.mnuStop_Click();
    } else {
        rig.player->finishMedium(FakeMediaPlayer::EndOrder::EndThenStop);
    }
    QCOMPARE(rig.opened().size(), 1);
    QCOMPARE(handlerItems(form), QStringLiteral("++--++"));
    QVERIFY(!form.state.StreamEnded);
}

void TestPlayerEvents::errorsAndWarnings()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    form.PlayFile("/media/clip.mpg");
    rig.player->displaySize = MediaPlayer::FullScreen;
    form.state.TrackCount = 7;
    form.mnuOpen->setEnabled(false);
    form.mnuPlayVCD->setEnabled(false);

    rig.player->raiseError("Bad data");
    QCOMPARE(rig.player->displaySize, int(MediaPlayer::DefaultSize));
    QCOMPARE(rig.player->PlayState(), int(MediaPlayer::Paused));
    QCOMPARE(rig.platform.messages.shown.size(), 1);
    QCOMPARE(rig.platform.messages.shown[0].text, QStringLiteral("Error : Bad data"));
    QCOMPARE(rig.platform.messages.shown[0].icon, MessageIcon::Error);
    QCOMPARE(rig.platform.messages.shown[0].title, QStringLiteral("Tavero Player v3.0"));
    QVERIFY(form.mnuOpen->isEnabled());
    QVERIFY(form.mnuPlayVCD->isEnabled());
    QCOMPARE(form.state.TrackCount, std::int16_t(0));

    // With IgnoreError set: no message, the flag is used up, but full
    // screen is still left and playback paused.
    rig.player->Play();
    rig.player->displaySize = MediaPlayer::FullScreen;
    form.state.IgnoreError = true;
    form.state.TrackCount = 7;
    rig.player->raiseError("Ignored");
    QCOMPARE(rig.platform.messages.shown.size(), 1);
    QVERIFY(!form.state.IgnoreError);
    QCOMPARE(rig.player->displaySize, int(MediaPlayer::DefaultSize));
    QCOMPARE(rig.player->PlayState(), int(MediaPlayer::Paused));
    QCOMPARE(form.state.TrackCount, std::int16_t(7));

    // A warning always speaks, and leaves IgnoreError alone.
    rig.player->Play();
    rig.player->displaySize = MediaPlayer::FullScreen;
    form.state.IgnoreError = true;
    form.mnuOpen->setEnabled(false);
    form.mnuPlayVCD->setEnabled(false);
    form.WMP1_Warning(3, 42, QStringLiteral("Codec missing"));
    QCOMPARE(rig.platform.messages.shown.size(), 2);
    QCOMPARE(rig.platform.messages.shown[1].text, QStringLiteral("Warning : Codec missing"));
    QCOMPARE(rig.platform.messages.shown[1].icon, MessageIcon::Error);
    QVERIFY(form.state.IgnoreError);
    QCOMPARE(rig.player->displaySize, int(MediaPlayer::DefaultSize));
    QCOMPARE(rig.player->PlayState(), int(MediaPlayer::Paused));
    QCOMPARE(form.state.TrackCount, std::int16_t(0));
    QVERIFY(form.mnuOpen->isEnabled());
    QVERIFY(form.mnuPlayVCD->isEnabled());
}

void TestPlayerEvents::closeAfterError_data()
{
    QTest::addColumn<int>("readyState");
    QTest::addColumn<bool>("closeEnabled");
    QTest::newRow("loaded") << 4 << true;
    QTest::newRow("loading") << 1 << true;
    QTest::newRow("nothing") << 0 << false;
}

void TestPlayerEvents::closeAfterError()
{
    QFETCH(int, readyState);
    QFETCH(bool, closeEnabled);
    FormRig rig({.runQtEvents = false});
    rig.player->quiet = true;
    rig.player->readyState = readyState;
    rig.form->mnuClose->setEnabled(!closeEnabled);
    rig.form->WMP1_Error();
    QCOMPARE(rig.form->mnuClose->isEnabled(), closeEnabled);
}

void TestPlayerEvents::captionAndRecentFiles()
{
    FormRig rig({.runQtEvents = false});
    rig.insertDisc(12);
    auto &form = *rig.form;
    rig.player->setVideoSize(QSize(352, 288));
    form.state.SingleFileMode = true;
    form.PlayFile("/Media/My Clip.MPG");
    QCOMPARE(form.windowTitle(), QStringLiteral("Tavero : /media/my clip.mpg"));
    // Fitted to the player's new size.
    QCOMPARE(form.OuterWidth(), rig.player->Left() + rig.player->Width() + 120);
    QCOMPARE(form.OuterHeight(), rig.player->Top() + rig.player->Height() + 670);

    // Unloading: the idle caption, and the marker of the current track
    // (slot 9 for the tenth and later) goes.
    form.state.CurrentTrack = 10;
    form.Lbl1[9]->setBorderStyle(1);
    rig.player->setFileName(QString());
    QCOMPARE(form.windowTitle(), QStringLiteral(" Tavero Player v3.0 "));
    QVERIFY(rig.marked().isEmpty());

    // Loaded but without a name counts as nothing loaded.
    form.setWindowTitle("x");
    form.WMP1_ReadyStateChange(MediaPlayer::Loaded);
    QCOMPARE(form.windowTitle(), QStringLiteral(" Tavero Player v3.0 "));
}

void TestPlayerEvents::recentFilesOnlyForANewFile()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    form.PlayFile("/media/a.mpg");
    if (form.recentCaption(0).isEmpty())
        QSKIP("the recent-files list is not built in this tree");
    // Six files: the fifth is pushed out of the list again.
    for (const char *name : {"b", "c", "d", "e", "f"})
        form.PlayFile(QStringLiteral("/media/%1.mpg").arg(name));
    auto listed = [&] {
        QStringList out;
        for (int i = 0; i < Form1::kRecentSlots; ++i)
            out << form.recentCaption(i).mid(4);
        return out;
    };
    const QStringList before = listed();
    QVERIFY(!before.contains("/media/e.mpg"));

    // e loaded again while the caption already names it: not entered.
    rig.player->quiet = true;
    rig.player->fileName = "/media/e.mpg";
    form.setWindowTitle("Tavero : /media/e.mpg");
    form.WMP1_ReadyStateChange(MediaPlayer::Loaded);
    QCOMPARE(listed(), before);

    // Under another caption it is entered.
    form.setWindowTitle("Tavero : /media/f.mpg");
    form.WMP1_ReadyStateChange(MediaPlayer::Loaded);
    QCOMPARE(form.windowTitle(), QStringLiteral("Tavero : /media/e.mpg"));
    QVERIFY(listed().contains("/media/e.mpg"));
}

void TestPlayerEvents::mouseOverVideo()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    for (TrackButton *b : form.Cmd1)
        b->show();
    rig.player->setAutoSize(true);
    rig.player->setVideoSize(QSize(400, 300));
    form.setWindowState(Qt::WindowMinimized);
    emit rig.player->MouseMove(0, 0, 10, 10);
    for (TrackButton *b : form.Cmd1)
        QVERIFY(b->isHidden());
    // Fitted even while minimised.
    QCOMPARE(form.OuterWidth(), rig.player->Left() + rig.player->Width() + 120);
    QCOMPARE(form.OuterHeight(), rig.player->Top() + rig.player->Height() + 670);
}

QTEST_MAIN(TestPlayerEvents)
#include "tst_playerevents.moc"
