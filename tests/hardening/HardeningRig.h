#pragma once
// A main window with the real component (headless) on the fake seams, whose
// file system is the real one underneath, and the checks that every
// hardening case ends with: the window still opens and plays a good file.

#include "app/Form1.h"
#include "playback/MpvPlayer.h"
#include "support/Fakes.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <functional>
#include <memory>

namespace tavero::test {

struct RealRig {
    FakePlatform platform;
    MpvPlayer *component = new MpvPlayer(MpvPlayer::Output::Headless);
    std::unique_ptr<Form1> form;

    // `adjust` may put real seams in place of fakes.
    explicit RealRig(const std::function<void(Seams &)> &adjust = {})
    {
        platform.events.runQtEvents = true;
        Seams seams = platform.seams();
        if (adjust)
            adjust(seams);
        form = std::make_unique<Form1>(seams, component);
    }

    // A CD drive whose top folder is `root`, with a disc in it.
    void addDrive(const QString &root)
    {
        platform.drives.add(QStringLiteral("sr0"), root, DriveQuery::kCdRom);
        platform.cdAudio.setDisc(true);
    }

    QStringList messages() const { return platform.messages.texts(); }
};

inline QString captionFor(const QString &path)
{
    return QStringLiteral("Tavero : ") + path.toLower();
}

// The window is usable: File > Open File is offered and plays a good clip,
// with no message.
inline void stillPlaysAGoodFile(RealRig &rig)
{
    Form1 &form = *rig.form;
    const QString good = TestMedia::mpegClip(1.0);
    const qsizetype before = rig.platform.messages.shown.size();
    // Open File is offered while nothing plays.
    if (rig.component->PlayState() == MediaPlayer::Playing) {
        form.mnuAction_Click();
        QVERIFY(form.mnuStop->isEnabled());
        form.mnuStop->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(rig.component->PlayState(), int(MediaPlayer::Stopped), 15000);
    }
    form.mnuFile_Click();   // the refresh the menu runs when it drops down
    QVERIFY(form.mnuOpen->isEnabled());
    rig.platform.openDialog.answer = good;
    form.mnuOpen->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(rig.component->PlayState(), int(MediaPlayer::Playing), 15000);
    QCOMPARE(rig.component->FileName(), good);
    QCOMPARE(form.windowTitle(), captionFor(good));
    QVERIFY(form.mnuClose->isEnabled());
    QVERIFY(form.mnuStop->isEnabled());
    QCOMPARE(rig.platform.messages.shown.size(), before);
}

// Resident memory of this process in kB.
inline qint64 residentKb()
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

} // namespace tavero::test
