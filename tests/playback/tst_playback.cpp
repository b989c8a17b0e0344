// Playing through the window with the scriptable component: what the user
// sees as files and tracks open, pause, stop, end, fail and close.
#include "desktop/DesktopIntegration.h"
#include "support/FormRig.h"

#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <utility>

using namespace tavero;
using namespace tavero::test;
using End = FakeMediaPlayer::EndOrder;

namespace {

// What the user sees: the items on offer, "(timer)" while the status timer
// runs, "+loop" and "-cont" where Loop and Continuous play differ from the start | the panel, "*" on the playing track, "!" on a slot that lost its
// colour, "^" where the button shows | the files the component was asked to
// open | its state and size, "unfitted" if the window is not | messages.
QString seen(FormRig &rig)
{
    const Form1 &f = *rig.form;
    QStringList on, panel;
    for (const QAction *a : {f.mnuRun, f.mnuPause, f.mnuStop, f.mnuClose, f.mnuOpen, f.mnuPlayVCD})
        on << (a->isEnabled() ? a->objectName().mid(3) : "");
    for (int i = 0; i < Form1::kSlots; ++i)
        if (const TrackLabel *l = f.Lbl1[i]; l->isEnabled() || l->BorderStyle())
            panel << l->text() + (l->BorderStyle() ? "*" : "") + (l->BackColor() != kColorYellow ? "!" : "") +
                         (f.Cmd1[i]->isHidden() ? "" : "^");
    const QString size = rig.player->DisplaySize() ? " size " + QString::number(rig.player->DisplaySize()) : "",
                  state = QStringList{"stopped", "paused", "playing", "", "", "", "closed"}[rig.player->PlayState()];
    const QString marks = QString(f.mnuLoop->isChecked() ? " +loop" : "") + (f.mnuContinuousPlay->isChecked() ? "" : " -cont");
    return QStringList{(on.join(' ') + (f.Timer1->isActive() ? " (timer)" : "") + marks).simplified(), panel.join(' '),
                       rig.opened().replaceInStrings(QRegularExpression(".*/|\\.\\w+$"), "").join(' '),
                       state + size + (rig.fitsPlayer() ? "" : " unfitted"), rig.messages().join(" / ")}.join(" | ");
}

} // namespace

class TestPlayback : public QObject {
    Q_OBJECT
private slots:
    // Steps: menu items ("open" a clip, "menu"/"action" drop File/Action down, "as:case" opens track 2 by another
    // name), "t1" presses slot 1, "f12" opens track 13 from the more-tracks list, "k2" the key 2, "tick" is the
    // status timer, "hover"/"move" the mouse over slot 3 and the picture; the component ("quiet" from then on
    // silent, "later" telling late, "loud" again) and the drive do the rest.
    void steps_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("seen");
        const QString playing = "Pause Stop Close | ", idle = "Open PlayVCD (timer) | ", bad = "Error : Bad data",
                      stopped = "Run Close " + idle + "1 2 3 | ", closed = idle + "1 2 3 | clip | closed | ",
                      paused = idle + "1 2 3 | clip | paused | ", both = " | AVSEQ02 AVSEQ03 | playing | ",
                      next = playing + "1 2* 3 | AVSEQ01 AVSEQ02 | playing | ";
        QTest::newRow("open") << "open" << playing + "1 2 3 | clip | playing | ";
        QTest::newRow("pause") << "open pause" << "Run Stop Close (timer) | 1 2 3 | clip | paused | ";
        QTest::newRow("play again") << "open pause play" << playing + "1 2 3 | clip | playing | ";
        QTest::newRow("stop") << "open full stop menu" << stopped + "clip | stopped | ";
        // Commands the component answers with no change of state, or refuses; the items twice, a menu refresh.
        QTest::newRow("play refused") << "open pause jam play" << "Run Close (timer) | 1 2 3 | clip | paused | ";
        QTest::newRow("pause while stopped") << "open stop pause!" << stopped + "clip | stopped | ";
        QTest::newRow("stop, nothing follows") << "open quiet stop menu" << "Close PlayVCD | 1 2 3 | clip | stopped | ";
        QTest::newRow("opening, nothing follows") << "quiet open" << "Close | 1 2 3 | clip | playing | ";
        QTest::newRow("replayed, nothing follows") << "t1 quiet t1" << "Close | 1 2* 3 | AVSEQ02 AVSEQ02 | playing | ";
        QTest::newRow("play, nothing follows") << "open pause quiet play" << "Pause Stop Close (timer) | 1 2 3 | clip | playing | ";
        QTest::newRow("pause, nothing follows") << "open quiet pause" << "Run Stop Close | 1 2 3 | clip | paused | ";
        QTest::newRow("pause, Action menu") << "open quiet pause action" << "Run Stop Close (timer) | 1 2 3 | clip | paused | ";
        QTest::newRow("close, nothing follows") << "open quiet close" << "Pause Stop Open PlayVCD | 1 2 3 | clip | closed | ";
        QTest::newRow("more tracks, stopped") << "disc15 open stop more" << "Close " + idle + "1 2 3 4 5 6 7 8 9 ---* | clip | stopped | ";
        QTest::newRow("stop from paused") << "open pause stop" << stopped + "clip | stopped | ";
        QTest::newRow("items twice") << "loop loop cont cont" << idle + "1 2 3 |  | closed | ";
        QTest::newRow("closed, not unloaded") << "t1 unloaded closes" << playing + "1 2 3 | AVSEQ02 | closed | ";
        // Close silences the error unloading brings, or else the next one.
        QTest::newRow("close") << "open errsonclose close" << closed;
        QTest::newRow("close, told later") << "open later close" << closed;
        QTest::newRow("errors") << "open close warning error error" << closed + "Warning : Codec missing / " + bad;
        QTest::newRow("close in full screen, nothing follows") << "open full quiet close loud error" << "Pause Stop Open PlayVCD | 1 2 3 | clip | closed | ";
        QTest::newRow("close, nothing loaded") << "open givesout close error" << closed + bad;
        // A stream that gives out falls to stopped: Open File comes back.
        QTest::newRow("gives out") << "open givesout error" << "Run " + closed + bad;
        // The silence Close asked for ends with the next medium it did not cover.
        QTest::newRow("gives out after Close") << "open close open givesout error"
                                               << "Run " + idle + "1 2 3 | clip clip | closed | " + bad;
        // Trouble: back from full screen, paused, told; Close while loaded.
        QTest::newRow("full screen") << "open full" << playing + "1 2 3 | clip | playing size 3 | ";
        QTest::newRow("error") << "open full error" << "Run Stop Close " + paused + bad;
        QTest::newRow("error loading") << "open full loading error" << "Run Stop Close " + paused + bad;
        QTest::newRow("error, unloaded") << "open full unloaded error" << "Run Stop " + paused + bad;
        QTest::newRow("warning") << "open full warning" << "Run Stop Close " + paused + "Warning : Codec missing";
        // Either brings the panel up to date at once, and afresh at the next tick.
        QTest::newRow("error, disc out") << "t0 eject error" << idle + " | AVSEQ01 | closed | " + bad;
        QTest::newRow("warning, disc out") << "t0 eject warning" << idle + " | AVSEQ01 | closed | Warning : Codec missing";
        QTest::newRow("error, then a tick") << "t0 openfails t1 error tick" << "Close " + idle + "1 2 3 | AVSEQ01 AVSEQ02 | stopped | Error : Cannot play this file / " + bad;
        QTest::newRow("warning, then a tick") << "t0 openfails t1 warning tick" << idle + "1 2 3 | AVSEQ01 AVSEQ02 | stopped | Error : Cannot play this file / Warning : Codec missing";
        QTest::newRow("continuous") << "t0 end" << next;
        QTest::newRow("end told late") << "t0 late tick" << next;
        QTest::newRow("end told in the fall") << "t0 queued" << next;
        QTest::newRow("last track") << "t2 end tick" << stopped + "AVSEQ03 | stopped | ";
        QTest::newRow("last track, loop") << "loop t2 late tick" << "Run Close Open PlayVCD (timer) +loop | 1 2 3 | AVSEQ03 | stopped | ";
        QTest::newRow("continuous off") << "cont t0 end tick" << "Run Close Open PlayVCD (timer) -cont | 1 2 3 | AVSEQ01 | stopped | ";
        QTest::newRow("looped") << "cont loop t1 late jam tick unjam tick" << "Pause Stop Close +loop -cont | 1 2* 3 | AVSEQ02 | playing | ";
        QTest::newRow("continuous, not loop") << "loop t1 late tick" << "Pause Stop Close +loop | 1 2 3*" + both;
        QTest::newRow("file looped") << "loop drop late jam tick unjam tick" << "Pause Stop Close +loop | 1 2 3 | clip | playing | ";
        QTest::newRow("file ends") << "drop late tick" << stopped + "clip | stopped | ";
        QTest::newRow("file ends, then loop") << "drop late tick loop tick" << "Pause Stop Close +loop | 1 2 3 | clip | playing | ";
        QTest::newRow("file, end told first") << "loop drop end tick" << "Run Close Open PlayVCD (timer) +loop | 1 2 3 | clip | stopped | ";
        QTest::newRow("stopped by the user") << "t0 stop tick" << stopped + "AVSEQ01 | stopped | ";
        QTest::newRow("played again after the end") << "t0 late play stop" << "Run Close " + idle + "1* 2 3 | AVSEQ01 | stopped | ";
        QTest::newRow("paused after the end") << "t0 ended pause stop" << "Run Close " + idle + "1* 2 3 | AVSEQ01 | stopped | ";
        QTest::newRow("disc out while stopped") << "t0 stop eject tick" << idle + " | AVSEQ01 | closed | ";
        QTest::newRow("fall while loading") << "t0 loading end tick" << stopped + "AVSEQ01 | stopped | ";
        // The timer clears the marker only when idle, fits the window unless
        // minimised; a move over the picture fits it and hides slot buttons.
        QTest::newRow("tick paused") << "t1 pause tick" << "Run Stop Close (timer) | 1 2* 3 | AVSEQ02 | paused | ";
        QTest::newRow("grown") << "hover grow tick" << idle + "1 2 3^ |  | closed | ";
        QTest::newRow("grown, minimised") << "hover min grow tick" << idle + "1 2 3^ |  | closed unfitted | ";
        QTest::newRow("grown, then opened") << "grow open" << playing + "1 2 3 | clip | playing | ";
        QTest::newRow("grown, moved over") << "hover min grow move" << idle + "1 2 3 |  | closed | ";
        QTest::newRow("taller, moved over") << "taller move" << idle + "1 2 3 |  | closed | ";
        // A track that fails loses its colour; the shared last slot keeps it.
        const QString all = "1 2 3 4 5 6 7 8 9 ---", failed = " | stopped | Error : Cannot play this file";
        QTest::newRow("gives out from the list") << "disc15 f12 givesout error"
                                                 << "Run " + idle + all + " | AVSEQ13 | closed | " + bad;
        QTest::newRow("track fails") << "t0 openfails t1" << idle + "1 2! 3 | AVSEQ01 AVSEQ02" + failed;
        QTest::newRow("on to the 9th") << "disc15 t7 end" << playing + "1 2 3 4 5 6 7 8 9* --- | AVSEQ08 AVSEQ09 | playing | ";
        QTest::newRow("10th on") << "disc15 t3 f12 end" << playing + all + "* | AVSEQ04 AVSEQ13 AVSEQ14 | playing | ";
        QTest::newRow("10th on, closed") << "disc15 t3 f12 close" << idle + all + " | AVSEQ04 AVSEQ13 | closed | ";
        QTest::newRow("10th on fails") << "disc15 t3 openfails f12" << idle + all + "* | AVSEQ04 AVSEQ13" + failed;
        // Tracks of the disc in the drive, by any name, go on to the next.
        const QString file = stopped + "AVSEQ02 | stopped | ", track = playing + "1 2 3*" + both;
        QTest::newRow("as listed") << "as:listed end tick" << track;
        QTest::newRow("other letter case") << "as:case end tick" << track;
        QTest::newRow("Super Video CD") << "svcd as:listed end tick" << track;
        QTest::newRow("doubled slash") << "as:doubled end tick" << file;
        QTest::newRow("relative") << "as:relative end tick" << file;
        QTest::newRow("elsewhere") << "as:elsewhere end tick" << file;
        QTest::newRow("drive gone") << "nodrive as:listed end tick" << file;
        QTest::newRow("drive gone, Play Video CD") << "nodrive open vcd" << playing + "1* 2 3 | clip AVSEQ01 | playing | ";
        QTest::newRow("drive unreadable") << "unreadable as:listed end" << file;
        // The desktop's Next and Previous and the media keys step as the slots press; digits press a slot.
        QTest::newRow("next") << "t0 next" << next;
        QTest::newRow("media key next") << "t0 medianext" << next;
        QTest::newRow("previous") << "t2 previous" << playing + "1 2* 3 | AVSEQ03 AVSEQ02 | playing | ";
        QTest::newRow("none after the last") << "t2 next medianext" << playing + "1 2 3* | AVSEQ03 | playing | ";
        QTest::newRow("none before the first") << "t0 previous" << playing + "1* 2 3 | AVSEQ01 | playing | ";
        QTest::newRow("none for a file") << "open next" << playing + "1 2 3 | clip | playing | ";
        QTest::newRow("none once closed") << "t0 close next" << idle + "1 2 3 | AVSEQ01 | closed | ";
        QTest::newRow("next onto the 10th") << "disc15 t8 next" << playing + all + "* | AVSEQ09 AVSEQ10 | playing | ";
        QTest::newRow("media key stop") << "t0 mediastop tick" << stopped + "AVSEQ01 | stopped | ";
        QTest::newRow("media key play") << "t0 pause mediaplay" << playing + "1* 2 3 | AVSEQ01 | playing | ";
        QTest::newRow("digit") << "k2" << playing + "1 2* 3 | AVSEQ02 | playing | ";
        QTest::newRow("digit, no such track") << "k4" << idle + "1 2 3 |  | closed | ";
    }
    void steps()
    {
        QFETCH(QString, steps);
        QFETCH(QString, seen);
        FormRig rig;
        rig.form->Form_Load();
        rig.insertDisc(3);
        Form1 &f = *rig.form;
        const DesktopIntegration keys(f.remoteControls(), QDBusConnection("no bus"));
        FakeMediaPlayer &p = *rig.player;
        auto during = [&](std::function<void()> tell) {   // once, while a handler lets events run
            rig.platform.events.onPump = [&p, tell, once = true]() mutable {
                if (p.PlayState() == MediaPlayer::Stopped && std::exchange(once, false))
                    tell();
            };
        };
        auto open = [&](const QString &path) { rig.platform.openDialog.answer = path, f.mnuOpen->trigger(); };
        const QMap<QString, std::function<void()>> does{
            {"pause!", [&] { f.mnuPause_Click(); }}, {"quiet", [&] { p.quiet = true; }},   // "!": the item greyed
            {"later", [&] { p.later = true; }}, {"loud", [&] { p.quiet = false; }}, {"open", [&] { open("/media/clip.mpg"); }},
            {"action", [&] { emit f.mnuAction->aboutToShow(); }}, {"closes", [&] { p.setPlayState(MediaPlayer::Closed); }},
            {"more", [&] { f.Lbl1_MouseMove(9), whenModal([](Form2 *) {}), rig.playTrack(9); }}, {"vcd", [&] { f.mnuPlayVCD_Click(); }},
            {"taller", [&] { f.client->setFixedHeight(f.client->height() + 10); }}, {"tick", [&] { f.Timer1_Timer(); }},
            {"play", [&] { f.mnuRun->trigger(); }}, {"pause", [&] { f.mnuPause->trigger(); }},
            {"stop", [&] { f.mnuStop->trigger(); }}, {"close", [&] { f.mnuClose->trigger(); }},
            {"loop", [&] { f.mnuLoop->trigger(); }}, {"cont", [&] { f.mnuContinuousPlay->trigger(); }},
            {"full", [&] { f.mnuFullScreen->trigger(); }}, {"min", [&] { f.setWindowState(Qt::WindowMinimized); }},
            {"drop", [&] { QMimeData d; d.setUrls({QUrl::fromLocalFile("/media/clip.mpg")}), f.Form_OLEDragDrop(&d); }},
            {"hover", [&] { f.Lbl1_MouseMove(2); }}, {"move", [&] { emit p.MouseMove(0, 0, 10, 10); }},
            {"grow", [&] { p.setVideoSize({400, 300}); }}, {"menu", [&] { f.mnuFile_Click(); }},
            // The end told before or after the fall to stopped, during it, or alone.
            {"end", [&] { p.finishMedium(End::EndThenStop); }}, {"late", [&] { p.finishMedium(End::StopThenEnd); }},
            {"queued", [&] { during([&] { emit p.EndOfStream(0); }), p.setPlayState(MediaPlayer::Stopped); }},
            {"ended", [&] { emit p.EndOfStream(0); }}, {"errsonclose", [&] { during([&] { p.raiseError("Stream closed"); }); }},
            {"error", [&] { p.raiseError("Bad data"); }}, {"warning", [&] { emit p.Warning(3, 42, "Codec missing"); }},
            {"loading", [&] { p.readyState = MediaPlayer::Loading; }}, {"unloaded", [&] { p.readyState = MediaPlayer::NothingLoaded; }},
            {"givesout", [&] { p.setPlayState(MediaPlayer::Stopped), p.setFileName(QString()); }},
            {"openfails", [&] { p.openError = "Cannot play this file"; }}, {"jam", [&] { p.playFails = true; }},
            {"unjam", [&] { p.playFails = false; }}, {"nodrive", [&] { rig.platform.drives.entries.clear(); }},
            {"eject", [&] { rig.platform.cdAudio.statusReply = "false"; }},
            {"unreadable", [&] { rig.platform.files.probeErrors.insert(rig.disc.path("Mpegav")); }},
            {"svcd", [&] { QDir(rig.disc.path()).rename("Mpegav", "Mpegsav"), rig.scan(); }},
            {"disc15", [&] { rig.disc.addTracks("Mpegav", 15), rig.scan(); }},
            {"as:listed", [&] { open(rig.track(1)); }}, {"as:case", [&] { open(rig.track(1).toUpper()); }},
            {"as:doubled", [&] { open(rig.track(1).replace("/AVSEQ", "//AVSEQ")); }},
            {"as:relative", [&] { open(QDir::current().relativeFilePath(rig.track(1))); }},
            {"as:elsewhere", [&] { open("/tmp/AVSEQ02.DAT"); }},
            {"next", [&] { f.NextTrack->trigger(); }}, {"previous", [&] { f.PreviousTrack->trigger(); }},
            {"medianext", [&] { QTest::keyClick(&p, Qt::Key_MediaNext); }},
            {"mediastop", [&] { QTest::keyClick(&p, Qt::Key_MediaStop); }},
            {"mediaplay", [&] { QTest::keyClick(&p, Qt::Key_MediaPlay); }}};
        for (const QString &step : steps.split(' ')) {
            if (QRegularExpression("^k\\d$").match(step).hasMatch())
                QTest::keyClick(&p, Qt::Key(Qt::Key_0 + step.mid(1).toInt()));
            else if (QRegularExpression("^[tf]\\d+$").match(step).hasMatch())
                step[0] == 't' ? rig.playTrack(step.mid(1).toInt()) : f.PlayFile(rig.track(step.mid(1).toInt()));
            else if (does.contains(step))
                does[step]();
            else
                QFAIL(qPrintable("no such step: " + step));
        }
        rig.platform.events.onPump = nullptr;
        QCOMPARE(::seen(rig), seen);
    }

    // After every change of state the component's own controls come back, its status line but in full
    // screen; a medium unloaded leaves the caption the window has when nothing is loaded.
    void controlsAndCaption()
    {
        FormRig rig;
        FakeMediaPlayer &p = *rig.player;
        rig.form->Form_Load();
        rig.platform.openDialog.answer = "/media/clip.mpg";
        rig.form->mnuOpen->trigger();
        rig.form->mnuFullScreen->trigger();
        p.viewOptions.clear();
        rig.form->mnuPause->trigger();
        QCOMPARE(p.viewOptions, (QMap<int, bool>{{23, true}, {26, true}, {1025, true}, {1107, true}, {1108, true}}));
        rig.form->mnu200->trigger();
        rig.form->mnuRun->trigger();
        QVERIFY(p.ViewOption(MediaPlayer::ViewStatusLine));
        rig.form->mnuClose->trigger();
        QCOMPARE(rig.form->windowTitle(), " Tavero Player v3.0 ");
    }

    // Only local files are taken, the first of several, played once the drop
    // has returned to the program it came from; the caption names it.
    void drops()
    {
        FormRig rig;
        QMimeData text, web, local;
        text.setText("/media/clip.mpg");
        web.setUrls({QUrl("https://example.org/clip.mpg")});
        local.setUrls({QUrl::fromLocalFile("/Media/A b.MPG"), QUrl::fromLocalFile("/media/b.mpg")});
        auto send = [&](QDropEvent &&e) { return QCoreApplication::sendEvent(rig.form.get(), &e), e.isAccepted(); };
        auto enter = [&](auto *d) { return send(QDragEnterEvent({5, 5}, Qt::CopyAction, d, Qt::LeftButton, {})); };
        auto drop = [&](auto *d) { return send(QDropEvent({5, 5}, Qt::CopyAction, d, Qt::LeftButton, {})); };
        QCOMPARE(QList({enter(&text), enter(&web)}), QList({false, false}));
        QCOMPARE(QList({enter(&local), drop(&text)}), QList({true, false}));   // turned to text on the way
        rig.form->Form_OLEDragDrop(&web);
        QCOMPARE(QList({enter(&local), drop(&local), rig.opened().isEmpty()}), QList({true, true, true}));
        QTRY_COMPARE(rig.opened(), QStringList{"/Media/A b.MPG"});
        QCOMPARE(rig.form->windowTitle(), "Tavero : /media/a b.mpg");
    }
};

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
