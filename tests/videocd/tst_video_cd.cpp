// Video CDs through the window: over the fake seams, and as real images with the
// real component (headless) and Linux drive layer on a machine made of files.
#include "platform/LinuxCdDevice.h"
#include "playback/ControlBar.h"
#include "support/FormRig.h"

#include <QAction>
#include <QMenu>
#include <QFrame>
#include <QListWidget>
#include <QMimeData>
#include <QSaveFile>
#include <QUrl>
#include <QtEndian>
#include <linux/cdrom.h>
#include <sys/stat.h>

using namespace tavero;
using namespace tavero::test;

namespace {

// Counts the events of one kind that reach an object.
struct EventSpy : QObject {
    EventSpy(QObject *on, QEvent::Type type, std::function<void()> seen) : type_(type), seen_(std::move(seen))
    {
        on->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == type_)
            seen_();
        return false;
    }
    QEvent::Type type_;
    std::function<void()> seen_;
};

const QString kNoVideoCd = QStringLiteral("No files found to play or CD is not a video CD ...");

// Files on the disc, the tracks on the panel, what Play Video CD says, the slots on, the disc check's answer.
struct Scan { QStringList files, tracks; QString message; int on, result = 0; QString reply = "true"; };
struct More { int tracks, row; QKeyCombination close; int plays; };   // close none: a double click; plays 0: none

// Files on the disc: "FOLDER/NAME", "NAME" at its top, "FOLDER/" an empty folder ("/" none).
void put(test::Disc &disc, const QStringList &files, const QByteArray &bytes = "data")
{
    for (const QString &f : files)
        disc.addFiles(f.section('/', 0, -2), f.endsWith('/') ? QStringList() : QStringList{f.section('/', -1)},
                      bytes);
}

// Tracks `folder`AVSEQnn.DAT, nn from `from` to `to`.
QStringList seq(const QString &folder, int to, int from = 1)
{
    QStringList out;
    for (int k = from; k <= to; ++k)
        out << folder + QStringLiteral("AVSEQ%1.DAT").arg(k, 2, 10, QLatin1Char('0'));
    return out;
}

// The panel a scan builds for these tracks, as FormRig::slotStates shows it.
QStringList panelOf(const QStringList &tracks)
{
    QStringList out = FormRig::emptySlots();
    for (int i = 0; i < tracks.size() && i < Form1::kSlots; ++i)
        out[i] = QStringLiteral("eY %1  : 0.0 MB ").arg(tracks[i].section('/', -1));
    if (tracks.size() > Form1::kSlots)
        out[TrackPanel::kMoreSlot] = QStringLiteral("eY More tracks list ...");
    return out;
}

// The drive that support/FakeDrive.cpp, preloaded by ctest, makes of system calls; "" when the test runs without it.
QString fakeDrive()
{
    struct stat st {};
    const QByteArray node = qgetenv("TAVERO_FAKE_DRIVE");
    return !node.isEmpty() && ::stat(node.constData(), &st) == 0 && S_ISBLK(st.st_mode) ? QFile::decodeName(node)
                                                                                          : QString();
}

// What the fake drive does from now on (see its control file).
void script(const QByteArray &lines)
{
    const QString path = qEnvironmentVariable("TAVERO_FAKE_DRIVE_SCRIPT");
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(lines) == lines.size() && file.commit());
}

// The raw image beside the cue sheet of a kind of TestMedia::vcdImage.
QByteArray rawImage(const QString &kind)
{
    return QFile::encodeName(TestMedia::vcdImage(kind).chopped(3) + "bin");
}

// The Video CD image cut short under its first track, which runs on past the cut.
QByteArray cutImage()
{
    QFile bin(TestMedia::vcdImage("bin"));
    QByteArray image = bin.open(QIODevice::ReadOnly) ? bin.read(2352 * 520) : QByteArray();
    const qsizetype record = image.indexOf("AVSEQ01.DAT;1") - 33;
    if (record > 0)
        qToLittleEndian<quint32>(800 * 2048, image.data() + record + 10);
    return image;
}

// `prepare` sets the machine up before start-up and gives the command line.
// With `syscalls`, sr0 is the fake drive: the disc check and libcdio talk to it.
struct DiscRig {
    bool syscalls = false;
    test::Disc machine;
    LinuxCdPaths paths{machine.path("sys"), machine.path("mountinfo"),
                       syscalls ? QFileInfo(fakeDrive()).path() : machine.path("dev"), machine.path("links")};
    CdDriveStatus drive{0, 0, CDS_NO_DISC};
    std::shared_ptr<LinuxCdDrives> cd = std::make_shared<LinuxCdDrives>(paths);
    LinuxCdAudioDevice audio{cd, [this](const QString &device) {
                                 return syscalls ? LinuxCdAudioDevice::queryDriveStatus(device) : drive;
                             }};
    LinuxDriveQuery query{cd};
    LinuxDiscImages images{cd};
    FormRig rig{{.real = true,
                 .adjust = [this](Seams &s) { s.cdAudio = &audio; s.drives = &query; s.images = &images; }}};
    Form1 &form = *rig.form;

    explicit DiscRig(bool opticalDrive = false, std::function<QString(DiscRig &)> prepare = {},
                     bool syscalls = false)
        : syscalls(syscalls)
    {
        mount({});
        if (opticalDrive)
            put(machine, {"sys/sr0/dev"}, "11:0\n");
        rig.mpv->setDiscTracks(cd->tracks());
        rig.mpv->setSpeed(4.0);
        if (prepare)
            rig.platform.program.arguments = prepare(*this);
        form.Form_Load();
    }
    void mount(QByteArray more) { put(machine, {"dev/", "mountinfo"}, "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n" + more); }
    QString track(int n, const QString &name = "MPEGAV/AVSEQ0%1.DAT") const { return form.CDDriveRoot() + name.arg(n); }
    void waitPlaying(const QString &path)
    {
        QTRY_COMPARE_WITH_TIMEOUT(rig.component->PlayState(), int(MediaPlayer::Playing), 15000);
        QCOMPARE(form.windowTitle(), captionFor(path));
    }
    // The image as the kernel mounts it for sr0: lower-case names, tracks that read as garbage.
    QString mountDisc() { return mountFrom(TestMedia::vcdImage("bin")); }
    QString mountFrom(const QString &source)
    {
        put(machine, {"media/TESTVCD/vcd/", "media/TESTVCD/mpegav/avseq01.dat", "media/TESTVCD/mpegav/avseq02.dat"},
            QByteArray(800000, '\x5A'));
        mount("101 1 11:0 / " + QFile::encodeName(machine.path("media/TESTVCD")) + " ro - iso9660 "
              + QFile::encodeName(source) + " ro\n");
        drive.status = CDS_DISC_OK;
        return machine.path("media/TESTVCD");
    }
};

} // namespace

class TestVideoCd : public QObject {
    Q_OBJECT
private slots:
    // What the scan lists, what the drive's answer to the disc check means, what
    // Play Video CD plays or says, and which slots it turns on for the next scan to keep.
    void scanAndPlay_data()
    {
        QTest::addColumn<Scan>("c");
        const QStringList three = seq("MPEGAV/", 3), lower{"mpegav/avseq01.dat", "mpegav/avseq02.dat"};
        const QStringList mpeg{"MPEGAV/a.mpg", "MPEGAV/B.MPEG"}, extra{"MPEGAV/EXTRA.mpg", "MPEGAV/X.mpeg"};
        const QStringList svcd{"MPEG2/AVSEQ01.MPG", "MPEG2/avseq02.mpg"}, sav = seq("MPEGSAV/", 3);
        const QStringList top{"AVSEQ01.DAT", "clip.mpg"};
        const QString noDisc = "No CD is present in CD-Drive.", failed = "Error accessing CD. ";
        const QString inUse = "CD is already in use by some other application.", notReady = "The drive is not ready.";
        QTest::newRow("an empty track folder") << Scan{{"MPEGAV/"}, {}, kNoVideoCd, 0};
        QTest::newRow("one track") << Scan{seq("MPEGAV/", 1), seq("MPEGAV/", 1), "", 1};
        QTest::newRow("ten tracks") << Scan{seq("MPEGAV/", 10), seq("MPEGAV/", 10), "", 10};
        QTest::newRow("eleven tracks: nine and the more-tracks slot") << Scan{seq("MPEGAV/", 11), seq("MPEGAV/", 11), "", 10};
        QTest::newRow("names in lower case") << Scan{lower, lower, "", 2};
        QTest::newRow("Mpegsav, another folder beside") << Scan{sav + seq("OTHER/", 5), sav, "", 3};
        QTest::newRow("a super video cd's MPEG2") << Scan{svcd, svcd, "", 2};
        QTest::newRow("mpg files, no track: listed, not played")
            << Scan{mpeg + QStringList{"MPEGAV/c.avi", "MPEGAV/d.txt", "MPEGAV/.hidden.dat"}, mpeg, kNoVideoCd, 0};
        QTest::newRow("tracks and mpg files") << Scan{three + extra, three + extra, "", 3};
        QTest::newRow("no folder, files at the top") << Scan{top + QStringList{"readme.txt"}, top, kNoVideoCd, 10};
        QTest::newRow("no folder, nothing at the top") << Scan{{"/"}, {}, kNoVideoCd, 10};
        QTest::newRow("reply TRUE in capitals") << Scan{three, three, "", 3, 0, "TRUE"};
        QTest::newRow("reply -1") << Scan{three, three, "", 3, 0, "-1"};
        QTest::newRow("reply true, a nul and junk") << Scan{three, three, "", 3, 0, "true" + QString(QChar(0)) + "junk"};
        for (const char *reply : {"false", "False", "0"})
            QTest::addRow("reply %s", reply) << Scan{three, {}, noDisc, 0, 0, reply};
        QTest::newRow("reply maybe") << Scan{three, {}, failed + "maybe", 0, 0, "maybe"};
        QTest::newRow("no reply") << Scan{three, {}, failed, 0, 0, ""};
        QTest::newRow("error 5") << Scan{three, {}, failed, 0, 5, ""};
        QTest::newRow("error 289 with a reason") << Scan{three, {}, failed + notReady, 0, 289, notReady};
        QTest::newRow("in use, error 263") << Scan{three, {}, inUse, 0, 263, ""};
        QTest::newRow("in use, error 263 with a reply") << Scan{three, {}, inUse, 0, 263, "whatever"};
    }

    void scanAndPlay()
    {
        QFETCH(Scan, c);
        FormRig rig({.cdDrive = true});
        put(rig.disc, c.files);
        if (!c.files[0].contains('/'))   // a drive error at a later look counts as no such folder
            rig.platform.files.probeErrors += QSet{rig.disc.root() + "Mpegsav", rig.disc.root() + "Mpeg2"};
        rig.scan();
        rig.platform.cdAudio.statusResult = c.result;
        rig.platform.cdAudio.statusReply = c.reply;
        rig.form->Timer1_Timer();
        QCOMPARE(rig.slotStates(), panelOf(c.tracks));
        rig.form->mnuPlayVCD_Click();
        QCOMPARE(rig.messages(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        QCOMPARE(rig.enabledLabels(), c.on);
        QCOMPARE(rig.opened(), c.message.isEmpty() ? QStringList{rig.disc.path(c.tracks[0])} : QStringList());
        const QStringList left = rig.slotStates();
        rig.form->LoadTrackList();
        QCOMPARE(rig.slotStates(), left);
        // Without either folder the root loses its "/"; a top then emptied leaves the panel as it was, a track
        // folder emptied empties it, names and all.
        const bool inFolder = c.files[0].contains('/') && c.files[0] != "/";
        QCOMPARE(rig.form->CDDriveRoot().endsWith('/'), inFolder);
        const QString emptied = rig.disc.root() + (inFolder ? c.files[0].section('/', 0, 0) : QString());
        for (const QString &f : QDir(emptied).entryList(QDir::Files))
            QVERIFY(QFile::remove(emptied + '/' + f));
        rig.form->LoadTrackList();
        QCOMPARE(rig.slotStates(), inFolder ? FormRig::emptySlots() : left);
    }

    // With only a hard disk the menu item says there is no CD drive, and nothing is
    // scanned. A steady disc's folder is read once per idle scan, and nothing rebuilt.
    void idleScan()
    {
        FormRig rig;
        rig.platform.drives.add("sda1", QDir::tempPath(), 3);
        rig.scan();
        rig.form->mnuPlayVCD_Click();
        QCOMPARE(QStringList{rig.form->mnuPlayVCD->text()} + rig.platform.files.probes, QStringList{"No CD-Drive found..."});
        FormRig bare;   // so from start-up, where the CD device finds no disc; the File menu keeps it greyed
        bare.platform.cdAudio.setDisc(false);
        bare.form->Form_Load(), bare.form->mnuFile_Click();
        QVERIFY(bare.form->mnuPlayVCD->text() == "No CD-Drive found..." && !bare.form->mnuPlayVCD->isEnabled());
        // A file played looks again, quietly; of several drives the first CD drive counts, past an entry
        // that leads nowhere.
        FormRig quiet, several;
        quiet.form->PlayFile("/media/clip.mpg");
        QCOMPARE(quiet.form->mnuPlayVCD->text(), "&Play Video CD");
        several.platform.drives.entries << "floppy";
        several.platform.drives.roots["floppy"] = "";
        several.platform.drives.add("sr0", several.disc.path("first"), DriveQuery::kCdRom);
        several.platform.drives.add("sr1", several.disc.path("second"), DriveQuery::kCdRom);
        several.form->FindCDDrive(true);
        QCOMPARE(several.form->CDDriveRoot(), several.disc.path("first") + '/');
        const QStringList files = seq(rig.disc.path("Mpegav/"), 5);
        rig.platform.files.sizes = {{files[0], 12582912}, {files[1], 1000000}, {files[2], 262144},
                                    {files[3], 4700000000}};   // 0.25 MB exactly, a DVD's worth
        rig.platform.files.sizeErrors.insert(files[4]);
        rig.insertDisc(5);
        const qsizetype listings = rig.platform.files.listings.size(), sizes = rig.platform.files.sizeQueries.size();
        rig.form->Timer1_Timer();
        QVERIFY(rig.platform.files.listings.size() == listings + 1 && rig.platform.files.sizeQueries.size() == sizes);
        put(rig.disc, {"Mpegav/AVSEQ06.DAT"});
        rig.form->Timer1_Timer();
        QStringList panel{"eY AVSEQ01.DAT  : 12.0 MB ", "eY AVSEQ02.DAT  : 1.0 MB ", "eY AVSEQ03.DAT  : 0.3 MB ",
                          "eY AVSEQ04.DAT  : 4482.3 MB ", "eY AVSEQ05.DAT ", "eY AVSEQ06.DAT  : 0.0 MB "};
        QCOMPARE(rig.slotStates().mid(0, 6), panel);
        // Unreadable: nothing on the panel can be trusted, but only Play Video CD says so.
        rig.playTrack(2);
        rig.form->mnuStop_Click();
        rig.platform.files.failAllProbes = true;
        rig.form->Timer1_Timer();
        QCOMPARE(rig.slotStates(), panel.replaceInStrings("eY ", "-F ") + FormRig::emptySlots().mid(6));
        QVERIFY(rig.component->ReadyState() == MediaPlayer::NothingLoaded && rig.messages().isEmpty());
        rig.form->mnuPlayVCD_Click();
        QCOMPARE(rig.messages(), QStringList{"Error : Device not ready"});
    }

    // A slot's button rises over the label of a track not playing and sinks elsewhere;
    // any mouse button on it plays the track, a click on the label nothing, Space on it from Tab the track.
    void slotButtons()
    {
        FormRig rig({.cdDrive = true});
        Form1 &form = *rig.form;
        put(rig.disc, seq("MPEGAV/", 3));
        rig.scan();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const auto moveOver = [](QWidget *w, QPoint p = {2, 2}) {
            QMouseEvent move(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, {}, {});
            QApplication::sendEvent(w, &move);
        };
        const auto up = [&](int slot) { return form.Cmd1[slot]->isVisible(); };
        const QPoint gap(1, (form.Frame1->geometry().bottom() + form.WMP1->geometry().top()) / 2);
        const std::function<void()> elsewhere[] = {
            [&] { moveOver(form.Lbl1[2]); }, [&] { moveOver(form.Frame1, QPoint(4, form.Frame1->height() / 2)); },
            [&] { moveOver(form.client, gap); }, [&] { emit form.WMP1->MouseMove(0, 0, 300.0f, 300.0f); },
            [&] { moveOver(form.Lbl1[6]); }};
        for (const auto &moveOn : elsewhere) {
            moveOver(form.Lbl1[1]);
            QVERIFY(up(1));
            moveOn();
            QCOMPARE(QList({up(1), up(6)}), QList({false, false}));
        }
        for (auto [slot, button] : {std::pair{1, Qt::RightButton}, std::pair{0, Qt::LeftButton}}) {
            moveOver(form.Lbl1[slot]);
            QTest::mouseClick(form.Cmd1[slot], button);
            moveOver(form.Lbl1[slot]);
            QVERIFY(!up(slot));
            QCOMPARE(rig.marked(), QList<int>{slot});
            QCOMPARE(rig.opened().value(1 - slot), rig.track(slot));
        }
        QTest::mouseClick(form.Lbl1[0], Qt::LeftButton);
        QCOMPARE(rig.opened().size(), 2);
        // From the keyboard, Tab reaches the lit slots, named for a screen reader, and Space presses one.
        form.WMP1->setFocus();
        QStringList reached;
        for (QWidget *at = form.WMP1; reached.size() < 4; at = QApplication::focusWidget()) {
            QTest::keyClick(at, Qt::Key_Tab);
            reached << QApplication::focusWidget()->accessibleName() + ": " + QApplication::focusWidget()->accessibleDescription();
        }
        QCOMPARE(reached, (QStringList{"Track 1: AVSEQ01.DAT", "Track 2: AVSEQ02.DAT", "Track 3: AVSEQ03.DAT", "Track 1: AVSEQ01.DAT"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(std::pair(rig.opened().value(2), rig.marked()), std::pair(rig.track(1), QList<int>{1}));
        put(rig.disc, seq("MPEGAV/", 11));   // the more-tracks slot rises too
        form.LoadTrackList(), moveOver(form.Lbl1[9]);
        QVERIFY(up(9));
    }

    // The last slot stops the track and lists the tracks from the tenth on, in a
    // window that keeps its least size; what is chosen there plays.
    void moreTracks_data()
    {
        QTest::addColumn<More>("c");
        const QKeyCombination ok = Qt::ALT | Qt::Key_O;
        QTest::newRow("OK on the second: track 11") << More{12, 1, ok, 11};
        QTest::newRow("OK with none chosen") << More{12, -1, ok, 0};
        QTest::newRow("Return on the third: track 12") << More{12, 2, Qt::Key_Return, 12};
        QTest::newRow("Cancel by its access key") << More{12, 1, Qt::ALT | Qt::Key_C, 0};
        QTest::newRow("Escape") << More{12, 1, Qt::Key_Escape, 0};
        QTest::newRow("a double click on the first: track 10") << More{12, 0, {}, 10};
        QTest::newRow("ten tracks, OK on the tenth") << More{10, 0, ok, 10};
        QTest::newRow("the main window closed meanwhile") << More{12, 1, Qt::ALT | Qt::Key_F4, 0};
    }

    void moreTracks()
    {
        QFETCH(More, c);
        FormRig rig;
        rig.insertDisc(c.tracks);
        rig.form->mnuPlayVCD_Click();
        QStringList shown;
        whenModal([&](Form2 *w) {
            shown << w->windowTitle();
            for (int i = 0; i < w->List1->count(); ++i)
                shown << w->List1->item(i)->text();
            QCOMPARE(rig.component->PlayState(), int(MediaPlayer::Stopped));
            rig.player->raiseError("stopped");   // the stop's own complaint goes unsaid
            const QSize before = w->size();
            w->setMinimumSize(1, 1);
            w->resize(60, 100);
            QTRY_VERIFY(w->size() != before && w->size() != QSize(60, 100));
            QVERIFY(w->OuterWidth() >= Form2::kMinOuterWidth && w->OuterHeight() >= Form2::kMinOuterHeight);
            const QRect names = w->List1->geometry(), buttons = w->Frame1->geometry();   // 10, 15 and 40 twips
            QVERIFY(w->width() - names.width() <= 1 && qAbs(buttons.top() - names.bottom() - 2) <= 1);
            QVERIFY(qAbs(w->height() - buttons.bottom() - 4) <= 1 && qAbs(buttons.center().x() - w->width() / 2) <= 1);
            w->List1->setCurrentRow(c.row);
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w));
            const QPointer list(w);
            if (c.close == (Qt::ALT | Qt::Key_F4)) {
                rig.form->close();
                QVERIFY(!list);   // closed with the window that opened it
            } else if (c.close != QKeyCombination()) {
                QTest::keyClick(w->List1, c.close.key(), c.close.keyboardModifiers());
            } else {
                const QPoint at = w->List1->visualItemRect(w->List1->item(0)).center();
                QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(w->List1->viewport(), Qt::LeftButton, {}, at);
            }
            QTRY_VERIFY(!list || !list->isVisible());   // an access key clicks its button a moment later
        });
        rig.form->Cmd1_MouseDown(9, 1, 0, 0, 0);
        QCOMPARE(shown, QStringList{QStringLiteral("More Tracks Found : %1 ").arg(c.tracks - 9)} + seq("", c.tracks, 10));
        QVERIFY(!rig.form->form2());
        QCOMPARE(rig.messages(), QStringList());
        QCOMPARE(rig.borders(), QStringList{"9"});
        QCOMPARE(rig.opened().mid(1), seq(rig.disc.path("Mpegav/"), c.plays, qMax(c.plays, 1)));
    }

    // An image from any route plays like a disc, to its last track; another swaps it; Close takes it out, and with no
    // optical drive there is no disc. A Super Video CD plays the same way from its MPEG2 folder.
    void imageFromEveryRoute_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("kind");
        QTest::newRow("nrg on the command line") << "command line" << "nrg";
        QTest::newRow("cue sheet dropped") << "drop" << "cue";
        QTest::newRow("bin from the open dialog") << "open dialog" << "bin";
        QTest::newRow("toc from the recent list") << "recent list" << "toc";
        QTest::newRow("super video cd on the command line") << "command line" << "svcd";
    }

    void imageFromEveryRoute()
    {
        QFETCH(QString, route);
        QFETCH(QString, kind);
        const QString image = TestMedia::vcdImage(kind);
        const bool svcd = kind == "svcd";
        DiscRig d(false, [&](DiscRig &) { return route == "command line" ? image : QString(); });
        QMimeData drop;
        drop.setUrls({QUrl::fromLocalFile(image)});
        if (route == "drop")
            d.form.Form_OLEDragDrop(&drop);
        d.rig.platform.openDialog.answer = image;
        if (route == "open dialog")
            d.form.mnuOpen->trigger();
        if (route == "recent list") {
            d.form.UpdateRecentFiles(image);
            d.form.mnuRecent_Click(0);
        }
        const QString tracks = svcd ? "MPEG2/AVSEQ0%1.MPG" : "MPEGAV/AVSEQ0%1.DAT";
        d.waitPlaying(d.track(1, tracks));
        // The sizes are what plays: 2,324 bytes a sector, not the 2,048 the directory counts.
        const QStringList panel = svcd ? QStringList{"eY AVSEQ01.MPG  : 0.3 MB ", "eY AVSEQ02.MPG  : 0.3 MB ", "-F"}
                                       : QStringList{"eY AVSEQ01.DAT  : 0.5 MB ", "eY AVSEQ02.DAT  : 0.5 MB ", "-F"};
        QCOMPARE(d.rig.slotStates().mid(0, 3), panel);
        QCOMPARE(d.rig.borders(), QStringList{"0"});
        QCOMPARE(d.form.Drive1.List(0), svcd ? "disc-image TESTSVCD" : "disc-image TESTVCD");
        QCOMPARE(d.form.recentCaption(0), "&1: " + image.toLower());
        QTRY_VERIFY_WITH_TIMEOUT(d.form.windowTitle() == captionFor(d.track(2, tracks)), 15000);
        QCOMPARE(d.rig.borders(), QStringList{"1"});
        QTRY_VERIFY_WITH_TIMEOUT(d.form.mnuOpen->isEnabled(), 15000);
        d.form.PlayFile(TestMedia::vcdImage("2336"));
        d.waitPlaying(d.track(1));
        QCOMPARE(std::pair(d.form.Drive1.List(0), d.rig.enabledLabels()), std::pair(QString("disc-image T2336"), 1));
        const QDir laid(QFileInfo(d.form.CDDriveRoot()).canonicalFilePath() + "/..");
        QCOMPARE(laid.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);   // the first image's went
        d.form.mnuClose->trigger();
        QTRY_COMPARE(d.rig.component->PlayState(), int(MediaPlayer::Closed));
        QCOMPARE(std::pair(d.rig.slotStates() == FormRig::emptySlots(), d.form.Drive1.ListCount()), std::pair(true, 0));
        d.form.mnuPlayVCD_Click();
        QCOMPARE(d.rig.messages(), QStringList{"No CD is present in CD-Drive."});
    }

    // A Super Video CD's second audio stream chosen in the menu (880 Hz; the first is 440 Hz)
    // is what plays, and on the next track, gone to as the desktop's Next does; a file without it has sound.
    void audioStreams()
    {
        DiscRig d;
        d.rig.mpv->setSpeed(1.0);
        d.rig.mpv->writeSoundTo(d.machine.path("out.wav"));
        d.form.mnuContinuousPlay->setChecked(false);
        d.form.PlayFile(TestMedia::vcdImage("svcd"));
        d.waitPlaying(d.track(1, "MPEG2/AVSEQ0%1.MPG"));
        d.form.mnuPause_Click();   // chosen early in the track, however busy the machine
        emit d.rig.mpv->contextMenu()->aboutToShow();
        const QList<QAction *> streams = d.rig.mpv->findChild<QMenu *>("audioStreams")->actions();
        QCOMPARE(streams.size(), 2);
        QCOMPARE(std::pair(streams[0]->text(), streams[1]->text()), std::pair(QString("Audio 1"), QString("Audio 2")));
        streams[1]->trigger();
        d.form.mnuRun_Click();
        for (const int track : {1, 2}) {
            if (track == 2)
                d.form.NextTrack->trigger(), d.waitPlaying(d.track(2, "MPEG2/AVSEQ0%1.MPG"));
            QTRY_COMPARE_WITH_TIMEOUT(d.rig.component->PlayState(), int(MediaPlayer::Stopped), 15000);
            QCOMPARE(TestMedia::tones(d.machine.path("out.wav")), QList{880});
        }
        d.form.PlayFile(TestMedia::mpegClip(1.0));   // with one stream only, that one
        QTRY_COMPARE_WITH_TIMEOUT(d.rig.component->PlayState(), int(MediaPlayer::Stopped), 15000);
        QCOMPARE(TestMedia::tones(d.machine.path("out.wav")), QList({440, 440}));
    }

    // A damaged image is named in the message, and the window stays usable.
    void damagedImages()
    {
        DiscRig d;
        put(d.machine, {"gone.cue"}, "FILE \"gone.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n");
        d.form.PlayFile(d.machine.path("gone.cue"));
        QCOMPARE(d.rig.messages(), QStringList{"Error : Cannot open \"" + d.machine.path("gone.cue")
                                               + "\": the cue sheet names \"gone.bin\", which cannot be found."});
        stillPlaysAGoodFile(d.rig);
        // Cut short under a track that runs on: it plays to the cut, then breaks off.
        put(d.machine, {"cut.bin"}, cutImage());
        d.form.mnuContinuousPlay->setChecked(false);
        d.form.PlayFile(d.machine.path("cut.bin"));
        d.waitPlaying(d.track(1));
        QTRY_COMPARE_WITH_TIMEOUT(d.rig.messages().size(), 2, 15000);
        const QString said = d.rig.messages()[1];
        QVERIFY2(said.startsWith("Error : Playback of \"" + d.track(1) + "\" broke off at 0:0"), qPrintable(said));
        QVERIFY2(said.endsWith(": the disc could not be read there."), qPrintable(said));
        stillPlaysAGoodFile(d.rig);
    }

    // A track's entry points are its chapters: marks on the seek bar, Page Down and Up between
    // them, a Chapters submenu that goes to each, again when played after its end. A track with
    // its start alone plays with none and without a word (tables that do not hold together give
    // none: tst_platform's entryPoints); Close leaves none.
    void chapters_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QList<double>>("marks");
        QTest::newRow("three entries") << TestMedia::vcdImage("chapters") << QList<double>{0, 4, 8};
        QTest::newRow("its start alone") << TestMedia::vcdImage("bin") << QList<double>{};
    }

    void chapters()
    {
        QFETCH(QString, image);
        QFETCH(QList<double>, marks);
        DiscRig d;
        d.form.PlayFile(image);
        d.waitPlaying(d.track(1));
        d.form.mnuPause_Click();
        MpvPlayer &player = *d.rig.mpv;
        player.setCurrentPosition(1.0);
        const ControlBar &bar = *player.findChild<ControlBar *>();
        QTRY_COMPARE_WITH_TIMEOUT(bar.chapterMarks().size(), marks.size(), 5000);
        QTest::qWait(500);   // the times are read by then, or never
        QCOMPARE(bar.chapterMarks().size(), marks.size());
        QStringList listed;
        for (int i = 0; i < marks.size(); ++i) {
            QVERIFY2(qAbs(bar.chapterMarks()[i] - marks[i]) <= 0.1, qPrintable(QString::number(bar.chapterMarks()[i])));
            listed << QString("Chapter %1: 0:0%2").arg(i + 1).arg(marks[i]);
        }
        // Where mpv's picture lands, read back from mpv.
        const auto landed = [&](double seconds) {
            QTest::qWait(600);
            return qAbs(player.CurrentPosition() - seconds) <= 0.1;
        };
        QTest::keyClick(&player, Qt::Key_PageDown);
        QVERIFY(landed(marks.value(1, 1.0)));
        QTest::keyClick(&player, Qt::Key_PageDown);
        QVERIFY(landed(marks.value(2, 1.0)));
        QTest::keyClick(&player, Qt::Key_PageUp);
        QVERIFY(landed(marks.value(1, 1.0)));
        player.ShowDialog(MediaPlayer::ContextMenuDialog);
        QTRY_VERIFY(player.contextMenu()->isVisible());
        auto *menu = player.contextMenu()->findChild<QMenu *>("chapters");
        QCOMPARE(menu->menuAction()->isVisible(), !marks.isEmpty());
        QStringList shown;
        for (const QAction *a : menu->actions())
            shown << a->text();
        QCOMPARE(shown, listed);
        player.contextMenu()->hide();
        if (!marks.isEmpty()) {
            menu->actions().first()->trigger();
            QVERIFY(landed(0));
            // Played again after its end, the track has them again.
            player.setCurrentPosition(11.5);
            d.form.mnuRun_Click();
            QTRY_VERIFY_WITH_TIMEOUT(d.form.mnuOpen->isEnabled(), 15000);
            d.form.mnuRun_Click();
            QTRY_VERIFY(player.CurrentPosition() > 0.5 && player.CurrentPosition() < 10);   // loaded anew
            QCOMPARE(bar.chapterMarks().size(), marks.size());
        }
        QCOMPARE(d.rig.messages(), QStringList());
        d.form.mnuClose->trigger();   // closed: nothing of them is left
        QTRY_VERIFY(bar.chapterMarks().isEmpty());
        player.ShowDialog(MediaPlayer::ContextMenuDialog);
        QTRY_VERIFY(player.contextMenu()->isVisible() && !menu->menuAction()->isVisible());
        player.contextMenu()->hide();
    }

    // A disc the kernel mounted, named by its top folder as a desktop does, plays from the sectors.
    void opticalDrive()
    {
        DiscRig m(true, &DiscRig::mountDisc);
        m.waitPlaying(m.track(1, "mpegav/avseq0%1.dat"));
        QCOMPARE(m.rig.enabledLabels(), 2);
        m.rig.playTrack(1);
        m.waitPlaying(m.track(2, "mpegav/avseq0%1.dat"));
        QTRY_VERIFY_WITH_TIMEOUT(m.form.mnuOpen->isEnabled() && m.rig.messages().isEmpty(), 15000);
        DiscRig other(true, [](DiscRig &r) { r.mountDisc(); return QDir::tempPath(); });
        QCOMPARE(other.rig.messages(), QStringList{"Could not find the file '" + QDir::tempPath() + "' ...!"});
        // A disc nobody mounted, put in while the program runs: libcdio reads it from the drive's
        // sectors on a thread of its own; another swapped in plays, and taken out it is gone.
        if (fakeDrive().isEmpty())
            QSKIP("needs the fake drive that ctest preloads (tests/CMakeLists.txt)");
        script("tray open\n");
        DiscRig d(true, {}, true);
        script("disc " + rawImage("cue") + "\n");
        QTRY_VERIFY_WITH_TIMEOUT((d.form.Timer1_Timer(), d.rig.enabledLabels() == 2), 5000);
        d.form.mnuPlayVCD_Click();
        d.waitPlaying(d.track(1));
        QCOMPARE(d.form.Drive1.List(0), QStringLiteral("sr0 TESTVCD"));
        d.form.mnuStop_Click();
        QTRY_COMPARE(d.rig.component->PlayState(), int(MediaPlayer::Stopped));
        // An automounter mounts it a moment later: one panel entry a track still, played from the sectors.
        // Its device node as the kernel has it, made aside: the drive's own path opens the drive.
        QFile node(fakeDrive() + ".node");
        QVERIFY(node.open(QIODevice::WriteOnly));
        QCOMPARE(::rename(QFile::encodeName(node.fileName()), QFile::encodeName(fakeDrive())), 0);
        script("disc " + rawImage("cue") + "\nspinup 2000\n");   // the track waits for the mount's directory read
        d.mountFrom(fakeDrive());
        d.form.Timer1_Timer();
        QCOMPARE(std::pair(d.rig.enabledLabels(), d.form.Drive1.List(0)), std::pair(2, QString("sr0 TESTVCD")));
        d.rig.playTrack(1);
        d.waitPlaying(d.track(2, "mpegav/avseq0%1.dat"));
        d.form.mnuStop_Click();
        QTRY_COMPARE(d.rig.component->PlayState(), int(MediaPlayer::Stopped));
        d.mount({});
        script("tray open\n");
        d.form.Timer1_Timer();
        QTRY_VERIFY(d.rig.component->PlayState() == MediaPlayer::Closed && d.rig.slotStates() == FormRig::emptySlots());
        QVERIFY(!QFileInfo::exists(d.form.CDDriveRoot() + "MPEGAV") && d.rig.messages().isEmpty());
        script("disc " + rawImage("svcd") + "\n");
        QTRY_VERIFY_WITH_TIMEOUT((d.form.Timer1_Timer(), d.rig.slotStates()[0].startsWith("eY AVSEQ01.MPG")), 5000);
        d.form.mnuPlayVCD_Click();
        d.waitPlaying(d.track(1, "MPEG2/AVSEQ0%1.MPG"));
        QCOMPARE(d.form.Drive1.List(0), QStringLiteral("sr0 TESTSVCD"));
        // Swapped between two looks for the Video CD in Mode 1 sectors (a data CD): its files show.
        d.form.mnuStop_Click();
        QTRY_COMPARE(d.rig.component->PlayState(), int(MediaPlayer::Stopped));
        QFile vcd(QFile::decodeName(rawImage("cue")));
        QVERIFY(vcd.open(QIODevice::ReadOnly));
        QByteArray mode1 = vcd.readAll();
        for (qsizetype at = 0; at + 2352 <= mode1.size(); at += 2352) {
            mode1[at + 15] = 1;
            std::memmove(mode1.data() + at + 16, mode1.constData() + at + 24, 2048);
        }
        put(d.machine, {"mode1.bin"}, mode1);
        script("disc " + QFile::encodeName(d.machine.path("mode1.bin")) + "\n");
        QTRY_VERIFY_WITH_TIMEOUT((d.form.Timer1_Timer(), d.rig.slotStates()[1].startsWith("eY AVSEQ02.DAT")), 5000);
    }

    // Trouble in the drive: a scratch or a slow sector costs a moment and the track plays to its
    // end; a disc taken out ends the track quietly and empties the panel; a sector that never
    // answers breaks the track off where it stood. A drive spinning up keeps the window alive
    // meanwhile (its timers tick, it repaints); File > Close or Exit then end the wait at once.
    void driveTrouble_data()
    {
        QTest::addColumn<QByteArray>("trouble");   // the drive's script beside the disc
        QTest::addColumn<QString>("then");         // what the user does while Play Video CD waits
        QTest::newRow("a scratch") << QByteArray("bad 510 514\n") << "";   // the first track starts at 450
        QTest::newRow("a slow sector") << QByteArray("slow 520 1500\n") << "";
        QTest::newRow("taken out while it plays") << QByteArray("tray open\n") << "";
        QTest::newRow("a sector that never answers") << QByteArray("hang 960 960\n") << "";   // 6.4 s into chapters
        QTest::newRow("spinning up") << QByteArray("spinup 4000\n") << "wait";
        QTest::newRow("File > Close while it spins up") << QByteArray("spinup 4000\n") << "close";
        QTest::newRow("File > Exit while it spins up") << QByteArray("spinup 4000\n") << "exit";
    }

    void driveTrouble()
    {
        QFETCH(QByteArray, trouble);
        QFETCH(QString, then);
        if (fakeDrive().isEmpty())
            QSKIP("needs the fake drive that ctest preloads (tests/CMakeLists.txt)");
        const bool takenOut = trouble.startsWith("tray"), hangs = trouble.startsWith("hang");
        const QByteArray disc = "disc " + rawImage(hangs ? "chapters" : "cue") + "\n";   // one track of 12 s
        script("tray open\n");
        auto rig = std::make_unique<DiscRig>(true, std::function<QString(DiscRig &)>{}, true);
        DiscRig &d = *rig;
        d.rig.mpv->setSpeed(hangs ? 4.0 : 1.0);   // to the sector that hangs in 1.6 s: the rest is the 15 s rule
        d.form.mnuContinuousPlay->setChecked(false);
        script(disc + (takenOut || !then.isEmpty() ? "" : trouble));
        QTRY_VERIFY_WITH_TIMEOUT((d.form.Timer1_Timer(), d.rig.enabledLabels() == (hangs ? 1 : 2)), 5000);
        // The drive spins down; while it spins up again a probe ticks, asks for repaints and acts.
        int ticks = 0, paints = 0;
        EventSpy painted(&d.form, QEvent::Paint, [&] { ++paints; });
        QTimer probe;
        QElapsedTimer exited;
        connect(&probe, &QTimer::timeout, &d.form, [&] {
            d.form.update();
            if (++ticks != 20)
                return;
            if (then == "close")
                d.form.mnuClose->trigger();
            if (then == "exit")
                exited.start(), d.form.mnuExit->trigger();
        });
        if (!then.isEmpty()) {
            script(disc + trouble);
            d.form.show();
            probe.start(50);
        }
        d.form.mnuPlayVCD_Click();
        probe.stop();
        if (then == "exit") {   // closed and gone before the drive answers, three seconds later
            QVERIFY(!d.form.isVisible() && d.rig.messages().isEmpty());
            rig.reset();
            QVERIFY2(exited.elapsed() < 2000, qPrintable(QString::number(exited.elapsed())));
            return;
        }
        if (!then.isEmpty())
            QVERIFY2(ticks >= 20 && paints >= 10, qPrintable(QString("%1 ticks, %2 paints").arg(ticks).arg(paints)));
        if (then == "close") {   // no message: the user asked; then it plays when asked again
            QVERIFY(d.rig.component->PlayState() == MediaPlayer::Closed && d.form.mnuPlayVCD->isEnabled());
            QCOMPARE(d.rig.messages(), QStringList());
            d.form.mnuPlayVCD_Click();
        }
        d.waitPlaying(d.track(1));
        if (takenOut)
            script("tray open\n");
        double reached = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (reached = qMax(reached, d.rig.component->CurrentPosition()), d.form.mnuOpen->isEnabled()), 25000);
        if (hangs) {   // the moment it broke off is named, not the track's end
            script(disc);
            const QString said = d.rig.messages().join('|');   // the picture stops a moment before 6.4 s
            QVERIFY2(said.startsWith("Error : Playback of \"" + d.track(1) + "\" broke off at 0:0")
                         && QRegularExpression("at 0:0[456]: the disc could not be read there\\.$").match(said).hasMatch(),
                     qPrintable(said));
            d.form.mnuPlayVCD_Click();
            d.waitPlaying(d.track(1));
            return;
        }
        QCOMPARE(d.rig.messages(), QStringList());
        if (takenOut)
            QTRY_VERIFY((d.form.Timer1_Timer(), d.rig.component->PlayState() == MediaPlayer::Closed
                                                    && d.rig.slotStates() == FormRig::emptySlots()));
        else
            QVERIFY2(reached > 1.2, qPrintable(QString::number(reached)));   // on past the trouble
    }

    // A drive the user may not read: the window says so once, naming the group that owns the
    // device, keeps the panel empty and stays usable; once the user may, the disc shows.
    void unreadableDrive_data()
    {
        QTest::addColumn<QByteArray>("gid");   // the device's owner
        QTest::addColumn<QString>("group");
        QTest::newRow("gid 6: disk") << QByteArray("6") << "disk";
        QTest::newRow("a gid of no group: cdrom") << QByteArray("54321") << "cdrom";
    }

    void unreadableDrive()
    {
        QFETCH(QByteArray, gid);
        QFETCH(QString, group);
        if (fakeDrive().isEmpty())
            QSKIP("needs the fake drive that ctest preloads (tests/CMakeLists.txt)");
        const QByteArray disc = "disc " + rawImage("cue") + "\n";
        const QString told = "The disc in sr0 cannot be read: permission denied. Ask for your user to be added to "
                             "the %1 group.";
        script("deny\ngid " + gid + "\n" + disc);
        DiscRig d(true, {}, true);
        for (int tick = 0; tick < 3; ++tick)
            d.form.Timer1_Timer();
        QCOMPARE(d.rig.messages(), QStringList{told.arg(group)});
        QCOMPARE(d.rig.slotStates(), FormRig::emptySlots());
        stillPlaysAGoodFile(d.rig);
        script("gid " + gid + "\n" + disc);
        QTRY_VERIFY_WITH_TIMEOUT((d.form.Timer1_Timer(), d.rig.enabledLabels() == 2), 5000);
        QCOMPARE(d.rig.messages().size(), 1);
    }
};

QTEST_MAIN(TestVideoCd)
#include "tst_video_cd.moc"
