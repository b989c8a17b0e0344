// Video sizes, the panel above the player, the Size menu's marks, Pause &
// Minimize and the component's context menu.
#include "support/FormRig.h"

#include <QFrame>

using namespace tavero;
using namespace tavero::test;

class TestSizing : public QObject {
    Q_OBJECT
private slots:
    void doubleThenHalf();
    void fullScreenAfterHalf();
    void fallFromFullScreenWaitsForPaint();
    void pauseAndMinimize();
    void minimizedWindowKeepsItsPanel();
    void paintFitsOnlyWhenNeeded();
    void unknownDisplaySizeChecksNothing();
};

namespace {

// A shown window that fits its self-sizing component. The status timer fits
// the window too; these tests watch the paint and the commands alone.
struct Rig : FormRig {
    Rig()
    {
        form->Timer1->stop();
        player->setAutoSize(true);
        form->FitToPlayer();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCoreApplication::processEvents();
    }

    QStringList marks() const
    {
        QStringList out;
        for (QAction *a : {form->mnu100, form->mnu50, form->mnu200, form->mnuFullScreen}) {
            if (a->isChecked())
                out << a->text();
        }
        return out;
    }
};

} // namespace

void TestSizing::doubleThenHalf()
{
    Rig rig;
    // The default panel place: (4440 / 2 - 4305 / 2 - 40) twips, about 2 px.
    QTRY_COMPARE(rig.form->Frame1->x(), 2);
    const int frameTop = rig.form->Frame1->y();
    const QSize before = rig.form->size();

    // A repaint in the middle of the command must not leave its marks.
    rig.platform.events.onPump = [&] { rig.form->mnu100->setChecked(true); };
    rig.form->mnu200->trigger();
    QCOMPARE(rig.player->size(), QSize(572, 506));
    QVERIFY(rig.fitsPlayer());
    QCOMPARE(rig.marks(), QStringList{"&Double 200%"});
    QTRY_VERIFY(rig.form->width() > before.width() && rig.form->height() > before.height());
    QTRY_COMPARE(rig.form->Frame1->x(), 1);   // 15 twips
    QCOMPARE(rig.form->Frame1->y(), frameTop);

    rig.platform.events.onPump = nullptr;
    rig.form->mnu50->trigger();
    QCOMPARE(rig.player->size(), QSize(143, 127));
    QVERIFY(rig.fitsPlayer());
    QCOMPARE(rig.marks(), QStringList{"&Half 50%"});
    QTRY_VERIFY(rig.form->width() < before.width() && rig.form->height() < before.height());
    // (2295 / 2 - 4305 / 2 - 40) twips: the panel is wider than the window
    // and hangs over on both sides.
    QTRY_COMPARE(rig.form->Frame1->x(), -70);
}

void TestSizing::fullScreenAfterHalf()
{
    Rig rig;
    rig.form->mnu50->trigger();
    rig.form->mnuFullScreen->trigger();
    QCOMPARE(rig.player->displaySize, int(MediaPlayer::FullScreen));
    QCOMPARE(rig.marks(), QStringList{"&Full Screen"});
    QVERIFY(rig.fitsPlayer());
    QTRY_COMPARE(rig.form->Frame1->x(), 1);
}

void TestSizing::fallFromFullScreenWaitsForPaint()
{
    Rig rig;
    rig.form->mnuFullScreen->trigger();
    // The player drops back by itself, as at the end of a medium.
    rig.player->setDisplaySize(MediaPlayer::DefaultSize);
    QCoreApplication::processEvents();
    QCOMPARE(rig.marks(), QStringList{"&Full Screen"});
    rig.form->update();
    QTRY_COMPARE(rig.marks(), QStringList{"&Default 100%"});
}

void TestSizing::pauseAndMinimize()
{
    {
        Rig rig;
        rig.player->quiet = true;
        rig.player->setPlayState(MediaPlayer::Playing);
        rig.form->mnuFullScreen->trigger();
        rig.player->calls.clear();
        // Paused and back at default size before events run; minimised only
        // after that.
        QStringList atPump;
        rig.platform.events.onPump = [&] {
            atPump = rig.player->calls;
            QVERIFY(!rig.form->isMinimized());
        };
        rig.form->mnuMin->trigger();
        QCOMPARE(atPump, (QStringList{"Pause", "setDisplaySize 0"}));
        QCOMPARE(rig.player->playState, int(MediaPlayer::Paused));
        QVERIFY(rig.form->isMinimized());
        QCOMPARE(rig.marks(), QStringList{"&Full Screen"});
        // Restored: the paint marks the size that holds now.
        rig.platform.events.onPump = nullptr;
        rig.form->showNormal();
        rig.form->update();
        QTRY_COMPARE(rig.marks(), QStringList{"&Default 100%"});
    }
    for (int state : {int(MediaPlayer::Stopped), int(MediaPlayer::Paused), int(MediaPlayer::Closed)}) {
        Rig rig;
        rig.player->quiet = true;
        rig.player->setPlayState(state);
        rig.player->calls.clear();
        const int pumps = rig.platform.events.calls;
        rig.form->mnuMin->trigger();
        QCOMPARE(rig.player->calls, QStringList());
        QCOMPARE(rig.platform.events.calls, pumps + 1);
        QVERIFY(rig.form->isMinimized());
    }
}

void TestSizing::minimizedWindowKeepsItsPanel()
{
    Rig rig;
    rig.form->Frame1->move(40, rig.form->Frame1->y());
    rig.player->viewOptions[26] = false;
    rig.player->viewOptions[1108] = false;
    rig.form->showMinimized();
    QTRY_VERIFY(rig.form->isMinimized());
    QTRY_VERIFY(rig.player->ViewOption(26) && rig.player->ViewOption(1108));
    QCOMPARE(rig.form->Frame1->x(), 40);

    // Restored, the panel goes back to its place.
    rig.form->showNormal();
    QTRY_COMPARE(rig.form->Frame1->x(), 2);
}

void TestSizing::paintFitsOnlyWhenNeeded()
{
    Rig rig;
    QVERIFY(rig.fitsPlayer());
    const QSize client = rig.form->client->size();
    rig.player->viewOptions[26] = false;
    rig.player->calls.clear();
    rig.form->Form_Paint();
    QCOMPARE(rig.form->client->size(), client);
    QCOMPARE(rig.player->calls, QStringList{"setViewOption 26 1"});

    // The player grew on its own: the next paint wraps the window around it.
    rig.player->resize(400, 300);
    rig.form->update();
    QTRY_VERIFY(rig.fitsPlayer());
    QCOMPARE(rig.form->client->size(), QSize(402, 300 + 29));
    // And the window that fits again is left as it is by later paints.
    rig.form->repaint();
    QCoreApplication::processEvents();
    QCOMPARE(rig.form->client->size(), QSize(402, 329));
}

void TestSizing::unknownDisplaySizeChecksNothing()
{
    Rig rig;
    rig.player->displaySize = 7;
    rig.form->Form_Paint();
    QCOMPARE(rig.marks(), QStringList());
    // Neither the default nor the half rule: the panel goes to the left.
    rig.form->Form_Resize();
    QCOMPARE(rig.form->Frame1->x(), 1);
}

QTEST_MAIN(TestSizing)
#include "tst_sizing.moc"
