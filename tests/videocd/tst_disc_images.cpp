// Video CDs whose tracks the program reads from the sectors itself, through
// the window with the real component (headless) and the real Linux drive
// layer on a machine of files: images from every route, a disc the kernel
// mounted, a disc nobody mounted, the folder a desktop names.
#include "platform/LinuxCdDevice.h"
#include "support/FormRig.h"

#include <QMimeData>
#include <QUrl>
#include <QtEndian>
#include <linux/cdrom.h>

using namespace tavero;
using namespace tavero::test;

namespace {

// sysfs, a mount table, device nodes and the drive links, as files.
struct Machine {
    QTemporaryDir dir;
    LinuxCdPaths paths;
    CdDriveStatus drive{0, 0, CDS_NO_DISC};
    std::shared_ptr<LinuxCdDrives> cd;
    LinuxCdAudioDevice audio;
    LinuxDriveQuery query;
    LinuxDiscImages images;

    explicit Machine(bool opticalDrive)
        : paths(layout(dir.path(), opticalDrive)),
          cd(std::make_shared<LinuxCdDrives>(paths)),
          audio(cd, [this](const QString &) { return drive; }),
          query(cd),
          images(cd)
    {
        mount({});
    }
    static LinuxCdPaths layout(const QString &top, bool opticalDrive)
    {
        LinuxCdPaths p{top + "/sys", top + "/mountinfo", top + "/dev", top + "/links"};
        QDir().mkpath(p.sysBlock + "/sda");
        QDir().mkpath(p.devices);
        if (opticalDrive) {
            QDir().mkpath(p.sysBlock + "/sr0");
            QFile f(p.sysBlock + "/sr0/dev");
            if (f.open(QIODevice::WriteOnly))
                f.write("11:0\n");
        }
        return p;
    }
    void mount(const QByteArray &line)
    {
        QFile f(paths.mountInfo);
        if (f.open(QIODevice::WriteOnly))
            f.write("25 1 254:1 / / rw - ext4 /dev/sda1 rw\n" + line);
    }
    void seams(Seams &s)
    {
        s.cdAudio = &audio;
        s.drives = &query;
        s.images = &images;
    }
};

struct DiscRig {
    Machine machine;
    FormRig rig;
    Form1 &form;

    // `prepare` sets the machine up before start-up and returns the
    // command line.
    explicit DiscRig(bool opticalDrive = false, std::function<QString(Machine &)> prepare = {})
        : machine(opticalDrive),
          rig({.real = true, .adjust = [this](Seams &s) { machine.seams(s); }}),
          form(*rig.form)
    {
        rig.mpv->setDiscTracks(machine.cd->tracks());
        rig.mpv->setSpeed(4.0);
        if (prepare)
            rig.platform.program.arguments = prepare(machine);
        form.Form_Load();
    }
    QString root() const { return form.CDDriveRoot(); }
    void waitPlaying(const QString &path)
    {
        QTRY_COMPARE_WITH_TIMEOUT(rig.component->PlayState(), int(MediaPlayer::Playing), 15000);
        QCOMPARE(form.windowTitle(), captionFor(path));
        QCOMPARE(rig.component->FileName(), path);
    }
    QString track(int n, const QString &folder = "MPEGAV") const
    {
        return root() + folder + QStringLiteral("/AVSEQ0%1.DAT").arg(n);
    }
};

} // namespace

class TestDiscImages : public QObject {
    Q_OBJECT
private slots:
    void imageFromEveryRoute_data()
    {
        QTest::addColumn<QString>("route");
        for (const char *r : {"command line", "drop", "open dialog", "recent list"})
            QTest::newRow(r) << r;
    }
    // The image goes into the image drive, the panel fills, the first track
    // plays; another image swaps the disc; Close takes it out.
    void imageFromEveryRoute()
    {
        QFETCH(QString, route);
        const QString cue = TestMedia::vcdImage("cue");
        DiscRig d(false, [&](Machine &) { return route == "command line" ? cue : QString(); });
        if (route == "drop") {
            QMimeData drop;
            drop.setUrls({QUrl::fromLocalFile(cue)});
            d.form.Form_OLEDragDrop(&drop);
        } else if (route == "open dialog") {
            d.rig.platform.openDialog.answer = cue;
            d.form.mnuOpen->trigger();
            QCOMPARE(d.rig.platform.openDialog.lastFilters.last().description,
                     QStringLiteral("Video CD images (*.cue;*.nrg;*.bin)"));
        } else if (route == "recent list") {
            d.form.UpdateRecentFiles(cue);
            d.form.mnuRecent_Click(0);
        }
        d.waitPlaying(d.track(1));
        QVERIFY(d.root().endsWith("/disc-image/"));
        QCOMPARE(d.form.Drive1.List(0), QStringLiteral("disc-image TESTVCD"));
        const QStringList panel = d.rig.slotStates();
        // The size is what plays: 2,324 bytes a sector, not the 2,048 the
        // directory counts.
        QCOMPARE(panel.mid(0, 2), (QStringList{"eY AVSEQ01.DAT  : 0.5 MB ", "eY AVSEQ02.DAT  : 0.5 MB "}));
        QCOMPARE(panel.mid(2), FormRig::emptySlots().mid(2));
        QCOMPARE(d.rig.borders(), QStringList{"0"});
        QCOMPARE(d.form.recentCaption(0), "&1: " + cue.toLower());
        QVERIFY(d.rig.messages().isEmpty());

        // Another image swaps the disc.
        d.rig.platform.openDialog.answer = TestMedia::vcdImage("2336");
        d.form.mnuPlayVCD->setEnabled(true);
        d.form.mnuOpen->setEnabled(true);
        d.form.mnuOpen->trigger();
        d.waitPlaying(d.track(1));
        QCOMPARE(d.form.Drive1.List(0), QStringLiteral("disc-image T2336"));
        QCOMPARE(d.form.File1.ListCount(), 1);
        // The first image's folder went with it.
        const QDir laid(QFileInfo(d.root()).canonicalFilePath() + "/..");
        QCOMPARE(laid.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);

        // Close takes it out: with no optical drive there is no disc then.
        d.form.mnuClose->trigger();
        QTRY_COMPARE(d.rig.component->PlayState(), int(MediaPlayer::Closed));
        QCOMPARE(d.rig.slotStates(), FormRig::emptySlots());
        d.form.Drive1.Refresh();
        QCOMPARE(d.form.Drive1.ListCount(), 0);
        d.form.mnuPlayVCD_Click();
        QCOMPARE(d.rig.messages(), QStringList{"No CD is present in CD-Drive."});
    }

    void continuousPlayReachesTheLastTrack()
    {
        DiscRig d(false, [](Machine &) { return TestMedia::vcdImage("nrg"); });
        d.rig.mpv->setSpeed(8.0);
        d.waitPlaying(d.track(1));
        QTRY_COMPARE_WITH_TIMEOUT(d.form.windowTitle(), captionFor(d.track(2)), 15000);
        QCOMPARE(d.rig.borders(), QStringList{"1"});
        // After the last track the window goes back to its stopped state.
        QTRY_VERIFY_WITH_TIMEOUT(d.form.mnuOpen->isEnabled(), 15000);
        QCOMPARE(d.rig.component->PlayState(), int(MediaPlayer::Stopped));
        QVERIFY(d.rig.messages().isEmpty());
    }

    // Damaged images: a message naming the file, and the window usable.
    void damagedImages()
    {
        QTemporaryDir tmp;
        DiscRig d;
        const QString gone = tmp.filePath("gone.cue");
        QFile sheet(gone);
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("FILE \"gone.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n");
        sheet.close();
        d.form.PlayFile(gone);
        QCOMPARE(d.rig.messages(), QStringList{"Error : Cannot open \"" + gone
                                               + "\": the cue sheet names \"gone.bin\", which cannot be found."});
        stillPlaysAGoodFile(d.rig);

        // A .bin cut short plays up to the cut; when what is missing is
        // more than five seconds of the stream, playback breaks off with a
        // message that says where. (Its first track claims to run on past
        // the end of the image.)
        QFile bin(TestMedia::vcdImage("bin"));
        QVERIFY(bin.open(QIODevice::ReadOnly));
        QByteArray image = bin.read(2352 * 520);
        const qsizetype record = image.indexOf("AVSEQ01.DAT;1") - 33;
        QVERIFY(record > 0);
        qToLittleEndian<quint32>(800 * 2048, image.data() + record + 10);
        const QString cut = tmp.filePath("cut.bin");
        QFile out(cut);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(image) == image.size());
        out.close();
        d.rig.platform.messages.shown.clear();
        d.form.mnuContinuousPlay->setChecked(false);
        d.form.PlayFile(cut);
        d.waitPlaying(d.track(1));
        QTRY_COMPARE_WITH_TIMEOUT(d.rig.messages().size(), 1, 15000);
        QVERIFY2(d.rig.messages()[0].startsWith("Error : Playback of \"" + d.track(1) + "\" broke off at 0:0")
                     && d.rig.messages()[0].endsWith(": the disc could not be read there."),
                 qPrintable(d.rig.messages()[0]));
        stillPlaysAGoodFile(d.rig);
    }

    // A disc the kernel mounted: the panel lists what the mount shows; the
    // tracks, which the mount cannot read, play from the sectors.
    void mountedDisc()
    {
        DiscRig d(true, mountDisc);
        QCOMPARE(d.form.state.TrackCount, 2);
        d.form.Cmd1_MouseDown(1, 0, 0, 0, 0);
        d.waitPlaying(d.root() + "mpegav/avseq02.dat");

        // A seek to the middle lands within a frame or so.
        d.form.mnuPause_Click();
        QTRY_COMPARE(d.rig.component->PlayState(), int(MediaPlayer::Paused));
        d.rig.component->setCurrentPosition(1.0);
        QTest::qWait(500);
        QVERIFY2(qAbs(d.rig.component->CurrentPosition() - 1.0) <= 0.05,
                 qPrintable(QString::number(d.rig.component->CurrentPosition())));
        d.form.mnuRun_Click();
        QTRY_VERIFY_WITH_TIMEOUT(d.form.mnuOpen->isEnabled(), 15000);
        QVERIFY(d.rig.messages().isEmpty());
    }

    // The folder a desktop names when it offers a Video CD: the disc's top
    // folder plays the disc; any other folder is still no file.
    void folderArgument()
    {
        DiscRig disc(true, [](Machine &m) { return mountDisc(m), m.dir.filePath("media/TESTVCD"); });
        disc.waitPlaying(disc.root() + "mpegav/avseq01.dat");
        QVERIFY(disc.rig.messages().isEmpty());

        const QString elsewhere = QDir::tempPath();
        DiscRig other(true, [&](Machine &m) { return mountDisc(m), elsewhere; });
        QCOMPARE(other.rig.messages(), QStringList{"Could not find the file '" + elsewhere + "' ...!"});
    }

    // A disc in a drive nobody mounted shows within two looks at the drive
    // and plays; taken out, it is gone from the panel.
    void unmountedDisc()
    {
        DiscRig d(true);
        QVERIFY(QFile::link(TestMedia::vcdImage("bin"), d.machine.paths.devices + "/sr0"));
        d.machine.drive.status = CDS_DISC_OK;
        d.form.LoadTrackList();
        QTRY_VERIFY_WITH_TIMEOUT((d.form.LoadTrackList(), d.form.state.TrackCount == 2), 5000);
        d.form.FindCDDrive(false);
        QCOMPARE(d.form.Drive1.List(0), QStringLiteral("sr0 TESTVCD"));
        d.form.mnuPlayVCD_Click();
        d.waitPlaying(d.track(1));
        d.form.mnuStop_Click();
        QTRY_COMPARE(d.rig.component->PlayState(), int(MediaPlayer::Stopped));

        // Swapped for another disc: the drive tells, the panel follows.
        QVERIFY(QFile::remove(d.machine.paths.devices + "/sr0"));
        QVERIFY(QFile::link(TestMedia::vcdImage("2336bin"), d.machine.paths.devices + "/sr0"));
        d.machine.drive.mediaChanged = true;
        d.form.LoadTrackList();
        d.machine.drive.mediaChanged = false;
        QTRY_VERIFY_WITH_TIMEOUT((d.form.LoadTrackList(), d.form.state.TrackCount == 1), 5000);
        d.form.FindCDDrive(false);
        QCOMPARE(d.form.Drive1.List(0), QStringLiteral("sr0 T2336"));

        d.machine.drive.status = CDS_NO_DISC;
        d.form.LoadTrackList();
        QCOMPARE(d.rig.slotStates(), FormRig::emptySlots());
        QVERIFY(!QFileInfo::exists(d.root() + "MPEGAV"));
        QVERIFY(d.rig.messages().isEmpty());
    }

private:
    // The image's tree as a Linux mount shows it (lower-case names, files
    // that read as garbage), mounted from the image standing for drive sr0.
    static QString mountDisc(Machine &m)
    {
        const QString mnt = m.dir.filePath("media/TESTVCD");
        QDir().mkpath(mnt + "/mpegav");
        QDir().mkpath(mnt + "/vcd");
        for (const char *name : {"mpegav/avseq01.dat", "mpegav/avseq02.dat"}) {
            QFile f(mnt + '/' + name);
            if (f.open(QIODevice::WriteOnly))
                f.write(QByteArray(800000, '\x5A'));
        }
        m.mount("101 25 11:0 / " + QFile::encodeName(mnt) + " ro - iso9660 "
                + QFile::encodeName(TestMedia::vcdImage("bin")) + " ro\n");
        m.drive.status = CDS_DISC_OK;
        return QString();
    }
};

QTEST_MAIN(TestDiscImages)
#include "tst_disc_images.moc"
