#pragma once
// A main window on fake seams and a fake component, and a Video CD that can
// be put into a fake CD drive. The disc is listed the way the track scan
// lists it, so a scan that runs later finds nothing to change.

#include "app/Form1.h"
#include "support/FakeMediaPlayer.h"
#include "support/Fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

namespace tavero::test {

struct PlaybackRig {
    FakePlatform platform;
    FakeMediaPlayer *player = nullptr;   // the fake, unless a real component was given
    std::unique_ptr<Form1> form;
    QTemporaryDir disc;

    explicit PlaybackRig(MediaPlayer *component = nullptr)
    {
        // Timer ticks and other queued events run only when a test spins
        // the event loop itself.
        platform.events.runQtEvents = false;
        if (!component)
            component = player = new FakeMediaPlayer;
        form = std::make_unique<Form1>(platform.seams(), component);
    }

    // Track files hold `source`'s bytes, or a few bytes of nothing.
    void insertDisc(int tracks, const QString &source = QString())
    {
        QDir root(disc.path());
        root.mkdir(QStringLiteral("Mpegav"));
        for (int k = 0; k < tracks; ++k) {
            const QString name =
                root.filePath(QStringLiteral("Mpegav/AVSEQ%1.DAT").arg(k + 1, 2, 10, QLatin1Char('0')));
            if (!source.isEmpty()) {
                QFile::copy(source, name);
                continue;
            }
            QFile f(name);
            if (f.open(QIODevice::WriteOnly))
                f.write("RIFF");
        }
        platform.drives.add(QStringLiteral("cd0"), disc.path(), DriveQuery::kCdRom);
        platform.cdAudio.setDisc(true);
        form->setCDDriveRoot(disc.path() + QLatin1Char('/'));
        form->state.CDFolder = disc.path() + QStringLiteral("/Mpegav");
        form->File1.setPattern(QStringLiteral("*.dat;*.mpg;*.mpeg"));
        form->File1.setPath(disc.path() + QStringLiteral("/Mpegav"));
        form->state.TrackFolder = form->File1.Path();
        form->state.TrackCount = std::int16_t(tracks);
        form->state.DiscPresent = true;
        for (int i = 0; i < Form1::kSlots && i < tracks; ++i)
            form->Lbl1[i]->setEnabled(true);
    }

    QString track(int k) const
    {
        return form->state.TrackFolder + QLatin1Char('/') + form->File1.List(k);
    }

    // Plays track k the way a track slot does.
    void playTrack(int k)
    {
        form->state.SingleFileMode = false;
        form->PlayFile(track(k));
    }

    int borderOf(int slot) const { return form->Lbl1[slot]->BorderStyle(); }

    // Slots whose label carries the playing-track marker.
    QList<int> marked() const
    {
        QList<int> out;
        for (int i = 0; i < Form1::kSlots; ++i) {
            if (form->Lbl1[i]->BorderStyle() == 1)
                out << i;
        }
        return out;
    }

    QStringList opened() const { return player->calls.filter(QStringLiteral("Open ")); }
};

} // namespace tavero::test
