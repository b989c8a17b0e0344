// Long runs with the real component: many open/close cycles, then a short clip restarted many times
// under Play Loop. Resident memory grows by less than 5 MB over each, where a leak would show.
#include "support/FormRig.h"

using namespace tavero;
using namespace tavero::test;

class TestPlaybackSoak : public QObject {
    Q_OBJECT
private slots:
    void longRuns()
    {
        auto residentKb = [] {
            QFile status("/proc/self/status");
            const QString text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
            return QRegularExpression("VmRSS:\\s*(\\d+)").match(text).captured(1).toLongLong();
        };
        FormRig rig({.real = true});
        Form1 &form = *rig.form;
        form.Form_Load();
        const QStringList clips{TestMedia::mpegClip(1.0), TestMedia::mpegClip(0.3)};
        qint64 before = 0;
        for (int i = 0; i < 150; ++i) {
            before = i == 50 ? residentKb() : before;   // after the engine's first threads took their memory
            rig.platform.openDialog.answer = clips.at(i % 2);
            form.mnuOpen->trigger();
            QCOMPARE(form.windowTitle(), captionFor(clips.at(i % 2)));
            form.mnuClose->trigger();
        }
        QTest::qWait(100);   // whatever the component still had queued is taken up
        QCOMPARE_LT(residentKb(), before + 5 * 1024);
        // The status timer restarts the short clip, the dialog's last answer; it
        // ticks faster here and the clip plays faster, so that this takes seconds.
        rig.mpv->setSpeed(4);
        form.Timer1->setInterval(10);
        form.mnuLoop->trigger();
        int restarts = 0;
        connect(rig.component, &MediaPlayer::PlayStateChange, this,
                [&](int from, int to) { restarts += from == MediaPlayer::Stopped && to == MediaPlayer::Playing; });
        form.mnuOpen->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(restarts >= 30, 60000);
        before = residentKb();
        QTRY_VERIFY_WITH_TIMEOUT(restarts >= 330, 150000);
        QCOMPARE_LT(residentKb(), before + 5 * 1024);
        QVERIFY(rig.messages().isEmpty() && form.recentCaption(2).isEmpty());
        stillPlaysAGoodFile(rig);
    }
};

QTEST_MAIN(TestPlaybackSoak)
#include "tst_playback_soak.moc"
