// Long runs with the real component: a short clip restarted many times under
// Play Loop, and many open/close cycles. Memory must not creep and the menus
// must end where a single run leaves them.
#include "support/FormRig.h"

#include <QTimer>

using namespace tavero;
using namespace tavero::test;

namespace {

constexpr qint64 kMaxGrowthKb = 5 * 1024;

// Resident memory of this process in kB.
qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

QString growthText(qint64 before, qint64 after)
{
    return QStringLiteral("resident memory %1 kB -> %2 kB").arg(before).arg(after);
}

} // namespace

class TestPlaybackSoak : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void loopRestarts();
    void openCloseCycles();
};

void TestPlaybackSoak::initTestCase()
{
    QVERIFY(QFile::exists(TestMedia::mpegClip(0.3)));
    QVERIFY(QFile::exists(TestMedia::mpegClip(1.0)));
}

void TestPlaybackSoak::loopRestarts()
{
    FormRig rig({.real = true});
    Form1 &form = *rig.form;
    form.Form_Load();
    rig.mpv->setSpeed(4);
    // The status timer restarts the clip; it ticks faster here so that the
    // run takes seconds, not minutes. What it does on a tick is unchanged.
    form.Timer1->setInterval(10);
    form.mnuLoop->trigger();
    QVERIFY(form.mnuLoop->isChecked());
    int restarts = 0;
    connect(rig.component, &MediaPlayer::PlayStateChange, this, [&](int from, int to) {
        if (from == MediaPlayer::Stopped && to == MediaPlayer::Playing)
            ++restarts;
    });

    const QString clip = TestMedia::mpegClip(0.3);
    rig.platform.openDialog.answer = clip;
    form.mnuOpen->trigger();
    QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Playing));

    QTRY_VERIFY_WITH_TIMEOUT(restarts >= 30, 60000);
    const qint64 before = residentKb();
    QTRY_VERIFY_WITH_TIMEOUT(restarts >= 330, 150000);
    const qint64 after = residentKb();
    qInfo("%d restarts, %s", restarts, qPrintable(growthText(before, after)));
    QVERIFY2(after - before < kMaxGrowthKb, qPrintable(growthText(before, after)));

    // Loop off: the clip plays out once more and stays stopped.
    form.mnuLoop->trigger();
    QVERIFY(!form.mnuLoop->isChecked());
    QTRY_COMPARE_WITH_TIMEOUT(rig.component->PlayState(), int(MediaPlayer::Stopped), 10000);
    const int settled = restarts;
    QTest::qWait(200);
    QCOMPARE(restarts, settled);
    QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Stopped));
    QVERIFY(rig.messages().isEmpty());
    QCOMPARE(form.windowTitle(), captionFor(clip));
    QVERIFY(form.mnuRun->isEnabled());
    QVERIFY(!form.mnuPause->isEnabled());
    QVERIFY(!form.mnuStop->isEnabled());
    QVERIFY(form.mnuOpen->isEnabled());
    QVERIFY(form.mnuClose->isEnabled());
    QVERIFY(form.mnuContinuousPlay->isChecked());
    QCOMPARE(form.recentCaption(0), QStringLiteral("&1: ") + clip.toLower());
    QVERIFY(form.recentCaption(1).isEmpty());
    QVERIFY(form.Timer1->isActive());
}

void TestPlaybackSoak::openCloseCycles()
{
    FormRig rig({.real = true});
    Form1 &form = *rig.form;
    form.Form_Load();
    const QStringList clips{TestMedia::mpegClip(0.3), TestMedia::mpegClip(1.0)};

    auto cycle = [&](int i) {
        const QString clip = clips.at(i % 2);
        rig.platform.openDialog.answer = clip;
        QVERIFY(form.mnuOpen->isEnabled());
        form.mnuOpen->trigger();
        QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Playing));
        QCOMPARE(form.windowTitle(), captionFor(clip));
        QVERIFY(form.mnuClose->isEnabled());
        form.mnuClose->trigger();
        QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Closed));
    };
    // Warm-up: each file starts new threads in the video engine, and the C
    // library gives them memory arenas of their own until it reaches its
    // limit, some 10 MB over the first few dozen files; after that the
    // arenas are reused (with MALLOC_ARENA_MAX=1 there is no warm-up).
    for (int i = 0; i < 50; ++i) {
        cycle(i);
        if (QTest::currentTestFailed())
            return;
    }
    const qint64 before = residentKb();
    for (int i = 0; i < 100; ++i) {
        cycle(i);
        if (QTest::currentTestFailed())
            return;
    }
    // Whatever the component still had queued is taken up.
    QTest::qWait(100);
    const qint64 after = residentKb();
    qInfo("%s", qPrintable(growthText(before, after)));
    QVERIFY2(after - before < kMaxGrowthKb, qPrintable(growthText(before, after)));

    QVERIFY(rig.messages().isEmpty());
    QCOMPARE(form.windowTitle(), QStringLiteral(" Tavero Player v3.0 "));
    QVERIFY(!form.mnuClose->isEnabled());
    QVERIFY(!form.mnuRun->isEnabled());
    QVERIFY(!form.mnuPause->isEnabled());
    QVERIFY(!form.mnuStop->isEnabled());
    QVERIFY(form.mnuOpen->isEnabled());
    QCOMPARE(form.recentCaption(0), QStringLiteral("&1: ") + clips.at(0).toLower());
    QCOMPARE(form.recentCaption(1), QStringLiteral("&2: ") + clips.at(1).toLower());
    QVERIFY(form.recentCaption(2).isEmpty());
    QVERIFY(form.mnuD02->isVisible());
    stillPlaysAGoodFile(rig);
}

QTEST_MAIN(TestPlaybackSoak)
#include "tst_playback_soak.moc"
