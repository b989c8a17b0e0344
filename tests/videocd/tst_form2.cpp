// The more-tracks list window: its make-up, layout rules, minimum size and
// the ways it closes.
#include "support/FormRig.h"

#include <QFrame>
#include <QListWidget>
#include <QPushButton>

using namespace tavero;
using namespace tavero::test;

class TestForm2 : public QObject {
    Q_OBJECT
private slots:
    void designState();
    void layoutAfterResize();
    void minimumSize();
    void waysToClose();
    void opensCentredAndFresh();
};

static int px(double twips) { return qRound(twips / 15.0); }

// Where the layout rules put the controls for a client area of w x h
// pixels: list width, frame top, frame left, list height (all pixels).
static QList<int> expectedLayout(int w, int h)
{
    const long cw = w * 15, ch = h * 15;
    const long frameTop = ch - 540 - 40;
    const long frameLeft = cw / 2 - 1650 / 2;
    return {px(cw - 10), px(frameTop), px(frameLeft), px(frameTop - 15)};
}

static QList<int> layoutOf(const Form2 &w)
{
    return {w.List1->width(), w.Frame1->y(), w.Frame1->x(), w.List1->height()};
}

void TestForm2::designState()
{
    FormRig rig;
    Form2 w(rig.form.get());
    QCOMPARE(w.windowType(), Qt::Tool);
    QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(w.isModal());
    QCOMPARE(w.size(), QSize(px(2280), px(2445)));
    QCOMPARE(w.List1->selectionMode(), QAbstractItemView::SingleSelection);
    // Load moves the list to 10, 10 twips.
    QCOMPARE(w.List1->pos(), QPoint(px(10), px(10)));
    QCOMPARE(w.cmdOk->parentWidget(), w.Frame1);
    QVERIFY(w.cmdOk->isDefault() && !w.cmdCancel->isDefault());

    // Shown at its design size, the layout rules apply.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(layoutOf(w), expectedLayout(w.width(), w.height()));
    QCOMPARE(w.Frame1->x(), px(315));   // 1140 - 825
}

void TestForm2::layoutAfterResize()
{
    FormRig rig;
    Form2 w(rig.form.get());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (QSize size : {QSize(300, 400), QSize(301, 401), QSize(140, 170), QSize(152, 163)}) {
        w.resize(size);
        QTRY_COMPARE(w.size(), size);
        QCOMPARE(layoutOf(w), expectedLayout(size.width(), size.height()));
        // The buttons' row stays 40 twips above the bottom, centred.
        QCOMPARE(w.Frame1->geometry().bottom() + 1, px(size.height() * 15 - 40));
        QVERIFY(qAbs((w.Frame1->x() + w.Frame1->width() / 2) - size.width() / 2) <= 1);
    }
    // Odd widths halve with the remainder dropped: 4515 / 2 = 2257.
    w.resize(301, 300);
    QTRY_COMPARE(w.width(), 301);
    QCOMPARE(w.Frame1->x(), px(2257 - 825));
}

void TestForm2::minimumSize()
{
    FormRig rig;
    Form2 w(rig.form.get());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(40, 40);
    QTest::qWait(20);
    QVERIFY(w.OuterWidth() >= 2115.0f);
    QVERIFY(w.OuterHeight() >= 2865.0f);
    QCOMPARE(w.size(), QSize(px(2115 - 120), px(2865 - 420)));
    QCOMPARE(layoutOf(w), expectedLayout(w.width(), w.height()));

    // The rule itself, for a size forced past the window's limits.
    w.setMinimumSize(1, 1);
    w.resize(60, 200);
    QTRY_VERIFY(w.width() != 60);
    QVERIFY(w.OuterWidth() >= 2115.0f);
    QVERIFY(w.OuterHeight() >= 2865.0f);
}

void TestForm2::waysToClose()
{
    struct Case {
        const char *name;
        int row;   // -1: no selection
        std::function<void(Form2 *)> close;
        QString chosen;
    };
    const QString untouched = QStringLiteral("untouched");
    const QList<Case> cases{
        {"OK", 1, [](Form2 *w) { w->cmdOk->click(); }, "B.DAT"},
        {"OK without a selection", -1, [](Form2 *w) { w->cmdOk->click(); }, ""},
        {"Enter", 2, [](Form2 *w) { QTest::keyClick(w->List1, Qt::Key_Return); }, "C.DAT"},
        {"Cancel", 1, [](Form2 *w) { w->cmdCancel->click(); }, untouched},
        {"Esc", 1, [](Form2 *w) { QTest::keyClick(w->List1, Qt::Key_Escape); }, untouched},
        {"close box", 1, [](Form2 *w) { w->close(); }, untouched},
        {"access key C", 1, [](Form2 *w) { QTest::keyClick(w, Qt::Key_C, Qt::AltModifier); }, untouched},
        {"double click", 0,
         [](Form2 *w) {
             QListWidget *list = w->List1;
             const QPoint at = list->visualItemRect(list->item(0)).center();
             QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
             QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
         },
         "A.DAT"},
    };
    for (const Case &c : cases) {
        FormRig rig;
        rig.form->state.ChosenTrack = untouched;
        QPointer<Form2> w = new Form2(rig.form.get());
        w->List1->addItems({"A.DAT", "B.DAT", "C.DAT"});
        if (c.row >= 0)
            w->List1->setCurrentRow(c.row);
        bool wasOpen = false;
        whenModal([&](Form2 *d) {
            wasOpen = true;
            d->List1->setFocus();
            c.close(d);
        });
        w->exec();
        QVERIFY2(wasOpen, c.name);
        QVERIFY2(w.isNull(), c.name);   // gone once closed
        QCOMPARE(rig.form->state.ChosenTrack, c.chosen);
    }
}

void TestForm2::opensCentredAndFresh()
{
    FormRig rig({.cdDrive = true});
    rig.disc.addTracks(QStringLiteral("MPEGAV"), 12);
    rig.scan();
    rig.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(rig.form.get()));

    QPoint ownerCentre = rig.form->frameGeometry().center();
    QPoint centre;
    QStringList firstEntries;
    QPointer<Form2> first;
    whenModal([&](Form2 *w) {
        first = w;
        centre = w->frameGeometry().center();
        for (int i = 0; i < w->List1->count(); ++i)
            firstEntries << w->List1->item(i)->text();
        QCOMPARE(w->windowModality(), Qt::ApplicationModal);
        w->cmdCancel->click();
    });
    rig.form->Cmd1_MouseDown(9, 1, 0, 0.0f, 0.0f);
    QVERIFY((centre - ownerCentre).manhattanLength() <= 4);
    QCOMPARE(firstEntries.size(), 3);
    QVERIFY(first.isNull());

    // Second opening, after the disc has lost a track: only its own
    // entries, in a new window.
    QFile::remove(rig.disc.path("MPEGAV/AVSEQ12.DAT"));
    rig.form->state.TrackCount = 0;
    rig.form->LoadTrackList();
    QStringList secondEntries;
    whenModal([&](Form2 *w) {
        for (int i = 0; i < w->List1->count(); ++i)
            secondEntries << w->List1->item(i)->text();
        secondEntries << w->windowTitle();
        w->cmdCancel->click();
    });
    rig.form->Cmd1_MouseDown(9, 1, 0, 0.0f, 0.0f);
    QCOMPARE(secondEntries, (QStringList{"AVSEQ10.DAT", "AVSEQ11.DAT", "More Tracks Found : 2 "}));
    QVERIFY(!rig.form->form2());
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
