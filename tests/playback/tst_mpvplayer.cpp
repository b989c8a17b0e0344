// WMP1 on libmpv, headless (offscreen Qt, mpv's null outputs).
#include "playback/MpvPlayer.h"
#include "support/TestMedia.h"

#include <QAbstractSlider>
#include <QRandomGenerator>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <unistd.h>

using namespace tavero;
using namespace tavero::test;

class TestMpvPlayer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void playsToTheEndInOrder();
    void pauseStopAndPlayAgain();
    void unloads();
    void displaySizes();
    void openFailures();
    void namesAreOnlyFiles();
    void brokenStream();
    void complaintsOnStandardError();
    void viewOptionsShowTheirParts();
    void keysAndMouse();
    void destroyedWhilePlaying();
};

namespace {

struct Log : QObject {
    QStringList events;
    explicit Log(MpvPlayer &p)
    {
        connect(&p, &MediaPlayer::PlayStateChange, this, [this](int o, int n) {
            events << QStringLiteral("play %1>%2").arg(o).arg(n);
            // Form1's handler lets events run in its middle.
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
            events << QStringLiteral("play done");
        });
        connect(&p, &MediaPlayer::ReadyStateChange, this,
                [this](int r) { events << QStringLiteral("ready %1").arg(r); });
        connect(&p, &MediaPlayer::EndOfStream, this, [this](int r) { events << QStringLiteral("end %1").arg(r); });
        connect(&p, &MediaPlayer::Error, this, [this] { events << QStringLiteral("error"); });
    }
};

} // namespace

void TestMpvPlayer::initTestCase()
{
    // Make the clips up front, outside any wait.
    QVERIFY(QFile::exists(TestMedia::mpegClip(1.0)));
    QVERIFY(QFile::exists(TestMedia::mpegClip(4.0)));
    QVERIFY(QFile::exists(TestMedia::vcdTrack(1.0)));
    QVERIFY(QFile::exists(TestMedia::audioOnly(1.0)));
}

void TestMpvPlayer::playsToTheEndInOrder()
{
    MpvPlayer player;
    QVERIFY(player.isHeadless());
    QCOMPARE(player.PlayState(), int(MediaPlayer::Closed));
    QCOMPARE(player.ReadyState(), int(MediaPlayer::NothingLoaded));
    Log log(player);
    player.setSpeed(4);

    QString error;
    QVERIFY2(player.Open(TestMedia::vcdTrack(1.0), &error), qPrintable(error));
    QCOMPARE(player.FileName(), TestMedia::vcdTrack(1.0));
    QCOMPARE(player.PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(player.ReadyState(), int(MediaPlayer::Loaded));
    QCOMPARE(log.events, (QStringList{"ready 1", "ready 4", "play 6>2", "play done"}));
    log.events.clear();

    QTRY_VERIFY_WITH_TIMEOUT(log.events.contains("end 0"), 15000);
    // The fall to stopped is reported, its handler returns, then the end.
    QCOMPARE(log.events, (QStringList{"play 2>0", "play done", "end 0"}));
    QCOMPARE(player.PlayState(), int(MediaPlayer::Stopped));
    QCOMPARE(player.ReadyState(), int(MediaPlayer::Loaded));

    // Play after the end starts from the beginning, and ends again.
    log.events.clear();
    QVERIFY(player.Play());
    QCOMPARE(player.PlayState(), int(MediaPlayer::Playing));
    QVERIFY(player.CurrentPosition() < 0.5);
    QTRY_VERIFY_WITH_TIMEOUT(log.events.contains("end 0"), 15000);
    QCOMPARE(log.events, (QStringList{"play 0>2", "play done", "play 2>0", "play done", "end 0"}));

    // A new Open from inside the stopped handler (continuous play): the
    // old medium's end is not reported after the new one has started.
    log.events.clear();
    QVERIFY(player.Play());
    bool reopened = false;
    auto c = connect(&player, &MediaPlayer::PlayStateChange, this, [&](int o, int n) {
        if (o == 2 && n == 0 && !reopened) {
            reopened = true;
            QVERIFY(player.Open(TestMedia::mpegClip(1.0)));
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(reopened, 15000);
    disconnect(c);
    QCOMPARE(player.PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(player.FileName(), TestMedia::mpegClip(1.0));
    QTRY_VERIFY_WITH_TIMEOUT(log.events.contains("end 0"), 15000);
    QCOMPARE(log.events.count("end 0"), 1);
    QCOMPARE(log.events.last(), QStringLiteral("end 0"));
}

void TestMpvPlayer::pauseStopAndPlayAgain()
{
    MpvPlayer player;
    QSignalSpy states(&player, &MediaPlayer::PlayStateChange);
    QVERIFY(player.Open(TestMedia::mpegClip(4.0)));
    QTRY_VERIFY_WITH_TIMEOUT(player.CurrentPosition() > 0.3, 10000);

    QVERIFY(player.Pause());
    QCOMPARE(player.PlayState(), int(MediaPlayer::Paused));
    QTest::qWait(300);
    const double held = player.CurrentPosition();
    QTest::qWait(300);
    QCOMPARE(player.CurrentPosition(), held);
    QVERIFY(player.Play());
    QCOMPARE(player.PlayState(), int(MediaPlayer::Playing));
    QTRY_VERIFY_WITH_TIMEOUT(player.CurrentPosition() > held + 0.1, 10000);

    QVERIFY(player.Stop());
    QCOMPARE(player.PlayState(), int(MediaPlayer::Stopped));
    QCOMPARE(player.ReadyState(), int(MediaPlayer::Loaded));
    QTRY_VERIFY_WITH_TIMEOUT(player.CurrentPosition() < 0.1, 5000);
    QVERIFY(player.Stop());  // stopping twice changes nothing
    QVERIFY(player.Pause()); // nor does pausing a stopped medium
    QCOMPARE(player.PlayState(), int(MediaPlayer::Stopped));

    QVERIFY(player.Play());
    QTRY_VERIFY_WITH_TIMEOUT(player.CurrentPosition() > 0.2, 10000);
    QVERIFY(player.CurrentPosition() < 3.0);

    QList<QPair<int, int>> seen;
    for (const auto &args : states)
        seen << qMakePair(args.at(0).toInt(), args.at(1).toInt());
    QCOMPARE(seen, (QList<QPair<int, int>>{{6, 2}, {2, 1}, {1, 2}, {2, 0}, {0, 2}}));
}

void TestMpvPlayer::unloads()
{
    MpvPlayer player;
    QVERIFY(player.Open(TestMedia::mpegClip(4.0)));
    QSignalSpy states(&player, &MediaPlayer::PlayStateChange);
    QSignalSpy ready(&player, &MediaPlayer::ReadyStateChange);
    player.setFileName(QString());
    QCOMPARE(player.PlayState(), int(MediaPlayer::Closed));
    QCOMPARE(player.ReadyState(), int(MediaPlayer::NothingLoaded));
    QCOMPARE(player.FileName(), QString());
    QCOMPARE(states.count(), 1);
    QCOMPARE(states.at(0), (QList<QVariant>{2, 6}));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(ready.at(0).at(0).toInt(), 0);

    QString error;
    QVERIFY(!player.Play(&error));
    QVERIFY(!error.isEmpty());
    QVERIFY(player.Stop());
    QTest::qWait(200);
    QCOMPARE(player.PlayState(), int(MediaPlayer::Closed));

    // Writing a path opens it.
    player.setFileName(TestMedia::mpegClip(1.0));
    QCOMPARE(player.PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(player.FileName(), TestMedia::mpegClip(1.0));
}

void TestMpvPlayer::displaySizes()
{
    MpvPlayer player;
    player.setAutoSize(true);
    player.setViewOption(MpvPlayer::ViewTransport, true);
    player.setViewOption(MpvPlayer::ViewStatusLine, true);
    QCOMPARE(player.size(), QSize(286, 253));
    QVERIFY(player.Open(TestMedia::mpegClip(4.0)));
    QCOMPARE(player.videoSize(), QSize(352, 288));
    const int bars = player.height() - player.videoArea()->height();
    QVERIFY(bars > 10);

    const struct {
        int size;
        double scale;
    } cases[] = {{1, 0.5}, {0, 1.0}, {2, 2.0}};
    for (const auto &c : cases) {
        player.setDisplaySize(c.size);
        QCOMPARE(player.DisplaySize(), c.size);
        const QSize video(int(352 * c.scale), int(288 * c.scale));
        QCOMPARE(player.videoArea()->size(), video);
        QCOMPARE(player.Width(), float(video.width() * 15));
        QCOMPARE(player.Height(), float((video.height() + bars) * 15));
    }

    // Bars switched off shrink the component at once.
    player.setDisplaySize(0);
    player.setViewOption(MpvPlayer::ViewStatusLine, false);
    QVERIFY(player.height() < 288 + bars);
    QCOMPARE(player.videoArea()->size(), QSize(352, 288));
    player.setViewOption(MpvPlayer::ViewStatusLine, true);

    // Full screen: the picture alone in its own window; the component
    // keeps its default size. Esc and a double click leave it.
    player.setDisplaySize(3);
    QVERIFY(player.fullScreenWindow());
    QCOMPARE(player.Width(), float(352 * 15));
    QCOMPARE(player.Height(), float((288 + bars) * 15));
    QTest::keyClick(player.fullScreenWindow(), Qt::Key_Escape);
    QCOMPARE(player.DisplaySize(), 0);
    QTRY_VERIFY(!player.fullScreenWindow());
    player.setDisplaySize(3);
    QWidget *picture = player.findChild<QWidget *>("video", Qt::FindChildrenRecursively);
    QVERIFY(!picture); // it moved
    picture = player.fullScreenWindow()->findChild<QWidget *>("video");
    QVERIFY(picture);
    QTest::mouseDClick(picture, Qt::LeftButton);
    QCOMPARE(player.DisplaySize(), 0);
    QVERIFY(player.findChild<QWidget *>("video"));

    // Sound only, and nothing: the compact size.
    QVERIFY(player.Open(TestMedia::audioOnly(1.0)));
    QCOMPARE(player.size(), QSize(286, 253));
    player.setDisplaySize(2);
    QCOMPARE(player.size(), QSize(286, 253));
    QVERIFY(player.Open(TestMedia::mpegClip(1.0)));
    QCOMPARE(player.videoArea()->size(), QSize(704, 576));
    player.setFileName(QString());
    QCOMPARE(player.size(), QSize(286, 253));
}

void TestMpvPlayer::openFailures()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    MpvPlayer player;
    QSignalSpy errors(&player, &MediaPlayer::Error);

    const QString missing = tmp.filePath("no-such-clip.mpg");
    struct Case {
        QString path;
        QString reason;
    };
    QList<Case> cases{{missing, "no such file"},
                      {tmp.path(), "folder"},
                      {TestMedia::randomBytes(), "not a recognised media format"},
                      {TestMedia::emptyFile(), "empty"}};
    if (::geteuid() != 0) {
        const QString locked = tmp.filePath("locked.mpg");
        QVERIFY(QFile::copy(TestMedia::mpegClip(1.0), locked));
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        cases.append({locked, "cannot be read"});
    }
    for (const Case &c : cases) {
        // Something plays before: a failed Open leaves nothing loaded.
        QVERIFY(player.Open(TestMedia::mpegClip(1.0)));
        QSignalSpy states(&player, &MediaPlayer::PlayStateChange);
        QString error;
        QVERIFY2(!player.Open(c.path, &error), qPrintable(c.path));
        QVERIFY2(error.contains(QDir::cleanPath(c.path)), qPrintable(error));
        QVERIFY2(error.contains(c.reason), qPrintable(error));
        QCOMPARE(player.ErrorDescription(), error);
        QCOMPARE(player.PlayState(), int(MediaPlayer::Closed));
        QCOMPARE(player.ReadyState(), int(MediaPlayer::NothingLoaded));
        QCOMPARE(player.FileName(), QString());
        QCOMPARE(states.count(), 1);
        QCOMPARE(states.at(0), (QList<QVariant>{2, 6}));
    }
    // The failure is the call's own; no Error event on top.
    QCOMPARE(errors.count(), 0);
    // Writing a bad FileName has no return value: it raises Error.
    player.setFileName(missing);
    QCOMPARE(errors.count(), 1);
    QVERIFY(player.ErrorDescription().contains(missing));
    if (::geteuid() == 0)
        QSKIP("Running as root: every file is readable, the unreadable case is not tried");
}

void TestMpvPlayer::namesAreOnlyFiles()
{
    // Names that mpv would read as a source or an option, relative to the
    // current folder: they are files there, or nothing.
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tmp.path()));
    MpvPlayer player;
    const QStringList names{"av://lavfi:testsrc", "http:x", "--help", "-", "lavfi://testsrc"};
    for (const QString &name : names) {
        QString error;
        QVERIFY2(!player.Open(name, &error), qPrintable(name));
        QVERIFY2(error.contains("no such file"), qPrintable(error));
        QCOMPARE(player.PlayState(), int(MediaPlayer::Closed));
    }
    // Made into files, they open as those files.
    QVERIFY(QDir().mkpath("av:") && QDir().mkpath("lavfi:"));
    for (const QString &name : names) {
        QFile::remove(name);
        QVERIFY2(QFile::copy(TestMedia::mpegClip(1.0), name), qPrintable(name));
        QString error;
        QVERIFY2(player.Open(name, &error), qPrintable(error));
        QCOMPARE(player.FileName(), QDir::cleanPath(tmp.filePath(name)));
        QCOMPARE(player.videoSize(), QSize(352, 288));
    }
    // A playlist is not followed to what it names.
    QFile list("list.m3u");
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("#EXTM3U\n--help\n");
    list.close();
    QString error;
    QVERIFY(!player.Open("list.m3u", &error));
    QCOMPARE(player.PlayState(), int(MediaPlayer::Closed));
    QDir::setCurrent(before);
}

void TestMpvPlayer::brokenStream()
{
    // A file cut short before it is played is still a medium: it just ends.
    {
        MpvPlayer player;
        player.setSpeed(4);
        Log log(player);
        QVERIFY(player.Open(TestMedia::truncatedClip(0.5)));
        QTRY_VERIFY_WITH_TIMEOUT(log.events.contains("end 0"), 15000);
        QVERIFY(!log.events.contains("error"));
    }
    // The stream breaking off while it plays (a disc taken out): Error.
    QTemporaryDir tmp;
    const QString copy = tmp.filePath("breaking.mpg");
    QVERIFY(QFile::copy(TestMedia::mpegClip(4.0), copy));
    MpvPlayer player;
    player.setSpeed(2);
    Log log(player);
    QVERIFY(player.Open(copy));
    QTRY_VERIFY_WITH_TIMEOUT(player.CurrentPosition() > 0.2, 10000);
    QVERIFY(QFile::resize(copy, QFileInfo(copy).size() / 5));
    QTRY_VERIFY_WITH_TIMEOUT(log.events.contains("error"), 15000);
    QVERIFY(!log.events.contains("end 0"));
    QVERIFY2(player.ErrorDescription().contains(copy), qPrintable(player.ErrorDescription()));
    QVERIFY2(player.ErrorDescription().contains("changed"), qPrintable(player.ErrorDescription()));
    QCOMPARE(player.PlayState(), int(MediaPlayer::Closed));
    QCOMPARE(player.ReadyState(), int(MediaPlayer::NothingLoaded));
    // The component is still usable.
    QVERIFY(player.Open(TestMedia::mpegClip(1.0)));
}

void TestMpvPlayer::complaintsOnStandardError()
{
    // A clip with garbage in it: the decoder complains about every frame.
    QTemporaryDir tmp;
    const QString damaged = tmp.filePath("damaged.mpg");
    QFile in(TestMedia::mpegClip(4.0)), out(damaged);
    QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
    QByteArray bytes = in.readAll();
    QRandomGenerator rng(7);
    for (qsizetype at = bytes.size() / 10; at + 256 < bytes.size(); at += 4096)
        for (int i = 0; i < 256; ++i)
            bytes[at + i] = char(rng.bounded(256));
    out.write(bytes);
    out.close();

    // What a user who started the program from a terminal reads.
    QTemporaryFile err;
    QVERIFY(err.open());
    std::fflush(stderr);
    const int terminal = ::dup(2);
    ::dup2(err.handle(), 2);
    {
        MpvPlayer player;
        player.setSpeed(4);
        Log log(player);
        QVERIFY(!player.Open(TestMedia::randomBytes()));
        QVERIFY(player.Open(damaged));
        QTRY_VERIFY_WITH_TIMEOUT(log.events.contains("end 0") || log.events.contains("error"), 20000);
    }
    std::fflush(stderr);
    ::dup2(terminal, 2);
    ::close(terminal);
    QFile written(err.fileName());
    QVERIFY(written.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(written.readAll()).split(QLatin1Char('\n'));
    lines = lines.filter(QRegularExpression(QStringLiteral("^tavero-player: mpv: ")));
    QVERIFY2(lines.contains("tavero-player: mpv: Failed to recognize file format."), qPrintable(lines.join('\n')));
    QVERIFY2(lines.size() > 2 && lines.size() <= 2 + MpvLog::kMaxLines, qPrintable(lines.join('\n')));
    QCOMPARE(QSet<QString>(lines.begin(), lines.end()).size(), lines.size());
}

void TestMpvPlayer::viewOptionsShowTheirParts()
{
    MpvPlayer player;
    player.setAutoSize(true);
    player.show();
    QVERIFY(player.Open(TestMedia::mpegClip(1.0)));
    const QMap<int, QStringList> parts{{23, {"playButton", "stopButton"}},
                                       {26, {"seekBar"}},
                                       {1025, {"muteButton", "volumeSlider"}},
                                       {1086, {"statusLine"}},
                                       {1108, {"timeLabel"}}};
    auto shown = [&](const QString &name) {
        QWidget *w = player.findChild<QWidget *>(name);
        return w && w->isVisibleTo(&player);
    };
    for (auto it = parts.begin(); it != parts.end(); ++it)
        for (const QString &name : it.value())
            QVERIFY2(!shown(name), qPrintable(name));
    QVERIFY(!shown("controlBar"));
    QCOMPARE(player.videoArea()->size(), player.size());

    for (auto it = parts.begin(); it != parts.end(); ++it) {
        player.setViewOption(it.key(), true);
        QVERIFY(player.ViewOption(it.key()));
        for (const QString &name : it.value())
            QVERIFY2(shown(name), qPrintable(name));
        for (auto other = parts.begin(); other != parts.end(); ++other)
            if (other.key() != it.key())
                for (const QString &name : other.value())
                    QVERIFY2(!shown(name), qPrintable(name));
        player.setViewOption(it.key(), false);
    }
    QVERIFY(!player.ViewOption(4711));

    // 1107: the context menu on a right click; ShowDialog(3) shows it anyway.
    QWidget *area = player.videoArea();
    auto rightClick = [&] {
        QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(5, 5), area->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(area, &ev);
    };
    rightClick();
    QVERIFY(!player.contextMenu()->isVisible());
    player.setViewOption(1107, true);
    rightClick();
    QTRY_VERIFY(player.contextMenu()->isVisible());
    player.contextMenu()->hide();
    player.setViewOption(1107, false);
    player.ShowDialog(3);
    QTRY_VERIFY(player.contextMenu()->isVisible());
    QStringList items;
    for (QAction *a : player.contextMenu()->actions())
        if (!a->isSeparator())
            items << a->text();
    QCOMPARE(items, (QStringList{"&Play", "P&ause", "&Stop", "&Half 50%", "&Default 100%", "D&ouble 200%",
                                 "&Full Screen", "Volume &Up", "Volume &Down", "&Mute"}));
    player.contextMenu()->hide();

    player.ShowDialog(0);
    auto *help = player.findChild<QDialog *>("playerHelp");
    QVERIFY(help);
    QTRY_VERIFY(help->isVisible());
    const QString text = help->findChild<QLabel *>("helpText")->text();
    QVERIFY(text.contains("Space") && text.contains("Left / Right") && text.contains("Esc"));
    help->close();

    // Start options are only recorded.
    player.setStartOption(1017, true);
    player.setStartOptionValue(32, 0);
    QCOMPARE(player.StartOption(1017), 1);
}

void TestMpvPlayer::keysAndMouse()
{
    MpvPlayer player;
    player.show();
    QVERIFY(player.Open(TestMedia::mpegClip(4.0)));
    QTest::keyClick(&player, Qt::Key_Space);
    QCOMPARE(player.PlayState(), int(MediaPlayer::Paused));
    QTest::keyClick(&player, Qt::Key_Right);
    QTRY_VERIFY_WITH_TIMEOUT(player.CurrentPosition() >= 3.0, 5000);
    QTest::keyClick(&player, Qt::Key_Left);
    QTRY_VERIFY_WITH_TIMEOUT(player.CurrentPosition() < 1.0, 5000);
    QTest::keyClick(&player, Qt::Key_Space);
    QCOMPARE(player.PlayState(), int(MediaPlayer::Playing));

    QSignalSpy moves(&player, &MediaPlayer::MouseMove);
    QWidget *video = player.findChild<QWidget *>("video");
    QMouseEvent move(QEvent::MouseMove, QPointF(20, 30), video->mapToGlobal(QPointF(20, 30)), Qt::NoButton,
                     Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(video, &move);
    QCOMPARE(moves.count(), 1);
    QCOMPARE(moves.last().at(0).toInt(), 1);
    QCOMPARE(moves.last().at(1).toInt(), 1);
    QCOMPARE(moves.last().at(2).toFloat(), 20.0f);
    QCOMPARE(moves.last().at(3).toFloat(), 30.0f);

    // The control bar's buttons drive the transport.
    player.setViewOption(23, true);
    player.findChild<QToolButton *>("stopButton")->click();
    QCOMPARE(player.PlayState(), int(MediaPlayer::Stopped));
    player.findChild<QToolButton *>("playButton")->click();
    QCOMPARE(player.PlayState(), int(MediaPlayer::Playing));
}

void TestMpvPlayer::destroyedWhilePlaying()
{
    for (int i = 0; i < 3; ++i) {
        auto *player = new MpvPlayer;
        player->show();
        QVERIFY(player->Open(TestMedia::mpegClip(4.0)));
        QTest::qWait(100 * i);
        player->setDisplaySize(i == 2 ? 3 : 0);
        delete player;
    }
}

QTEST_MAIN(TestMpvPlayer)
#include "tst_mpvplayer.moc"
