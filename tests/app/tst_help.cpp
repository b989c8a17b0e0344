// Help Contents, Media Player Help and About; and the help that ships
// beside the player.
#include "app/Form1.h"
#include "platform/LinuxPlatform.h"
#include "support/FakeMediaPlayer.h"
#include "support/Fakes.h"

#include <QFile>
#include <QMenu>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace tavero;
using namespace tavero::test;

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void viewerStartsAfterTheWait();
    void missingViewerOrFileIsSilent();
    void mediaPlayerHelp();
    void about();
    void helpShipsBesideThePlayer();
};

namespace {

struct Rig {
    FakePlatform platform;
    FakeMediaPlayer *player = new FakeMediaPlayer;
    std::unique_ptr<Form1> form;
    QTemporaryDir dir;
    QString folder;

    // A program folder whose name a shell would split or cut.
    explicit Rig(bool withHelpFile = true)
    {
        folder = dir.path() + QStringLiteral("/my tavero; 'v3' \"x\"");
        QDir().mkpath(folder);
        if (withHelpFile) {
            QFile f(folder + QStringLiteral("/THelp.hlp"));
            if (f.open(QIODevice::WriteOnly))
                f.write("# Help\n");
        }
        platform.program.folder = folder;
        platform.events.runQtEvents = false;
        form = std::make_unique<Form1>(platform.seams(), player);
        form->Form_Load();
        form->Timer1->stop();
        platform.messages.shown.clear();
        platform.events.calls = 0;
        // Time passes only while events run.
        platform.events.onPump = [this] { platform.clock.t += 0.125; };
        platform.launcher.now = [this] { return platform.clock.t; };
    }
};

} // namespace

void TestHelp::viewerStartsAfterTheWait()
{
    Rig rig;
    QCOMPARE(rig.form->HelpFile(), rig.folder + QStringLiteral("/THelp.hlp"));
    const double begin = rig.platform.clock.t;
    rig.form->mnuTaveroHelp->trigger();
    // 0.125, 0.25, 0.375 are too early; the fourth round of events ends the wait.
    QCOMPARE(rig.platform.events.calls, 4);
    QCOMPARE(rig.platform.launcher.starts.size(), 1);
    const FakeLauncher::Start &start = rig.platform.launcher.starts.first();
    QCOMPARE(start.program, rig.folder + QStringLiteral("/tavero-help"));
    QCOMPARE(start.arguments, QStringList{rig.folder + QStringLiteral("/THelp.hlp")});
    QVERIFY(start.at - begin >= 0.4);

    // Twice in a row: two viewers, each after its own wait.
    rig.form->mnuTaveroHelp_Click();
    QCOMPARE(rig.platform.launcher.starts.size(), 2);
    QVERIFY(rig.platform.launcher.starts[1].at - start.at >= 0.4);
    QCOMPARE(rig.platform.events.calls, 8);
    QVERIFY(rig.platform.messages.shown.isEmpty());
}

void TestHelp::missingViewerOrFileIsSilent()
{
    {
        // The viewer is not there: the real launcher fails, nobody hears.
        Rig rig;
        QtProcessLauncher real;
        Seams seams = rig.platform.seams();
        seams.launcher = &real;
        Form1 form(seams, new FakeMediaPlayer);
        form.Form_Load();
        form.Timer1->stop();
        rig.platform.messages.shown.clear();
        form.mnuTaveroHelp_Click();
        QVERIFY(rig.platform.messages.shown.isEmpty());
    }
    {
        Rig rig;
        rig.platform.launcher.result = false;
        rig.form->mnuTaveroHelp_Click();
        QCOMPARE(rig.platform.launcher.starts.size(), 1);
        QVERIFY(rig.platform.messages.shown.isEmpty());
    }
    {
        // No help file: after the wait, nothing starts and nothing is said.
        Rig rig(false);
        rig.form->mnuTaveroHelp_Click();
        QCOMPARE(rig.platform.events.calls, 4);
        QVERIFY(rig.platform.launcher.starts.isEmpty());
        QVERIFY(rig.platform.messages.shown.isEmpty());
    }
}

void TestHelp::mediaPlayerHelp()
{
    Rig rig;
    rig.player->calls.clear();
    rig.form->mnuMPHelp->trigger();
    QCOMPARE(rig.player->calls, QStringList{"ShowDialog 0"});
    QVERIFY(rig.platform.messages.shown.isEmpty());
}

void TestHelp::about()
{
    Rig rig;
    rig.form->mnuAbout->trigger();
    QCOMPARE(rig.platform.messages.shown.size(), 1);
    const ShownMessage &m = rig.platform.messages.shown.first();
    QCOMPARE(m.icon, MessageIcon::Information);
    QCOMPARE(m.title, QStringLiteral("Tavero Player v3.0"));
    const QStringList lines = m.text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.first(), QStringLiteral("          Tavero Player v3.0"));
    for (const QString &line : lines) {
        QVERIFY(!line.isEmpty());
        QVERIFY(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
    }
}

void TestHelp::helpShipsBesideThePlayer()
{
    const QString folder = QStringLiteral(TAVERO_PROGRAM_DIR);
    QVERIFY(QFileInfo(folder + QStringLiteral("/tavero-help")).isExecutable());
    QFile help(folder + QStringLiteral("/THelp.hlp"));
    QVERIFY(help.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(help.readAll());

    // Every menu command, by the words the menus show.
    FakePlatform platform;
    Form1 form(platform.seams(), new FakeMediaPlayer);
    QStringList missing;
    for (QMenu *menu : {form.mnuFile, form.mnuAction, form.mnuSize, form.mnuHelp}) {
        for (QAction *a : menu->actions()) {
            if (a->isSeparator() || a->text().isEmpty())
                continue;
            QString words = a->text();
            words.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
            words.remove(QLatin1Char('&'));
            words.replace(QStringLiteral("\x01"), QStringLiteral("&"));
            if (!text.contains(words))
                missing << words;
        }
    }
    if (!text.contains(QStringLiteral("Context Menu")))
        missing << QStringLiteral("Context Menu");
    // The track panel, Video CDs, keys and the player's own controls.
    for (const char *topic : {"track panel", "More CD Tracks List", "Video CD", "MPEGAV", "Keys",
                              "Space", "Esc", "Seek bar", "Mute", "Volume", "status line",
                              "Right-click", "double-click"}) {
        if (!text.contains(QLatin1String(topic), Qt::CaseInsensitive))
            missing << QLatin1String(topic);
    }
    QCOMPARE(missing, QStringList());
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
