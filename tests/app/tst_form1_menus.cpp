// The window as created: its menu tree, controls and their places.
#include "support/FormRig.h"

#include <QFrame>
#include <QMenu>
#include <QMenuBar>

using namespace tavero;
using namespace tavero::test;

class TestForm1Menus : public QObject {
    Q_OBJECT
private slots:
    void menuBarAsCreated();
    void controlsAsCreated();
    void componentDialogs();
};

static QStringList describe(QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions()) {
        QString d = a->isSeparator() ? QStringLiteral("-") : a->text();
        if (!a->shortcut().isEmpty())
            d += QLatin1Char('|') + a->shortcut().toString();
        if (a->isCheckable() && a->isChecked())
            d += QStringLiteral("|checked");
        // Qt reports a hidden item as disabled too.
        if (!a->isVisible())
            d += QStringLiteral("|hidden");
        else if (!a->isEnabled())
            d += QStringLiteral("|disabled");
        out << d;
    }
    return out;
}

void TestForm1Menus::menuBarAsCreated()
{
    FormRig rig;
    Form1 &form = *rig.form;

    QStringList bar;
    for (QAction *a : form.menuBar()->actions())
        bar << a->text();
    QCOMPARE(bar, (QStringList{"&File", "&Action", "&Size", "&Context Menu", "&Help"}));
    // The Context Menu entry runs its command from the bar itself.
    QVERIFY(!form.mnuContext->menu());

    QCOMPARE(describe(form.mnuFile),
             (QStringList{"&Play Video CD|Ctrl+V|disabled", "&Open File ...|Ctrl+O", "&Close|Ctrl+W",
                          "-", "|hidden", "|hidden", "|hidden", "|hidden", "|hidden", "-|hidden",
                          "E&xit|Ctrl+X"}));
    QCOMPARE(describe(form.mnuAction),
             (QStringList{"&Play|Ctrl+P", "Pa&use|Ctrl+U", "&Stop|Ctrl+S", "-", "Play Loop",
                          "&Continuous CD Track Play|checked", "-", "Pause && &Minimize|F4"}));
    QCOMPARE(describe(form.mnuSize),
             (QStringList{"&Default 100%|F5|checked", "&Half 50%|F6", "&Double 200%|F7", "-",
                          "&Full Screen|F8"}));
    QCOMPARE(describe(form.mnuHelp),
             (QStringList{"Help Contents|F1", "&Media Player Help|Ctrl+F1", "-", "&About ..."}));

    // Choosing a check item leaves its mark to the handler: the size
    // chosen twice stays checked, where Qt's own toggling would clear it;
    // the two switches flip once per choice.
    form.mnu50->trigger();
    form.mnu50->trigger();
    QVERIFY(form.mnu50->isChecked());
    QVERIFY(!form.mnu100->isChecked());
    for (QAction *a : {form.mnuLoop, form.mnuContinuousPlay}) {
        const bool was = a->isChecked();
        a->trigger();
        QCOMPARE(a->isChecked(), !was);
        a->trigger();
        QCOMPARE(a->isChecked(), was);
    }
    QVERIFY(rig.player->calls.filter("Play").isEmpty());
}

void TestForm1Menus::controlsAsCreated()
{
    FormRig rig;
    Form1 &form = *rig.form;
    FakeMediaPlayer *player = rig.player;

    QVERIFY(form.acceptDrops());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.Timer1->interval(), 1000);
    QVERIFY(form.Timer1->isActive());
    QCOMPARE(player->parentWidget(), form.client);
    // The panel's slot buttons sit on its labels, the last one for more tracks.
    QCOMPARE(form.Cmd1[9]->text(), QStringLiteral("---"));
    // 4365 x 4260 twips of client area, plus the frame allowances.
    QCOMPARE(form.OuterWidth(), 291.0f * 15 + 120);
    QCOMPARE(form.OuterHeight(), 284.0f * 15 + 670);
    form.FitToPlayer();
    QCOMPARE(form.OuterWidth(), player->Left() + player->Width() + 120);
    QCOMPARE(form.OuterHeight(), player->Top() + player->Height() + 670);
}

void TestForm1Menus::componentDialogs()
{
    // Media Player Help and the Context Menu entry open the component's own.
    FormRig rig;
    for (auto [action, call] : {std::pair{rig.form->mnuMPHelp, "ShowDialog 0"},
                                std::pair{rig.form->mnuContext, "ShowDialog 3"}}) {
        rig.player->calls.clear();
        action->trigger();
        QCOMPARE(rig.player->calls, QStringList{call});
    }
    QVERIFY(rig.platform.messages.shown.isEmpty());
}

QTEST_MAIN(TestForm1Menus)
#include "tst_form1_menus.moc"
