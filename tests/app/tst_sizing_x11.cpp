// The four sizes with the real video component on a real X display: the
// picture at half, default and double size with the window wrapped around
// it, and full screen. Screenshots go to the test media folder.
#include "app/Form1.h"
#include "playback/MpvPlayer.h"
#include "support/Fakes.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QtTest>
#include <memory>

using namespace tavero;
using namespace tavero::test;

class TestSizingX11 : public QObject {
    Q_OBJECT
private slots:
    void fourSizes();
};

void TestSizingX11::fourSizes()
{
    const QString clip = TestMedia::mpegClip(30.0);
    FakePlatform platform;
    auto *player = new MpvPlayer;
    QVERIFY(!player->isHeadless());
    Form1 form(platform.seams(), player);
    form.Form_Load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    platform.openDialog.answer = clip;
    form.mnuOpen->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(player->PlayState(), int(MediaPlayer::Playing), 15000);

    auto fits = [&] {
        return form.OuterWidth() == player->Left() + player->Width() + 120 &&
               form.OuterHeight() == player->Top() + player->Height() + 670 &&
               form.client->rect().contains(player->geometry());
    };
    auto shoot = [&](const QString &name) {
        QTest::qWait(500);   // a few frames at the new size
        const QString path = QDir(TestMedia::dir()).filePath(QStringLiteral("size-%1.png").arg(name));
        QGuiApplication::primaryScreen()->grabWindow(0).save(path);
        qInfo("screenshot: %s", qPrintable(path));
    };

    struct Step {
        QAction *item;
        QString name;
        QSize video;
    };
    const QList<Step> steps{{form.mnu50, "half", QSize(176, 144)},
                            {form.mnu100, "default", QSize(352, 288)},
                            {form.mnu200, "double", QSize(704, 576)}};
    for (const Step &s : steps) {
        s.item->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(player->videoArea()->size(), s.video, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(fits(), 10000);
        QVERIFY(s.item->isChecked());
        // The window itself wraps the client area, nothing more.
        QTRY_COMPARE(form.centralWidget()->geometry().bottom(), form.rect().bottom());
        shoot(s.name);
    }
    QCOMPARE(form.Frame1->x(), 1);   // double size: the panel at the left

    form.mnuFullScreen->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(player->fullScreenWindow() && player->fullScreenWindow()->isFullScreen(), 10000);
    QVERIFY(form.mnuFullScreen->isChecked());
    shoot(QStringLiteral("full"));

    form.mnu100->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(player->videoArea()->size(), QSize(352, 288), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(fits(), 10000);
    QVERIFY(form.mnu100->isChecked() && !form.mnuFullScreen->isChecked());
    shoot(QStringLiteral("back"));
    form.mnuStop->trigger();
}

QTEST_MAIN(TestSizingX11)
#include "tst_sizing_x11.moc"
