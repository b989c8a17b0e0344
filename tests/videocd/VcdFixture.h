#pragma once
// Discs for the Video CD tests: temporary folders that stand for the top
// folder of a disc, filled with small track files, and a window wired to
// fake seams with one CD drive.

#include "app/Form1.h"
#include "support/FakeMediaPlayer.h"
#include "support/Fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace tavero::test {

class Disc {
public:
    Disc() { QVERIFY(dir_.isValid()); }
    // The disc's top folder as a drive root (ends in "/").
    QString root() const { return dir_.path() + QLatin1Char('/'); }
    QString path(const QString &relative) const { return dir_.path() + QLatin1Char('/') + relative; }

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

    void addFiles(const QString &folder, const QStringList &names, const QByteArray &bytes = "data")
    {
        const QString where = folder.isEmpty() ? dir_.path() : path(folder);
        QDir().mkpath(where);
        for (const QString &name : names) {
            QFile f(where + QLatin1Char('/') + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
    }

    void clear()
    {
        QDir top(dir_.path());
        for (const QFileInfo &info : top.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            if (info.isDir())
                QDir(info.filePath()).removeRecursively();
            else
                QFile::remove(info.filePath());
        }
    }

private:
    QTemporaryDir dir_;
};

// A window with fake seams; `disc` is the one CD drive (entry "sr0").
struct Rig {
    FakePlatform platform;
    FakeMediaPlayer *player = new FakeMediaPlayer;
    std::unique_ptr<Form1> form;
    Disc disc;

    Rig()
    {
        platform.drives.add(QStringLiteral("sr0"), disc.root(), DriveQuery::kCdRom);
        form = std::make_unique<Form1>(platform.seams(), player);
        // The panel as start-up leaves it before the first scan.
        for (int i = 0; i < Form1::kSlots; ++i) {
            form->Lbl1[i]->setEnabled(false);
            form->Cmd1[i]->hide();
        }
    }

    // The slot states that a scan produces, one text per slot:
    // "e" enabled or "-" disabled, "Y" yellow or "F" button face, then the
    // tooltip (label and button must agree, else "MISMATCH").
    QStringList slotStates() const
    {
        QStringList out;
        for (int i = 0; i < Form1::kSlots; ++i) {
            const TrackLabel *l = form->Lbl1[i];
            const TrackButton *b = form->Cmd1[i];
            QString s = l->isEnabled() ? QStringLiteral("e") : QStringLiteral("-");
            if (l->BackColor() != b->BackColor())
                s += QStringLiteral("?");
            else if (l->BackColor() == kColorYellow)
                s += QStringLiteral("Y");
            else if (l->BackColor() == kColorButtonFace)
                s += QStringLiteral("F");
            else
                s += QStringLiteral("#");
            s += l->toolTip() == b->toolTip() ? l->toolTip() : QStringLiteral("MISMATCH");
            out << s;
        }
        return out;
    }

    static QStringList emptySlots() { return QStringList(Form1::kSlots, QStringLiteral("-F")); }

    QStringList borders() const
    {
        QStringList out;
        for (int i = 0; i < Form1::kSlots; ++i)
            if (form->Lbl1[i]->BorderStyle() != 0)
                out << QString::number(i);
        return out;
    }

    int enabledLabels() const
    {
        int n = 0;
        for (TrackLabel *l : form->Lbl1)
            n += l->isEnabled() ? 1 : 0;
        return n;
    }

    // Paths the player was asked to open.
    QStringList opened() const
    {
        QStringList out;
        for (const QString &c : player->calls)
            if (c.startsWith(QLatin1String("Open ")))
                out << c.mid(5);
        return out;
    }
};

} // namespace tavero::test
