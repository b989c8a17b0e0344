#pragma once
// A main window over the fake seams, with the scriptable component or the real one (headless), and a temporary folder
// that stands for the top folder of a disc.

#include "app/Form1.h"
#include "playback/MpvPlayer.h"
#include "support/FakeMediaPlayer.h"
#include "support/Fakes.h"
#include "support/TestMedia.h"
#include "videocd/Form2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <type_traits>

namespace tavero::test {

class Disc {
public:
    Disc() { QVERIFY(dir_.isValid()); }
    // The disc's top folder as a drive root (ends in "/").
    QString root() const { return dir_.path() + QLatin1Char('/'); }
    QString path(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? dir_.path() : dir_.path() + QLatin1Char('/') + relative;
    }

    // Writes `count` track files named <prefix>01<ext>, <prefix>02<ext>...
    // into `folder` ("" = the top of the disc). Returns their names.
    QStringList addTracks(const QString &folder, int count, const QString &ext = QStringLiteral(".DAT"),
                          const QString &prefix = QStringLiteral("AVSEQ"))
    {
        QStringList names;
        for (int i = 1; i <= count; ++i)
            names << prefix + QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')) + ext;
        addFiles(folder, names);
        return names;
    }

    // The files hold `bytes`, or a copy of the file `source` when given.
    void addFiles(const QString &folder, const QStringList &names, const QByteArray &bytes = "data",
                  const QString &source = QString())
    {
        const QString where = folder.isEmpty() ? dir_.path() : path(folder);
        QDir().mkpath(where);
        for (const QString &name : names) {
            const QString file = where + QLatin1Char('/') + name;
            if (!source.isEmpty()) {
                QVERIFY(QFile::copy(source, file));
                continue;
            }
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
    }

    void clear()
    {
        QDir(dir_.path()).removeRecursively();
        QDir().mkpath(dir_.path());
    }

private:
    QTemporaryDir dir_;
};

struct FormRig {
    struct Options {
        bool real = false;          // the real component (headless) instead of the fake
        bool picture = false;       // ... with a picture, where the display has one
        bool runQtEvents = true;    // false: queued events run only when the test spins the loop
        bool cdDrive = false;       // `disc` is drive "sr0"; the panel as start-up leaves it
        std::function<void(Seams &)> adjust = {};   // may put real seams in place of fakes
    };

    FakePlatform platform;
    Disc disc;
    FakeMediaPlayer *player = nullptr;   // the fake, unless the real component was asked for
    MpvPlayer *mpv = nullptr;            // the real component, if asked for
    MediaPlayer *component = nullptr;    // whichever of the two
    std::unique_ptr<Form1> form;

    FormRig() : FormRig(Options{}) {}
    explicit FormRig(const Options &options)
    {
        if (options.real)
            component = mpv = new MpvPlayer(options.picture ? MpvPlayer::Output::Auto : MpvPlayer::Output::Headless);
        else
            component = player = new FakeMediaPlayer;
        if (options.cdDrive)
            platform.drives.add(QStringLiteral("sr0"), disc.root(), DriveQuery::kCdRom);
        platform.events.runQtEvents = options.runQtEvents;
        Seams seams = platform.seams();
        if (options.adjust)
            options.adjust(seams);
        form = std::make_unique<Form1>(seams, component);
        if (options.cdDrive) {
            for (int i = 0; i < Form1::kSlots; ++i) {
                form->Lbl1[i]->setEnabled(false);
                form->Cmd1[i]->hide();
            }
        }
    }

    // A CD drive whose top folder is `root`, with a disc in it.
    void addDrive(const QString &root)
    {
        platform.drives.add(QStringLiteral("sr0"), root, DriveQuery::kCdRom);
        platform.cdAudio.setDisc(true);
    }

    // A Video CD of `tracks` files put into the drive and scanned by the
    // window. The files hold `source`'s bytes, if given.
    void insertDisc(int tracks, const QString &source = QString())
    {
        QStringList names;
        for (int k = 1; k <= tracks; ++k)
            names << QStringLiteral("AVSEQ%1.DAT").arg(k, 2, 10, QLatin1Char('0'));
        disc.addFiles(QStringLiteral("Mpegav"), names, "RIFF", source);
        addDrive(disc.path());
        scan();
    }

    // The drive found and the track list scanned, as at start-up.
    void scan()
    {
        form->FindCDDrive(true);
        form->LoadTrackList();
    }

    // Track k (from 0) as the window lists it.
    QString track(int k) const { return form->File1.Path() + QLatin1Char('/') + form->File1.List(k); }

    // Plays track k (below 9) the way a press on its slot does.
    void playTrack(int k) { form->Cmd1_MouseDown(k, 1, 0, 0, 0); }

    // Slots whose label carries the playing-track marker.
    QList<int> marked() const
    {
        QList<int> out;
        for (int i = 0; i < Form1::kSlots; ++i) {
            if (form->Lbl1[i]->BorderStyle() != 0)
                out << i;
        }
        return out;
    }
    QStringList borders() const
    {
        QStringList out;
        for (int i : marked())
            out << QString::number(i);
        return out;
    }

    // The slot states that a scan produces, one text per slot: "e" enabled or "-" disabled, "Y" yellow or "F" button
    // face, then the tooltip (label and button must agree, else "MISMATCH").
    QStringList slotStates() const
    {
        QStringList out;
        for (int i = 0; i < Form1::kSlots; ++i) {
            const TrackLabel *l = form->Lbl1[i];
            const TrackButton *b = form->Cmd1[i];
            const auto c = l->BackColor();
            out << QString(l->isEnabled() ? "e" : "-") +
                       (c != b->BackColor() ? "?" : c == kColorYellow ? "Y" : c == kColorButtonFace ? "F" : "#") +
                       (l->toolTip() == b->toolTip() ? l->toolTip() : QStringLiteral("MISMATCH"));
        }
        return out;
    }
    static QStringList emptySlots() { return QStringList(Form1::kSlots, QStringLiteral("-F")); }

    int enabledLabels() const
    {
        return int(std::count_if(form->Lbl1.begin(), form->Lbl1.end(), [](auto *l) { return l->isEnabled(); }));
    }

    // Paths the fake component was asked to open.
    QStringList opened() const
    {
        QStringList out;
        for (const QString &c : player->calls)
            if (c.startsWith(QLatin1String("Open ")))
                out << c.mid(5);
        return out;
    }

    QStringList messages() const { return platform.messages.texts(); }

    // Outer size = the component's area plus the frame allowances.
    bool fitsPlayer() const
    {
        return form->OuterWidth() == component->Left() + component->Width() + Form1::kWidthAllowance &&
               form->OuterHeight() == component->Top() + component->Height() + Form1::kHeightAllowance;
    }
};

inline QString captionFor(const QString &path)
{
    return QStringLiteral("Tavero : ") + path.toLower();
}

// The window is usable: File > Open File is offered and plays a good clip, with no message.
inline void stillPlaysAGoodFile(FormRig &rig)
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

// Runs `act` on the more-tracks window (or another dialog) once it is up and modal. The timer keeps looking until
// then: the slot lets pending events run before it opens the window. Whatever `act` does, the window does not stay open.
template <typename Dialog = Form2> void whenModal(std::type_identity_t<std::function<void(Dialog *)>> act)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        const QPointer dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
        if (dialog && dialog->isVisible())
            static_cast<QDialog *>(dialog.data())->reject();
    });
    timer->start();
}

} // namespace tavero::test
