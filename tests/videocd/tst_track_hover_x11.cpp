// The track slots under a real X server: the pointer is warped over the
// window, so the mouse moves arrive as the X server sends them.
#include "VcdFixture.h"

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
    Rig rig;
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

    // A right button on a risen button plays its track.
    pointAt(form.Lbl1[1], centre(form.Lbl1[1]));
    QTRY_VERIFY_WITH_TIMEOUT(form.Cmd1[1]->isVisible(), 10000);
    QTest::mousePress(form.Cmd1[1], Qt::RightButton, {}, centre(form.Cmd1[1]));
    QTest::mouseRelease(form.Cmd1[1], Qt::RightButton, {}, centre(form.Cmd1[1]));
    QTRY_COMPARE(rig.opened().value(0), rig.disc.path("MPEGAV/") + names[1]);
    QCOMPARE(rig.borders(), QStringList{"1"});
}

QTEST_MAIN(TestTrackHoverX11)
#include "tst_track_hover_x11.moc"
