// Start-up, the command line, closing the window, and the File and Action
// menus' refreshes.
#include "support/FormRig.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

using namespace tavero;
using namespace tavero::test;

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void startUp();
    void commandLine_data();
    void commandLine();
    void closing_data();
    void closing();
    void closingRunsOnce();
    void menuRefresh_data();
    void menuRefresh();
};

static QStringList visibleItems(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions()) {
        if (!a->isVisible())
            continue;
        QString d = a->isSeparator() ? QStringLiteral("-") : a->text();
        if (!a->isEnabled())
            d += QStringLiteral("|disabled");
        if (a->isChecked())
            d += QStringLiteral("|checked");
        out << d;
    }
    return out;
}

void TestStartup::startUp()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    form.Form_Load();

    // No CD drive here, so Play Video CD stays greyed whatever its caption.
    QStringList file = visibleItems(form.mnuFile);
    QVERIFY(file.first().endsWith("|disabled"));
    file.removeFirst();
    QCOMPARE(file, (QStringList{"&Open File ...", "&Close|disabled", "-", "E&xit"}));
    QCOMPARE(visibleItems(form.mnuAction),
             (QStringList{"&Play|disabled", "Pa&use|disabled", "&Stop|disabled", "-", "Play Loop",
                          "&Continuous CD Track Play|checked", "-", "Pause && &Minimize"}));
    for (QAction *a : form.mnuRecent)
        QVERIFY(!a->isVisible());
    QVERIFY(!form.mnuD02->isVisible());

    QCOMPARE(rig.player->calls,
             (QStringList{"setAutoSize 1", "setStartOption 1017 1", "setStartOption 1021 1",
                          "setStartOption 29 1", "setViewOption 23 1", "setViewOption 26 1",
                          "setStartOption 1056 1", "setViewOption 1025 1",
                          "setStartOptionValue 32 0", "setDisplaySize 0", "setViewOption 1108 1",
                          "setStartOption 27 1", "setStartOption 1062 1", "setStartOption 1069 1",
                          "setStartOption 1015 1", "setStartOption 1064 1",
                          "setStartOption 1063 1"}));

    for (int i = 0; i < Form1::kSlots; ++i) {
        QCOMPARE(form.Lbl1[i]->pos(), form.Cmd1[i]->pos());
        QCOMPARE(form.Lbl1[i]->text(), i < 9 ? QString::number(i + 1) : QStringLiteral("---"));
        QVERIFY(!form.Lbl1[i]->isEnabled());
        QVERIFY(form.Cmd1[i]->isHidden());
        QVERIFY(form.Cmd1[i]->isEnabled());
    }

    QCOMPARE(form.OuterWidth(), rig.player->Left() + rig.player->Width() + 120);
    QCOMPARE(form.OuterHeight(), rig.player->Top() + rig.player->Height() + 670);
    QVERIFY(rig.platform.events.calls >= 2);
    QCOMPARE(rig.platform.cdAudio.commands.first(), QStringLiteral("open cdaudio alias cd wait shareable"));
    QCOMPARE(rig.platform.cdAudio.capacities.first(), 0);
    QCOMPARE(rig.platform.cdAudio.commands.filter("open").size(), 1);
    QVERIFY(!rig.platform.cdAudio.commands.contains("close all"));
    QVERIFY(rig.platform.messages.shown.isEmpty());
    QVERIFY(rig.platform.files.lookups.isEmpty());
    QCOMPARE(form.HelpFile(), QStringLiteral("/opt/tavero/THelp.hlp"));

    // A program in the top folder: no doubled "/".
    FormRig top({.runQtEvents = false});
    top.platform.program.folder = QStringLiteral("/");
    top.form->Form_Load();
    QCOMPARE(top.form->HelpFile(), QStringLiteral("/THelp.hlp"));
}

void TestStartup::commandLine_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("plays");
    QTest::newRow("empty") << "empty" << false;
    QTest::newRow("existing file") << "file" << true;
    // Quotes are part of the name (missing, bad and unsafe names are the
    // hardening tests' business, with the real component).
    QTest::newRow("in quotes") << "quoted" << false;
}

void TestStartup::commandLine()
{
    QFETCH(QString, kind);
    QFETCH(bool, plays);
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.mpg");
    QFile f(clip);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    const QString text = kind == "file" ? clip : kind == "quoted" ? QString('"' + clip + '"') : QString();

    FormRig rig({.runQtEvents = false});
    rig.platform.program.arguments = text;
    rig.form->Form_Load();

    if (plays) {
        QCOMPARE(rig.opened(), QStringList{text});
        QVERIFY(rig.form->state.SingleFileMode);
        QVERIFY(rig.platform.messages.shown.isEmpty());
        QCOMPARE(rig.form->windowTitle(), "Tavero : " + text.toLower());
    } else {
        QVERIFY(rig.opened().isEmpty());
        QVERIFY(!rig.form->state.SingleFileMode);
        if (kind == "empty") {
            QVERIFY(rig.platform.messages.shown.isEmpty());
        } else {
            QCOMPARE(rig.platform.messages.shown.size(), 1);
            const ShownMessage m = rig.platform.messages.shown.first();
            QCOMPARE(m.text, "Could not find the file '" + text + "' ...!");
            QCOMPARE(m.icon, MessageIcon::Error);
            QCOMPARE(m.title, QStringLiteral("Tavero Player v3.0"));
        }
        // The window is left usable.
        QVERIFY(rig.form->mnuOpen->isEnabled());
        QVERIFY(rig.form->mnuExit->isEnabled());
    }
}

void TestStartup::closing_data()
{
    QTest::addColumn<bool>("byExit");
    QTest::addColumn<int>("playState");
    QTest::addColumn<int>("stops");
    QTest::newRow("exit while playing") << true << 2 << 1;
    QTest::newRow("exit while paused") << true << 1 << 1;
    QTest::newRow("exit while stopped") << true << 0 << 1;
    QTest::newRow("exit with nothing loaded") << true << 6 << 0;
    QTest::newRow("close box while playing") << false << 2 << 1;
    QTest::newRow("close box while paused") << false << 1 << 1;
    QTest::newRow("close box while stopped") << false << 0 << 0;
    QTest::newRow("close box with nothing loaded") << false << 6 << 0;
}

void TestStartup::closing()
{
    QFETCH(bool, byExit);
    QFETCH(int, playState);
    QFETCH(int, stops);
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    form.Form_Load();
    form.show();
    rig.player->readyState = playState == 6 ? 0 : 4;
    rig.player->playState = playState;
    rig.player->calls.clear();
    rig.platform.cdAudio.commands.clear();
    // Nothing may be playing any more when the CD device is closed.
    int stateAtClose = -1;
    rig.platform.events.onPump = [&] { stateAtClose = rig.player->PlayState(); };

    if (byExit)
        form.mnuExit->trigger();
    else
        form.close();

    QCOMPARE(rig.player->calls.count("Stop"), stops);
    QVERIFY(stateAtClose != MediaPlayer::Playing && stateAtClose != MediaPlayer::Paused);
    QCOMPARE(rig.platform.cdAudio.commands, QStringList{"close all"});
    QCOMPARE(rig.platform.cdAudio.capacities.last(), 0);
    QVERIFY(form.isHidden());
}

void TestStartup::closingRunsOnce()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    form.Form_Load();
    form.show();
    form.PlayFile("/media/clip.mpg");
    rig.player->calls.clear();
    rig.platform.cdAudio.commands.clear();
    // The close box is clicked while Exit, and then the closing itself,
    // let events run.
    int requests = 0;
    rig.platform.events.onPump = [&] {
        if (++requests <= 2)
            form.close();
    };
    form.mnuExit_Click();
    QCOMPARE(rig.player->calls.count("Stop"), 1);
    QCOMPARE(rig.platform.cdAudio.commands, QStringList{"close all"});
    QVERIFY(form.isHidden());
}

void TestStartup::menuRefresh_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<int>("playState");
    QTest::addColumn<bool>("disc");
    // Play, Pause, Stop, Close, Open File, Play Video CD: '+' on, '-' off,
    // '.' untouched, 'd' on exactly when a disc is in the drive.
    QTest::addColumn<QString>("items");
    for (bool disc : {false, true}) {
        const char *d = disc ? ", disc" : ", no disc";
        QTest::addRow("file, playing%s", d) << "file" << 2 << disc << "-+++--";
        QTest::addRow("file, paused%s", d) << "file" << 1 << disc << "+-+.-d";
        QTest::addRow("file, stopped%s", d) << "file" << 0 << disc << ".....d";
        QTest::addRow("file, nothing loaded%s", d) << "file" << 6 << disc << ".....d";
    }
    QTest::newRow("action, playing") << "action" << 2 << true << "-++.--";
    QTest::newRow("action, paused") << "action" << 1 << true << "+-+.--";
    QTest::newRow("action, stopped") << "action" << 0 << true << "......";
    QTest::newRow("action, nothing loaded") << "action" << 6 << true << "......";
}

void TestStartup::menuRefresh()
{
    QFETCH(QString, menu);
    QFETCH(int, playState);
    QFETCH(bool, disc);
    QFETCH(QString, items);

    for (const QString &start : {QStringLiteral("++++++"), QStringLiteral("------")}) {
        FormRig rig({.runQtEvents = false});
        auto &form = *rig.form;
        rig.insertDisc(2);
        rig.platform.cdAudio.setDisc(disc);
        const bool discSeen = form.CheckCDMedia(false);
        rig.player->quiet = true;
        rig.player->playState = playState;
        rig.player->readyState = playState == 6 ? 0 : 4;
        QAction *actions[] = {form.mnuRun, form.mnuPause, form.mnuStop,
                              form.mnuClose, form.mnuOpen, form.mnuPlayVCD};
        for (int i = 0; i < 6; ++i)
            actions[i]->setEnabled(start.at(i) == '+');
        form.show();

        QMenu *m = menu == "file" ? form.mnuFile : form.mnuAction;
        m->popup(QPoint(0, 0));
        QVERIFY(m->isVisible());
        m->hide();

        for (int i = 0; i < 6; ++i) {
            const QChar c = items.at(i);
            const bool want = c == '.' ? start.at(i) == '+' : c == 'd' ? discSeen : c == '+';
            QVERIFY2(actions[i]->isEnabled() == want,
                     qPrintable(actions[i]->objectName() + " from " + start));
        }
        QVERIFY(rig.platform.messages.shown.isEmpty());
        QVERIFY(rig.player->calls.filter(QRegularExpression("^(Play|Open|Stop)")).isEmpty());
    }
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
