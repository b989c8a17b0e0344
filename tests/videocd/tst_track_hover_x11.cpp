// The track slots under a real X server: the pointer is warped over the
// window, so the mouse moves arrive as the X server sends them.
#include "support/FormRig.h"

#include <QCursor>

using namespace tavero;
using namespace tavero::test;

class TestTrackHoverX11 : public QObject {
    Q_OBJECT
private slots:
    void buttonRisesOverItsLabelOnly();
};

void TestTrackHoverX11::buttonRisesOverItsLabelOnly()
{
    FormRig rig({.cdDrive = true});
    const QStringList names = rig.disc.addTracks(QStringLiteral("MPEGAV"), 3);
    rig.form->FindCDDrive(true);
    rig.form->LoadTrackList();
    Form1 &form = *rig.form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();

    auto pointAt = [](QWidget *w, QPoint p) { QCursor::setPos(w->mapToGlobal(p)); };
    auto centre = [](QWidget *w) { return w->rect().center(); };

    pointAt(form.Lbl1[0], centre(form.Lbl1[0]));
    QTRY_VERIFY_WITH_TIMEOUT(form.Cmd1[0]->isVisible(), 10000);
    // Moving about on the risen button keeps it up.
    pointAt(form.Cmd1[0], centre(form.Cmd1[0]) + QPoint(3, 1));
    QTest::qWait(100);
    QVERIFY(form.Cmd1[0]->isVisible());

    pointAt(form.Lbl1[2], centre(form.Lbl1[2]));
    QTRY_VERIFY_WITH_TIMEOUT(form.Cmd1[2]->isVisible(), 10000);
    QVERIFY(!form.Cmd1[0]->isVisible());

    pointAt(form.Frame1, QPoint(4, form.Frame1->height() / 2));
    QTRY_VERIFY_WITH_TIMEOUT(!form.Cmd1[2]->isVisible(), 10000);

    pointAt(form.Lbl1[1], centre(form.Lbl1[1]));
    QTRY_VERIFY_WITH_TIMEOUT(form.Cmd1[1]->isVisible(), 10000);
    const QPoint gap(1, (form.Frame1->geometry().bottom() + form.WMP1->geometry().top()) / 2);
    pointAt(form.client, gap);
    QTRY_VERIFY_WITH_TIMEOUT(!form.Cmd1[1]->isVisible(), 10000);

    // The video's own mouse move puts the button down too.
    pointAt(form.Lbl1[0], centre(form.Lbl1[0]));
    QTRY_VERIFY_WITH_TIMEOUT(form.Cmd1[0]->isVisible(), 10000);
    emit form.WMP1->MouseMove(0, 0, 300.0f, 300.0f);
    QVERIFY(!form.Cmd1[0]->isVisible());

    // A label without a track raises nothing and puts the others down.
    pointAt(form.Lbl1[1], centre(form.Lbl1[1]));
    QTRY_VERIFY_WITH_TIMEOUT(form.Cmd1[1]->isVisible(), 10000);
    pointAt(form.Lbl1[6], centre(form.Lbl1[6]));
    QTRY_VERIFY_WITH_TIMEOUT(!form.Cmd1[1]->isVisible(), 10000);
    QVERIFY(!form.Cmd1[6]->isVisible());

    // Any mouse button going down on a risen button plays its track.
    for (auto [slot, button] : {std::pair{1, Qt::RightButton}, std::pair{2, Qt::MiddleButton},
                                std::pair{0, Qt::LeftButton}}) {
        pointAt(form.Lbl1[slot], centre(form.Lbl1[slot]));
        QTRY_VERIFY_WITH_TIMEOUT(form.Cmd1[slot]->isVisible(), 10000);
        QTest::mousePress(form.Cmd1[slot], button, {}, centre(form.Cmd1[slot]));
        QTest::mouseRelease(form.Cmd1[slot], button, {}, centre(form.Cmd1[slot]));
        QTRY_COMPARE(rig.opened().value(rig.opened().size() - 1),
                     rig.disc.path("MPEGAV/") + names[slot]);
        QCOMPARE(rig.borders(), QStringList{QString::number(slot)});
        QVERIFY(!form.Cmd1[slot]->isVisible());
    }

    // The playing track's label raises no button, and a click on it does
    // not start the track again.
    const qsizetype opens = rig.opened().size();
    pointAt(form.Lbl1[2], centre(form.Lbl1[2]));
    pointAt(form.Lbl1[0], centre(form.Lbl1[0]));
    QTest::qWait(200);
    QVERIFY(!form.Cmd1[0]->isVisible());
    QTest::mouseClick(form.Lbl1[0], Qt::LeftButton, {}, centre(form.Lbl1[0]));
    QTest::qWait(50);
    QCOMPARE(rig.opened().size(), opens);
}

QTEST_MAIN(TestTrackHoverX11)
#include "tst_track_hover_x11.moc"
