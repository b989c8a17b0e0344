// Help Contents, Media Player Help and About; and the help that ships
// beside the player.
#include "platform/LinuxPlatform.h"
#include "support/FormRig.h"

#include <QFileInfo>
#include <QMenu>

using namespace tavero;
using namespace tavero::test;

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void viewerStartsAfterTheWait();
    void missingViewerOrFileIsSilent();
    void about();
    void helpShipsBesideThePlayer();
};

namespace {

// Loads the window from a program folder whose name a shell would split or
// cut (made in the rig's scratch folder). Time passes only while events run.
QString loadInOddFolder(FormRig &rig, bool withHelpFile = true)
{
    const QString folder = rig.disc.path(QStringLiteral("my tavero; 'v3' \"x\""));
    QDir().mkpath(folder);
    if (withHelpFile) {
        QFile f(folder + QStringLiteral("/THelp.hlp"));
        if (f.open(QIODevice::WriteOnly))
            f.write("# Help\n");
    }
    rig.platform.program.folder = folder;
    rig.form->Form_Load();
    rig.form->Timer1->stop();
    rig.platform.messages.shown.clear();
    rig.platform.events.calls = 0;
    rig.platform.events.onPump = [&rig] { rig.platform.clock.t += 0.125; };
    rig.platform.launcher.now = [&rig] { return rig.platform.clock.t; };
    return folder;
}

} // namespace

void TestHelp::viewerStartsAfterTheWait()
{
    FormRig rig({.runQtEvents = false});
    const QString folder = loadInOddFolder(rig);
    QCOMPARE(rig.form->HelpFile(), folder + QStringLiteral("/THelp.hlp"));
    const double begin = rig.platform.clock.t;
    rig.form->mnuTaveroHelp->trigger();
    // 0.125, 0.25, 0.375 are too early; the fourth round of events ends the wait.
    QCOMPARE(rig.platform.events.calls, 4);
    QCOMPARE(rig.platform.launcher.starts.size(), 1);
    const FakeLauncher::Start &start = rig.platform.launcher.starts.first();
    QCOMPARE(start.program, folder + QStringLiteral("/tavero-help"));
    QCOMPARE(start.arguments, QStringList{folder + QStringLiteral("/THelp.hlp")});
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
        QtProcessLauncher real;
        FormRig rig({.runQtEvents = false, .adjust = [&](Seams &s) { s.launcher = &real; }});
        loadInOddFolder(rig);
        rig.form->mnuTaveroHelp_Click();
        QVERIFY(rig.platform.messages.shown.isEmpty());
    }
    {
        FormRig rig({.runQtEvents = false});
        loadInOddFolder(rig);
        rig.platform.launcher.result = false;
        rig.form->mnuTaveroHelp_Click();
        QCOMPARE(rig.platform.launcher.starts.size(), 1);
        QVERIFY(rig.platform.messages.shown.isEmpty());
    }
    {
        // No help file: after the wait, nothing starts and nothing is said.
        FormRig rig({.runQtEvents = false});
        loadInOddFolder(rig, false);
        rig.form->mnuTaveroHelp_Click();
        QCOMPARE(rig.platform.events.calls, 4);
        QVERIFY(rig.platform.launcher.starts.isEmpty());
        QVERIFY(rig.platform.messages.shown.isEmpty());
    }
}

void TestHelp::about()
{
    FormRig rig;
    rig.form->mnuAbout->trigger();
    QCOMPARE(rig.platform.messages.shown.size(), 1);
    const ShownMessage &m = rig.platform.messages.shown.first();
    QCOMPARE(m.icon, MessageIcon::Information);
    QCOMPARE(m.title, QStringLiteral("Tavero Player v3.0"));
    // Four lines, each without a stray line-break character.
    const QStringList lines = m.text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 4);
    for (const QString &line : lines)
        QVERIFY(!line.isEmpty() && !line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
}

void TestHelp::helpShipsBesideThePlayer()
{
    const QString folder = QStringLiteral(TAVERO_PROGRAM_DIR);
    QVERIFY(QFileInfo(folder + QStringLiteral("/tavero-help")).isExecutable());
    QFile help(folder + QStringLiteral("/THelp.hlp"));
    QVERIFY(help.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(help.readAll());

    // Every menu command, by the words the menus show.
    FormRig rig;
    QStringList missing;
    for (QMenu *menu : {rig.form->mnuFile, rig.form->mnuAction, rig.form->mnuSize, rig.form->mnuHelp}) {
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
