// The libmpv component headless (offscreen Qt, mpv's null outputs).
#include "support/FormRig.h"

#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QToolButton>
#include <unistd.h>

using namespace tavero;
using namespace tavero::test;
using Signals = QList<QList<QVariant>>;

class TestMpvPlayer : public QObject {
    Q_OBJECT
private slots:
    // The fall to stopped is told, and its handler (which lets events run like the window's) has returned, before the
    // end is: loop and continuous play rest on that. A file cut as it plays falls to stopped too, closes, tells why;
    // one cut before just ends.
    void endings()
    {
        MpvPlayer player;
        QStringList told;
        connect(&player, &MediaPlayer::PlayStateChange, this, [&](int from, int to) {
            told << QStringLiteral("%1>%2").arg(from).arg(to);
            QCoreApplication::processEvents();
            told << "done";
        });
        connect(&player, &MediaPlayer::EndOfStream, this, [&] { told << "end"; });
        connect(&player, &MediaPlayer::Error, this, [&] { told << "error"; });
        player.setSpeed(4);
        QVERIFY(player.Open(TestMedia::vcdTrack(1.0)));
        for (const QStringList &start : {QStringList{"6>2", "done"}, QStringList{"0>2", "done"}}) {
            QVERIFY(start[0] == "6>2" || (player.Play() && player.CurrentPosition() < 0.5));   // from the start again
            QTRY_VERIFY_WITH_TIMEOUT(told.contains("end"), 15000);
            QCOMPARE(told, start + QStringList({"2>0", "done", "end"}));
            QCOMPARE(player.ReadyState(), int(MediaPlayer::Loaded));
            told.clear();
        }
        // Another file opened by that handler: the old one's end is not told.
        connect(&player, &MediaPlayer::PlayStateChange, this, [&](int from, int to) {
            if (from == 2 && to == 0 && player.FileName() == TestMedia::vcdTrack(1.0))
                QVERIFY(player.Open(TestMedia::truncatedClip(0.5)));
        });
        QVERIFY(player.Play());
        QTRY_VERIFY_WITH_TIMEOUT(told.contains("end"), 15000);
        QCOMPARE(told.mid(told.indexOf(QRegularExpression("end|error"))), QStringList{"end"});

        QTemporaryDir tmp;
        const QString cut = tmp.filePath("cut.mpg");
        QVERIFY(QFile::copy(TestMedia::mpegClip(4.0), cut));
        player.setSpeed(2);
        QVERIFY(player.Open(cut));
        QTRY_VERIFY_WITH_TIMEOUT(player.CurrentPosition() > 0.2, 10000);
        QVERIFY(QFile::resize(cut, QFileInfo(cut).size() / 5));
        told.clear();
        QTRY_VERIFY_WITH_TIMEOUT(told.contains("error"), 15000);
        QCOMPARE(told, (QStringList{"2>0", "done", "0>6", "done", "error"}));
        QCOMPARE(player.ErrorDescription().replace(QRegularExpression(" at \\S+:"), " at T:"),
                 "Playback of \"" + cut + "\" broke off at T: the file changed while it played.");
        QVERIFY(player.Open(TestMedia::mpegClip(1.0)));
    }

    // Only existing, readable, non-empty media files open, by the name given;
    // a failure names the file and why, and leaves nothing loaded.
    void opensOnlyMediaFiles()
    {
        QTemporaryDir tmp;
        const QString gone = tmp.filePath("gone.mpg"), locked = tmp.filePath("locked.mpg");
        QList<QPair<QString, QString>> bad{{gone, "there is no such file"}, {tmp.path(), "it is a folder"},
                                           {TestMedia::randomBytes(), "it is not a recognised media format"},
                                           {TestMedia::emptyFile(), "the file is empty"}};
        QVERIFY(QFile::copy(TestMedia::mpegClip(1.0), locked));
        if (QFile::setPermissions(locked, QFileDevice::WriteOwner) && !QFile(locked).open(QIODevice::ReadOnly))
            bad.append({locked, "it cannot be read"});   // root reads it anyway
        MpvPlayer player;
        QSignalSpy errors(&player, &MediaPlayer::Error);
        for (const auto &[path, reason] : bad) {
            QVERIFY(player.Open(TestMedia::mpegClip(1.0)));
            QSignalSpy states(&player, &MediaPlayer::PlayStateChange);
            QString error;
            QVERIFY2(!player.Open(path, &error), qPrintable(path));
            QVERIFY2(error.startsWith("Cannot open \"" + path + "\": " + reason), qPrintable(error));
            QCOMPARE(Signals(states), (Signals{{2, 6}}));
        }
        QCOMPARE(errors.count(), 0);   // the call's own failure: no Error on top
        QVERIFY(!player.Play() && player.Stop());   // nothing to play, and stopping nothing is no failure
        player.setFileName(gone);   // with no return value to fail by, it raises Error
        QCOMPARE(errors.count(), 1);

        // Names mpv would take for a source, an option or standard input are
        // files in the current folder, or nothing; playlists are not followed.
        const QString home = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tmp.path()) && QDir().mkpath("av:") && QDir().mkpath("lavfi:"));
        for (const QString name : {"av://lavfi:testsrc", "http:x", "--help", "-", "lavfi://testsrc"}) {
            QString error;
            QVERIFY2(!player.Open(name, &error) && error.contains("no such file"), qPrintable(name));
            QVERIFY(QFile::copy(TestMedia::mpegClip(1.0), name) && player.Open(name));
            QCOMPARE(player.FileName(), QDir::cleanPath(tmp.filePath(name)));
            QCOMPARE(player.videoSize(), QSize(352, 288));
        }
        QFile list("list.m3u");
        QVERIFY(list.open(QIODevice::WriteOnly) && list.write("#EXTM3U\n--help\n") > 0 && list.flush());
        QVERIFY(!player.Open("list.m3u"));
        QDir::setCurrent(home);
    }

    // Pause holds the place; keys and buttons drive it; the readout gives the time. View options show their parts;
    // with AutoSize the component is the picture at 50, 100 or 200 % and its bars, or compact with no picture.
    void transportAndSizes()
    {
        MpvPlayer player;
        player.setAutoSize(true);
        player.show();
        QSignalSpy states(&player, &MediaPlayer::PlayStateChange);
        QVERIFY(player.Open(TestMedia::mpegClip(4.0)));
        QTRY_VERIFY_WITH_TIMEOUT(player.CurrentPosition() > 0.3, 10000);
        QTest::keyClick(&player, Qt::Key_Space);
        QTest::qWait(300);   // the times told before the pause
        const double held = player.CurrentPosition();
        QTest::qWait(300);
        QCOMPARE(player.CurrentPosition(), held);
        QTest::keyClick(&player, Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(player.CurrentPosition() > held + 0.1, 10000);
        player.findChild<QToolButton *>("stopButton")->click();
        QTRY_VERIFY(player.CurrentPosition() < 0.1);
        QCOMPARE(QList({player.Stop(), player.Pause()}), QList({true, true}));   // each changes nothing now
        player.findChild<QToolButton *>("playButton")->click();
        QTest::keyClick(&player, Qt::Key_Space);
        QTest::keyClick(&player, Qt::Key_Right);
        QTRY_VERIFY(player.CurrentPosition() >= 3.0);
        const QString time = player.findChild<QLabel *>("timeLabel")->text();
        QVERIFY2(QRegularExpression("^0:0[34] / 0:0[34]$").match(time).hasMatch(), qPrintable(time));
        QTest::keyClick(&player, Qt::Key_Left);
        QTRY_VERIFY(player.CurrentPosition() < 1.0);
        QCOMPARE(Signals(states), (Signals{{6, 2}, {2, 1}, {1, 2}, {2, 0}, {0, 2}, {2, 1}}));

        const QList<QStringList> parts{{"playButton", "stopButton"}, {"seekBar"}, {"muteButton", "volumeSlider"},
                                       {"statusLine"}, {"timeLabel"}};
        const int ids[] = {23, 26, 1025, 1086, 1108};
        for (int i = 0; i < 5; ++i) {
            player.setViewOption(ids[i], true);
            for (const QStringList &names : parts)
                for (const QString &name : names)
                    QCOMPARE(player.findChild<QWidget *>(name)->isVisibleTo(&player), names == parts[i]);
            player.setViewOption(ids[i], false);
        }
        QCOMPARE(player.size(), QSize(352, 288));
        player.setViewOption(23, true), player.setViewOption(1086, true);   // two bars
        const QSize bars(0, player.height() - 288);
        for (const auto &[size, scale] : {std::pair{1, 0.5}, {2, 2.0}, {0, 1.0}}) {
            player.setDisplaySize(size);
            QCOMPARE(player.videoArea()->size(), QSize(352, 288) * scale);
            QCOMPARE(player.size(), QSize(352, 288) * scale + bars);
        }
        player.setDisplaySize(3);
        QVERIFY(!player.findChild<QWidget *>("video"));
        QCOMPARE(player.size(), QSize(352, 288) + bars);
        QTest::keyClick(player.fullScreenWindow(), Qt::Key_Escape);
        QCOMPARE(std::pair(player.DisplaySize(), bool(player.findChild<QWidget *>("video"))), std::pair(0, true));
        QContextMenuEvent click(QContextMenuEvent::Mouse, {5, 5}, player.mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(player.videoArea(), &click);   // no menu unless 1107 is on
        QVERIFY(!player.contextMenu()->isVisible());
        player.ShowDialog(3);
        QTRY_VERIFY(player.contextMenu()->isVisible());
        player.ShowDialog(0);
        QTRY_VERIFY(player.findChild<QWidget *>("playerHelp")->isVisible());
        QVERIFY(player.Open(TestMedia::audioOnly(1.0)));
        QCOMPARE(player.size(), QSize(286, 253));
    }

    // C steps through Stereo, Left and Right: the one channel on both speakers, for this file and the next
    // and in the menu; measured in what the component writes out.
    void audioChannels_data()
    {
        QTest::addColumn<int>("presses");
        QTest::addColumn<QList<int>>("tones");
        QTest::newRow("stereo") << 0 << QList{440, 660};
        QTest::newRow("left") << 1 << QList{440, 440};
        QTest::newRow("right") << 2 << QList{660, 660};
        QTest::newRow("stereo again") << 3 << QList{440, 660};
    }
    void audioChannels()
    {
        QFETCH(int, presses);
        QFETCH(QList<int>, tones);
        QTemporaryDir tmp;
        MpvPlayer player;
        player.writeSoundTo(tmp.filePath("out.wav"));
        for (int i = 0; i < presses; ++i)
            QTest::keyClick(&player, Qt::Key_C);
        for (int file = 0; file < 2; ++file) {
            QVERIFY(player.Open(TestMedia::karaokeClip(1.0)));
            QTRY_COMPARE_WITH_TIMEOUT(player.PlayState(), int(MediaPlayer::Stopped), 15000);
            QCOMPARE(TestMedia::tones(tmp.filePath("out.wav")), tones);
        }
        emit player.contextMenu()->aboutToShow();
        QVERIFY(player.findChild<QMenu *>("channels")->actions()[presses % 3]->isChecked());
    }

    // A damaged clip has mpv complain about every frame: a user who started
    // the program from a terminal reads each complaint once, and not many.
    void complaintsOnStandardError()
    {
        QTemporaryDir tmp;
        QFile in(TestMedia::mpegClip(4.0)), out(tmp.filePath("damaged.mpg"));
        QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
        QByteArray bytes = in.readAll();
        for (qsizetype at = bytes.size() / 10; at + 256 < bytes.size(); at += 4096)
            bytes.replace(at, 256, QByteArray(256, char(at * 7919 / 4096)));
        QVERIFY(out.write(bytes) == bytes.size() && out.flush());
        QTemporaryFile err;
        QVERIFY(err.open());
        const int terminal = ::dup(2);
        ::dup2(err.handle(), 2);
        {
            MpvPlayer player;
            player.setSpeed(4);
            QCOMPARE(QList({player.Open(TestMedia::randomBytes()), player.Open(out.fileName())}), QList({false, true}));
            QTRY_VERIFY_WITH_TIMEOUT(player.PlayState() != MediaPlayer::Playing, 20000);
        }
        std::fflush(stderr);
        ::dup2(terminal, 2);
        ::close(terminal);
        QVERIFY(err.seek(0));
        const QStringList lines = QString::fromUtf8(err.readAll()).split('\n').filter("tavero-player: mpv: ");
        QVERIFY2(lines.contains("tavero-player: mpv: Failed to recognize file format."), qPrintable(lines.join('\n')));
        QVERIFY2(lines.size() > 2 && lines.size() <= 2 + MpvLog::kMaxLines, qPrintable(lines.join('\n')));
        QCOMPARE(QSet<QString>(lines.begin(), lines.end()).size(), lines.size());
    }

    // A disc menu's item: from its start for its length, then held where it ended, still playing;
    // the file after it plays as usual.
    void menuItem()
    {
        MpvPlayer player(MpvPlayer::Output::Headless);
        player.setSpeed(4);
        QSignalSpy ended(&player, &MediaPlayer::MenuItemEnded), end(&player, &MediaPlayer::EndOfStream);
        player.cueMenuItem({1.0, 1.0});
        QVERIFY(player.Open(TestMedia::mpegClip(4.0)));
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
        QTRY_VERIFY2(qAbs(player.CurrentPosition() - 2.0) < 0.3, qPrintable(QString::number(player.CurrentPosition())));
        QCOMPARE(player.PlayState(), int(MediaPlayer::Playing));
        QVERIFY(player.Open(TestMedia::mpegClip(1.0)));
        QTRY_COMPARE_WITH_TIMEOUT(end.size(), 1, 10000);
        QCOMPARE(ended.size(), 1);
    }
};

QTEST_MAIN(TestMpvPlayer)
#include "tst_mpvplayer.moc"
