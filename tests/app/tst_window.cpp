// The main window: start-up and the command line, what the menus offer in
// each state and how the window closes from there, sizes, help and About.
#include "desktop/DesktopIntegration.h"
#include "support/FormRig.h"

#include <QMenu>
#include <QMenuBar>

using namespace tavero;
using namespace tavero::test;

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void startUp();
    void menusAndClosing_data();
    void menusAndClosing();
    void sizes();
    void helpMenu();
};

void TestWindow::startUp()
{
    QTemporaryDir dir;
    const QString clip = dir.filePath("my clip.mpg");
    QVERIFY(QFile(clip).open(QIODevice::WriteOnly));
    // Nothing, a file, one in quotes, which are part of its name, or blanks, a name too, on a
    // machine without a CD drive (missing and unsafe names are the hardening tests' business).
    for (const QString &argument : {QString(), clip, '"' + clip + '"', QStringLiteral("   ")}) {
        const bool plays = argument == clip, drive = argument != QStringLiteral("   ");
        FormRig rig({.runQtEvents = false});
        Form1 &form = *rig.form;
        if (drive)
            rig.insertDisc(2);
        rig.platform.program.arguments = argument;
        form.Form_Load();
        QCOMPARE(rig.opened(), plays ? QStringList{clip} : QStringList());
        const QStringList missing{"Could not find the file '" + argument + "' ...!"};
        QCOMPARE(rig.messages(), plays || argument.isEmpty() ? QStringList() : missing);
        QCOMPARE(form.windowTitle(), plays ? captionFor(clip) : QStringLiteral("Tavero Player v3.0 "));
        QCOMPARE(std::pair(form.mnuOpen->isEnabled(), rig.fitsPlayer()), std::pair(!plays, true));
        QCOMPARE(form.mnuPlayVCD->isEnabled(), drive && !plays);
        if (argument.isEmpty()) {
            QCOMPARE(rig.platform.cdAudio.commands.filter("open"), QStringList{"open cdaudio alias cd wait shareable"});
            QVERIFY(form.acceptDrops() && !(form.windowFlags() & Qt::WindowMaximizeButtonHint));
            QVERIFY(form.mnuContinuousPlay->isChecked() && !form.mnuLoop->isChecked() && form.mnu100->isChecked());
            QCOMPARE(form.mnuMin->text(), "Pause && &Minimize");
            // The component sizes itself and shows transport, seek bar, volume and time.
            QVERIFY(rig.player->autoSize && rig.player->displaySize == MediaPlayer::DefaultSize);
            QCOMPARE(rig.player->viewOptions, (QMap<int, bool>{{23, true}, {26, true}, {1025, true}, {1108, true}}));
            for (int i = 0; i < Form1::kSlots; ++i)
                QCOMPARE(form.Lbl1[i]->text(), i < 9 ? QString::number(i + 1) : QStringLiteral("---"));
            QVERIFY(!(new DesktopIntegration(form.remoteControls(), QDBusConnection("no bus")))->isRegistered());
        }
        // A file named plays alone: the disc's tracks do not follow it.
        rig.player->finishMedium(FakeMediaPlayer::EndOrder::EndThenStop);
        QCOMPARE(rig.opened().size(), plays ? 1 : 0);
    }
    // With no session bus announced and none in the runtime folder, none is asked for (libdbus would autolaunch one).
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS"), runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    QVERIFY(!DesktopIntegration::sessionBus().isConnected());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qputenv("XDG_RUNTIME_DIR", runtime);
}

void TestWindow::menusAndClosing_data()
{
    QTest::addColumn<QStringList>("steps");   // items chosen since start-up
    // Play, Pause, Stop, Close, Open File, Play Video CD: '+' offered, '-'
    // greyed, 'd' offered when a disc is in the drive (closed by Exit).
    QTest::addColumn<QString>("items");
    QTest::addColumn<int>("how");     // closed by 0 the close box, 1 Exit, 2 Exit and the close box meanwhile
    QTest::addColumn<int>("stops");   // how often playback is stopped then
    const QList<std::tuple<const char *, QStringList, const char *, int, int>> states{
        {"started", {}, "----+d", 0, 0},
        {"playing", {"mnuOpen"}, "-+++--", 1, 1},
        {"paused", {"mnuOpen", "mnuPause"}, "+-++-d", 1, 1},
        {"playing again", {"mnuOpen", "mnuPause", "mnuRun"}, "-+++--", 1, 1},
        {"stopped", {"mnuOpen", "mnuStop"}, "+--++d", 0, 1}};
    for (const auto &[name, steps, items, byCloseBox, byExit] : states) {
        QTest::addRow("%s, close box", name) << steps << items << 0 << byCloseBox;
        QTest::addRow("%s, Exit", name) << steps << items << 1 << byExit;
    }
    QTest::newRow("close box during Exit") << QStringList{"mnuOpen"} << "-+++--" << 2 << 1;
}

void TestWindow::menusAndClosing()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, items);
    QFETCH(int, how);
    QFETCH(int, stops);
    FormRig rig({.runQtEvents = false});
    Form1 &form = *rig.form;
    rig.insertDisc(2);
    rig.platform.cdAudio.setDisc(how != 0);
    form.Form_Load();
    form.show();
    rig.platform.openDialog.answer = QStringLiteral("/media/clip.mpg");
    for (const QString &name : steps)
        form.findChild<QAction *>(name)->trigger();
    auto offered = [&] {
        QString s;
        for (QAction *a : {form.mnuRun, form.mnuPause, form.mnuStop, form.mnuClose, form.mnuOpen, form.mnuPlayVCD})
            s += a->isEnabled() ? '+' : '-';
        return s;
    };
    // Shortcuts go by the items as they are before a menu drops down.
    QCOMPARE(offered().left(5), items.left(5));
    emit form.mnuAction->aboutToShow();
    emit form.mnuFile->aboutToShow();
    QCOMPARE(offered(), items.replace('d', how ? '+' : '-'));
    QVERIFY(rig.messages().isEmpty());
    rig.player->calls.clear();
    rig.platform.cdAudio.commands.clear();
    // The close box clicked while Exit, and then the closing, let events run.
    int clicks = 0;
    if (how == 2)
        rig.platform.events.onPump = [&] { if (++clicks <= 2) form.close(); };
    how ? form.mnuExit->trigger() : void(form.close());
    QCOMPARE(rig.player->calls.count("Stop"), stops);
    QCOMPARE(rig.platform.cdAudio.commands, QStringList{"close all"});   // once
    QVERIFY(form.isHidden());
}

void TestWindow::sizes()
{
    FormRig rig;
    Form1 &form = *rig.form;
    form.Form_Load();
    form.Timer1->stop();   // it fits the window too: the paint and the commands are seen alone
    form.show();
    rig.platform.openDialog.answer = QStringLiteral("/media/clip.mpg");
    form.mnuOpen->trigger();
    const QList<QAction *> sizeItems{form.mnu100, form.mnu50, form.mnu200, form.mnuFullScreen};
    auto ticks = [&] { return std::ranges::count_if(sizeItems, &QAction::isChecked); };
    // The panel is centred over the default and the half picture, at (window width / 2 - 4305 / 2 - 40)
    // twips (over both sides at half size), else at the left; an item chosen again stays ticked.
    const QList<std::tuple<QAction *, QSize, int>> steps{{form.mnu100, {286, 253}, 2}, {form.mnu50, {143, 127}, -70},
                                                         {form.mnu50, {143, 127}, -70}, {form.mnu200, {572, 506}, 1},
                                                         {form.mnuFullScreen, {572, 506}, 1}};
    for (const auto &[item, player, panel] : steps) {
        item->trigger();
        QCOMPARE(rig.player->size(), player);
        QVERIFY(rig.fitsPlayer());
        QCOMPARE(std::pair(item->isChecked(), ticks()), std::pair(true, qsizetype(1)));
        QTRY_COMPARE(form.Frame1->x(), panel);
    }
    // A paint ticks the size that holds, or none the component does not name, brings back the seek bar and
    // the time readout, and wraps the window round a player that changed size meanwhile.
    for (int size : {7, 0, 1, 2, 3}) {
        std::ranges::for_each(sizeItems, [](QAction *a) { a->setChecked(true); });
        rig.player->displaySize = size, rig.player->viewOptions[26] = rig.player->viewOptions[1108] = false;
        rig.player->resize(rig.player->size() + QSize(size, 1));
        form.Form_Paint();
        QVERIFY(ticks() == (size < 4) && (size > 3 || sizeItems[size]->isChecked()) && rig.fitsPlayer());
        QVERIFY(rig.player->ViewOption(26) && rig.player->ViewOption(1108));
    }
    QCoreApplication::processEvents();   // the resizes those fits caused
    // Pause & Minimize: paused, back at the default size and minimised; the
    // panel stays where it was and the component's controls come back.
    rig.player->viewOptions[26] = rig.player->viewOptions[1108] = false;
    form.mnuMin->trigger();
    QVERIFY(rig.player->playState == MediaPlayer::Paused && rig.player->displaySize == MediaPlayer::DefaultSize);
    QCOMPARE(std::pair(form.isMinimized(), form.Frame1->x()), std::pair(true, 1));
    QTRY_VERIFY(rig.player->ViewOption(26) && rig.player->ViewOption(1108));
    rig.player->viewOptions[26] = rig.player->viewOptions[1108] = false;
    form.Form_Resize();   // a resize while minimised brings them back too
    QVERIFY(rig.player->ViewOption(26) && rig.player->ViewOption(1108));
    // Restored, the paint ticks the size that holds now.
    form.showNormal();
    form.update();
    QTRY_VERIFY(form.mnu100->isChecked() && ticks() == 1);
    QTRY_COMPARE(form.Frame1->x(), 2);
    // Not playing, it only minimises.
    rig.player->calls.clear();
    form.mnuMin_Click();
    QCOMPARE(std::pair(form.isMinimized(), rig.player->calls.contains("Pause")), std::pair(true, false));
}

void TestWindow::helpMenu()
{
    // A folder name a shell would split or cut, with and without a "/" at the end. The viewer is started twice,
    // each time after a wait of its own: 0.125, 0.25 and 0.375 s are too early, the fourth round ends it.
    FormRig rig({.runQtEvents = false});
    const QString name = QStringLiteral("my tavero; 'v3' \"x\""), folder = rig.disc.path(name);
    rig.disc.addFiles(name, {QStringLiteral("THelp.hlp")});
    rig.platform.program.folder = folder + '/';
    rig.form->Form_Load();
    rig.platform.events.calls = 0;
    rig.platform.events.onPump = [&rig] { rig.platform.clock.t += 0.125; };
    rig.platform.launcher.now = [&rig] { return rig.platform.clock.t; };
    rig.platform.launcher.result = false;   // it fails to start: nothing to say
    double last = rig.platform.clock.t;
    for (int round = 1; round <= 2; ++round) {
        rig.platform.program.folder = round == 1 ? folder : folder + '/';
        rig.form->mnuTaveroHelp->trigger();
        QVERIFY(rig.platform.events.calls == 4 * round && rig.platform.launcher.starts.size() == round);
        const FakeLauncher::Start &start = rig.platform.launcher.starts.last();
        QCOMPARE(start.program, folder + QStringLiteral("/tavero-help"));
        QCOMPARE(start.arguments, QStringList{folder + QStringLiteral("/THelp.hlp")});
        QVERIFY(start.at - std::exchange(last, start.at) >= 0.4);
    }
    // Without the help file, nothing starts.
    QVERIFY(QFile::remove(folder + QStringLiteral("/THelp.hlp")));
    rig.form->mnuTaveroHelp->trigger();
    QVERIFY(rig.platform.launcher.starts.size() == 2 && rig.messages().isEmpty());
    // About: four lines, none empty or with a stray line-break character.
    rig.form->mnuAbout->trigger();
    const ShownMessage &m = rig.platform.messages.shown.value(0);
    QCOMPARE(std::pair(m.icon, m.title), std::pair(MessageIcon::Information, QStringLiteral("Tavero Player v3.0")));
    QCOMPARE(QList({m.text.count("\r\n"), m.text.count('\r'), m.text.count('\n')}), QList<qsizetype>({3, 3, 3}));
    QCOMPARE(m.text.section("\r\n", 0, 0), "          Tavero Player v3.0");
    QCOMPARE(QList({m.text.contains("\r\n\r\n"), m.text.startsWith('\r'), m.text.endsWith('\n')}), QList<bool>(3, false));
    // Media Player Help and the Context Menu entry on the bar (no drop-down) open the component's own.
    rig.form->mnuMPHelp->trigger();
    rig.form->show();
    QMenuBar *bar = rig.form->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(rig.form->mnuContext).center());
    QCOMPARE(rig.player->calls.filter("ShowDialog"), (QStringList{"ShowDialog 0", "ShowDialog 3"}));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
