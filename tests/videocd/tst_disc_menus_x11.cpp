// A disc's own menus through the window, on real discs made by vcdxbuild, with the real
// component drawing its picture and the Linux drive layer: the keys a remote has, clicks on
// a Super Video CD's areas, the waits and timeouts, what ends the menus.
#include "disc/ImageLayout.h"
#include "platform/LinuxCdDevice.h"
#include "platform/LinuxDiscMenus.h"
#include "support/FormRig.h"
#include "support/PbcDiscs.h"

#include <QScreen>
#include <QToolButton>
#include <linux/cdrom.h>

using namespace tavero;
using namespace tavero::test;

namespace {

// A disc in the image drive, on a machine made of files, its menus read as the program reads them.
struct MenuRig {
    test::Disc machine;
    LinuxCdPaths paths{machine.path("sys"), machine.path("mountinfo"), machine.path("dev"), machine.path("links")};
    std::shared_ptr<LinuxCdDrives> cd = std::make_shared<LinuxCdDrives>(paths);
    LinuxCdAudioDevice audio{cd, [](const QString &) { return CdDriveStatus{0, 0, CDS_NO_DISC}; }};
    LinuxDriveQuery query{cd};
    LinuxDiscImages images{cd};
    LinuxDiscMenus menus{cd};
    FormRig rig{{.real = true, .picture = true, .adjust = [this](Seams &s) {
                     s.cdAudio = &audio, s.drives = &query, s.images = &images, s.menus = &menus;
                 }}};
    Form1 &form = *rig.form;

    explicit MenuRig(const QString &image)
    {
        machine.addFiles("dev", {});
        machine.addFiles("", {"mountinfo"}, "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n");
        rig.mpv->setDiscTracks(cd->tracks());
        rig.mpv->setSpeed(4.0);
        form.setMenuPace(4.0);
        form.Form_Load();
        form.show();
        form.PlayFile(image);
    }
    QWidget *video() const { return rig.mpv->findChild<QWidget *>("video"); }
    // The file playing, as the caption names it below the disc's folder.
    QString playing() const { return form.windowTitle().section('/', -2); }
    // The colour at the middle of the picture on the screen.
    QColor middle() const
    {
        const QPoint at = video()->mapToGlobal(video()->rect().center());
        return video()->screen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0);
    }
    void press(const QString &key)
    {
        static const QHash<QString, Qt::Key> keys{{"M", Qt::Key_M},         {"PgDown", Qt::Key_PageDown},
                                                  {"PgUp", Qt::Key_PageUp}, {"Backspace", Qt::Key_Backspace},
                                                  {"Enter", Qt::Key_Return}};
        if (key == "stop")
            form.mnuStop->trigger();
        else if (key == "pause")   // the still held, its timeout running
            QTest::qWait(400);
        else if (key == "next")   // the desktop's remote control, the keyboard's media key
            form.NextTrack->trigger();
        else if (key.startsWith("click"))   // x and y on the disc's 0-255 grid over the picture
            QTest::mouseClick(video(), Qt::LeftButton, {},
                              QPoint(video()->width() * key.section(' ', 1, 1).toInt() / 256,
                                     video()->height() * key.section(' ', 2, 2).toInt() / 256));
        else
            QTest::keyClick(rig.mpv, keys.value(key, Qt::Key(Qt::Key_0 + key.toInt())));
    }
};

// The Video CD with bytes changed at `at` in both of its tables `files` (the plain and the extended one).
QString crafted(const QString &name, const QStringList &files, int at, const QByteArray &bytes)
{
    const QString folder = TestMedia::dir() + "/pbc/" + name;
    QFile in(PbcDiscs::videoCd().chopped(3) + "bin");
    QByteArray bin = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    ImageLayout layout;
    QString error;
    readRawImage(std::make_shared<MemoryBytes>(bin), &layout, &error);
    const auto disc = tavero::Disc::open(makeImageSource(std::move(layout), &error), &error);
    for (const QString &file : files)   // a Form 1 sector's data follows 24 bytes of header
        bin.replace(disc->tree().entries[std::size_t(disc->tree().find(file))].lsn * 2352 + 24 + at, bytes.size(), bytes);
    QDir().mkpath(folder);
    QFile out(folder + "/disc.bin"), sheet(folder + "/disc.cue");
    out.open(QIODevice::WriteOnly) && out.write(bin);
    sheet.open(QIODevice::WriteOnly) && sheet.write("FILE \"disc.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n");
    return sheet.fileName();
}

// The disc, the keys in turn, then the files that play one after another ("stopped": the menus
// ended and the component stopped), the slots marked at the end ({-1}: not looked at), where
// the last item is cut short and held (0: not looked at), and the message the window gave.
struct Walk { QString disc; QStringList keys; QStringList plays; QList<int> marked; double heldAt = 0; QString says; };

} // namespace

Q_DECLARE_METATYPE(Walk)

class TestDiscMenus : public QObject {
    Q_OBJECT
private slots:
    void walk_data()
    {
        QTest::addColumn<Walk>("w");
        const QString menu = "segment/item0001.dat", first = "mpegav/avseq01.dat", second = "mpegav/avseq02.dat";
        const QString vcd = PbcDiscs::videoCd();
        QTest::newRow("the menu shows its still") << Walk{vcd, {"M"}, {menu}, {}};
        QTest::newRow("1: its track, waits, on to its next list") << Walk{vcd, {"M", "1"}, {first, second}, {1}};
        QTest::newRow("2: from its entry point") << Walk{vcd, {"M", "2"}, {first, second}, {1}};
        QTest::newRow("return comes back to the menu") << Walk{vcd, {"M", "1", "Backspace"}, {menu}, {}};
        QTest::newRow("next: an item cut short, held for the wait") << Walk{vcd, {"M", "PgDown"}, {first}, {0}, 3.0};
        QTest::newRow("the desktop's next: the list's") << Walk{vcd, {"M", "next"}, {first}, {0}, 3.0};
        QTest::newRow("a digit no other can follow is taken at once") << Walk{vcd, {"M", "1", "2"}, {first}, {0}};
        QTest::newRow("enter alone: the default") << Walk{vcd, {"M", "Enter"}, {first}, {0}};
        QTest::newRow("a disabled target, then a key that works") << Walk{vcd, {"M", "PgUp", "9", "1"}, {first}, {0}};
        QTest::newRow("the timeout to its target") << Walk{vcd, {"M"}, {menu, first}, {0}};
        QTest::newRow("the timeout, a disabled key pressed meanwhile") << Walk{vcd, {"M", "pause", "PgUp"}, {menu, first}, {0}};
        QTest::newRow("a timeout without one, to a selection") << Walk{vcd, {"M", "3"}, {menu, first}, {-1}};
        QTest::newRow("the end list stops") << Walk{vcd, {"M", "Backspace"}, {"stopped"}, {-1}};
        QTest::newRow("stop leaves the menus") << Walk{vcd, {"M", "stop"}, {"stopped"}, {-1}};
        QTest::newRow("a super video cd's area takes a click")
            << Walk{PbcDiscs::superVideoCd(), {"M", "click 110 40"}, {"mpeg2/avseq01.mpg", "mpeg2/avseq02.mpg"}, {1}};
        QTest::newRow("extended tables cut short: the plain ones") << Walk{PbcDiscs::cutExtended(), {"M", "1"}, {first}, {0}};
        // Crafted: the menu's own picture gone and its timeout, at once, back to itself; the
        // first list's place in the tables far outside them.
        const QStringList tables{"VCD/PSD.VCD", "EXT/PSD_X.VCD"}, lots{"VCD/LOT.VCD", "EXT/LOT_X.VCD"};
        QTest::newRow("a menu that leads nowhere") << Walk{crafted("nowhere", tables, 14, QByteArray(6, '\0')), {"M"}, {"stopped"}, {-1},
            0, "The disc's menus lead nowhere: list 1 plays nothing and goes round in circles."};
        QTest::newRow("a first list outside the tables: no menus") << Walk{crafted("outside", lots, 2, "\x7f\xf0"), {}, {first, second}, {1}};
    }

    void walk()
    {
        QFETCH(Walk, w);
        MenuRig m(w.disc);
        QTRY_VERIFY_WITH_TIMEOUT(m.playing().contains("/avseq01."), 15000);   // its tracks in order, as always
        auto *button = m.rig.mpv->findChild<QToolButton *>("menuButton");
        if (w.keys.isEmpty()) {   // tables that do not hold together: the tracks play as always
            QTest::qWait(1000);
            QVERIFY(button->isHidden());
        }
        QTRY_VERIFY(w.keys.isEmpty() || !button->isHidden());
        for (const QString &key : w.keys) {
            m.press(key);
            if (key == "M" && w.says.isEmpty()) {   // the menu's still is up before the next key
                QTRY_VERIFY_WITH_TIMEOUT(m.playing().startsWith("segment/item0001."), 15000);
                QCOMPARE(std::pair(m.form.NextTrack->isEnabled(), m.form.PreviousTrack->isEnabled()), std::pair(true, false));
            }
        }
        for (const QString &file : w.plays) {
            if (file == "stopped")
                QTRY_COMPARE_WITH_TIMEOUT(m.rig.component->PlayState(), int(MediaPlayer::Stopped), 15000);
            else
                QTRY_COMPARE_WITH_TIMEOUT(m.playing(), file, 20000);
        }
        QCOMPARE(m.rig.messages(), w.says.isEmpty() ? QStringList() : QStringList{w.says});
        if (w.marked != QList<int>{-1})
            QCOMPARE(m.rig.marked(), w.marked);
        if (w.heldAt > 0) {   // its last picture stays, and so does what the caption names
            QTRY_VERIFY_WITH_TIMEOUT(m.rig.component->CurrentPosition() > w.heldAt - 0.3, 15000);
            QTest::qWait(1500);
            QVERIFY2(m.rig.component->CurrentPosition() < w.heldAt + 0.3, qPrintable(QString::number(m.rig.component->CurrentPosition())));
            QCOMPARE(m.playing(), w.plays.last());
        }
        if (w.plays == QStringList{"segment/item0001.dat"}) {
            // The still's high-resolution copy is the one shown (green, #008000; the other is red).
            QTRY_VERIFY2_WITH_TIMEOUT(m.middle().green() > 100 && m.middle().red() < 60, qPrintable(m.middle().name()), 10000);
        }
        if (w.keys.size() == 2 && w.keys[1] == "2") {   // where its entry points lie, as the window was told
            std::shared_ptr<const DiscMenuData> read;
            m.menus.read(m.form.CDDriveRoot(), &m.form, [&read](auto data) { read = data; });
            QTRY_VERIFY(read);
            QCOMPARE(read->entries.size(), std::size_t(3));
            QCOMPARE(std::pair(read->entries[1].track, qRound(read->entries[1].seconds * 10)), std::pair(2, 18));
        }
        if (w.plays.last() == "stopped") {   // no longer in the menus: a number is the disc's track again
            m.press("2");
            QTRY_COMPARE_WITH_TIMEOUT(m.playing(), "mpegav/avseq02.dat", 15000);
        }
    }

    // Another image in the image drive, at the same root: its own menus, here none.
    void anotherImage()
    {
        MenuRig m(PbcDiscs::videoCd());
        auto *button = m.rig.mpv->findChild<QToolButton *>("menuButton");
        QTRY_VERIFY_WITH_TIMEOUT(!button->isHidden(), 15000);
        m.form.PlayFile(TestMedia::vcdImage("svcd"));
        QTRY_VERIFY_WITH_TIMEOUT(m.playing().contains("mpeg2/avseq01."), 15000);
        QTest::qWait(1000);
        QVERIFY(button->isHidden());
    }
};

QTEST_MAIN(TestDiscMenus)
#include "tst_disc_menus_x11.moc"
