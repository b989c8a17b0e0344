// The Linux CD layer against sysfs and mount tables written to a temporary
// folder, with the drive's status ioctl replaced.
#include "platform/LinuxCdDevice.h"
#include "platform/LinuxFileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <linux/cdrom.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavero;

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

// What the kernel writes for a path in mountinfo.
QByteArray escaped(const QString &path)
{
    QByteArray out;
    for (char c : QFile::encodeName(path)) {
        if (c == ' ')
            out += "\\040";
        else if (c == '\t')
            out += "\\011";
        else if (c == '\n')
            out += "\\012";
        else if (c == '\\')
            out += "\\134";
        else
            out += c;
    }
    return out;
}

QByteArray mountLine(const QString &devNumber, const QString &mountPoint, const QByteArray &fsType,
                     const QByteArray &source, const QByteArray &root = "/")
{
    static int id = 100;
    ++id;
    return QByteArray::number(id) + " 1 " + devNumber.toLatin1() + ' ' + root + ' ' + escaped(mountPoint)
           + " ro,nosuid,nodev,relatime shared:" + QByteArray::number(id) + " - " + fsType + ' ' + source
           + " ro,uid=1000\n";
}

// A machine of files: sysfs, a mount table, discs as folders, links.
struct FakeMachine {
    QTemporaryDir dir;
    LinuxCdPaths paths;
    std::shared_ptr<LinuxCdDrives> cd;

    FakeMachine()
    {
        paths.sysBlock = dir.path() + "/sys/class/block";
        paths.mountInfo = dir.path() + "/proc/mountinfo";
        paths.devices = dir.path() + "/dev";
        paths.links = dir.path() + "/run/tavero-player";
        QDir().mkpath(paths.sysBlock);
        QDir().mkpath(dir.path() + "/run");
        // Other block devices that are no CD drives.
        for (const char *other : {"vda", "vda1", "loop0", "zram0", "sr", "srx", "sr1a"})
            QDir().mkpath(paths.sysBlock + '/' + other);
        setMounts({});
        cd = std::make_shared<LinuxCdDrives>(paths);
    }
    void addDrive(const QString &name, const QByteArray &devNumber)
    {
        writeFile(paths.sysBlock + '/' + name + "/dev", devNumber + '\n');
    }
    // A disc: a folder with a track folder holding `tracks` files.
    QString disc(const QString &label, const QString &trackFolder = "MPEGAV", int tracks = 2)
    {
        const QString top = dir.path() + "/media/user/" + label;
        QDir().mkpath(top + '/' + trackFolder);
        for (int i = 1; i <= tracks; ++i)
            writeFile(top + '/' + trackFolder + QString("/AVSEQ%1.DAT").arg(i, 2, 10, QChar('0')), "x");
        return top;
    }
    void setMounts(const QList<QByteArray> &lines)
    {
        QByteArray text = "22 1 0:21 / /proc rw,nosuid shared:12 - proc proc rw\n"
                          "25 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n";
        for (const QByteArray &l : lines)
            text += l;
        writeFile(paths.mountInfo, text);
    }
    QString link(const QString &name) const { return paths.links + '/' + name; }
};

QStringList trackFiles(const QString &root)
{
    LinuxFileSystem fs;
    const ProbeResult folder = fs.probe(root + "Mpegav");
    if (folder.status != Lookup::Found)
        return {};
    return fs.listFiles(root + folder.name, "*.dat").names;
}

bool isLink(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

// A scripted drive: the answers of the status ioctl and what was asked.
struct FakeDrive {
    CdDriveStatus next{0, 0, CDS_DISC_OK};
    QStringList asked;
    LinuxCdAudioDevice::StatusQuery query()
    {
        return [this](const QString &device) {
            asked << device;
            return next;
        };
    }
};

int status(CdAudioDevice &device, QString *reply, int capacity = 255)
{
    *reply = QStringLiteral("untouched");
    return device.sendCommand("status cd media present", reply, capacity);
}

} // namespace

class TestLinuxCd : public QObject {
    Q_OBJECT
private slots:
    void opticalDrivesInNumberOrder();
    void mountTableParsing();
    void mountedDiscsAndImages();
    void driveWithoutDisc();
    void rootFollowsTheDisc();
    void badFilesDoNoHarm();
    void defaultLinkFolderIsPrivate();
    void deviceStatusAnswers();
    void deviceErrors();
    void replyCapacity();
    void closeAllRemovesLinks();
    void imageOnlyMachine();
    void realStatusQuery();
};

void TestLinuxCd::opticalDrivesInNumberOrder()
{
    FakeMachine m;
    for (const char *name : {"sr10", "sr2", "sr0", "sr1"})
        m.addDrive(name, "11:0");
    LinuxDriveQuery query(m.cd);
    // sr2 before sr10: by number, as the kernel found them.
    QCOMPARE(query.drives(), (QStringList{"sr0", "sr1", "sr2", "sr10"}));

    const QString root = query.driveRoot("sr1");
    QCOMPARE(root, m.paths.links + "/sr1/");
    QCOMPARE(query.driveType(root), DriveQuery::kCdRom);
    QCOMPARE(query.driveType(m.paths.links + "/sr1"), DriveQuery::kCdRom);
    // A label after the name does not change the root.
    QCOMPARE(query.driveRoot("sr1 SOME LABEL"), root);
    QCOMPARE(query.driveType(query.driveRoot("sr10")), DriveQuery::kCdRom);

    // Nothing else is a CD drive's root.
    QCOMPARE(query.driveType("/"), LinuxDriveQuery::kNoRootFolder);
    QCOMPARE(query.driveType(""), LinuxDriveQuery::kNoRootFolder);
    QCOMPARE(query.driveType(m.paths.links + "/sr7/"), LinuxDriveQuery::kNoRootFolder);
    QCOMPARE(query.driveRoot("vda"), QString());
    QCOMPARE(query.driveRoot(""), QString());

    // A drive unplugged: the next refresh forgets it.
    QVERIFY(QDir(m.paths.sysBlock + "/sr2").removeRecursively());
    QCOMPARE(query.drives(), (QStringList{"sr0", "sr1", "sr10"}));
    QCOMPARE(query.driveType(m.paths.links + "/sr2/"), LinuxDriveQuery::kNoRootFolder);
}

void TestLinuxCd::mountTableParsing()
{
    QCOMPARE(unescapeMountField("/media/u/My\\040Disc"), QString("/media/u/My Disc"));
    QCOMPARE(unescapeMountField("a\\011b\\012c\\134d"), QString("a\tb\nc\\d"));
    // Not an escape: left as it stands.
    QCOMPARE(unescapeMountField("a\\9b\\04"), QString("a\\9b\\04"));
    QCOMPARE(unescapeMountField("\\"), QString("\\"));

    const QByteArray text =
        "36 35 98:0 /mnt1 /mnt/with\\040blank rw,noatime master:1 shared:2 - ext3 /dev/root rw\n"
        "37 35 11:0 / /media/u/VCD ro - iso9660 /dev/sr0 ro\n"   // no optional fields
        "38 35 0:50 / /x rw - tmpfs  rw\n"                        // empty source
        "garbage line\n"
        "39 35 1:1 / relative rw - ext4 /dev/x rw\n"             // mount point not absolute
        "40 35 1:1 / /y rw shared:1 ext4 /dev/x rw\n"            // no separator
        "41 35 1:1 / /z rw -\n"                                  // separator at the end
        "\n";
    const QList<MountRecord> r = parseMountInfo(text);
    QCOMPARE(r.size(), 3);
    QCOMPARE(r[0].device, QString("98:0"));
    QCOMPARE(r[0].root, QString("/mnt1"));
    QCOMPARE(r[0].mountPoint, QString("/mnt/with blank"));
    QCOMPARE(r[0].fsType, QString("ext3"));
    QCOMPARE(r[0].source, QString("/dev/root"));
    QCOMPARE(r[1].mountPoint, QString("/media/u/VCD"));
    QCOMPARE(r[1].source, QString("/dev/sr0"));
    QCOMPARE(r[2].fsType, QString("tmpfs"));
    QCOMPARE(r[2].source, QString(""));
}

void TestLinuxCd::mountedDiscsAndImages()
{
    FakeMachine m;
    m.addDrive("sr0", "11:0");
    m.addDrive("sr1", "11:1");
    const QString vcd = m.disc("My Video\tCD", "MPEGAV", 3);
    const QString second = m.disc("SECOND", "mpegav", 1);
    const QString iso = m.disc("ISO IMAGE", "Mpegav", 2);
    const QString udf = m.disc("UDFIMG", "MPEGAV", 4);
    const QString ext4 = m.disc("EXT4", "MPEGAV", 5);
    m.setMounts({
        // A folder of the disc bound elsewhere, listed first: not the disc's top.
        mountLine("11:0", m.dir.path() + "/bound", "iso9660", "/dev/sr0", "/MPEGAV"),
        mountLine("11:0", vcd, "iso9660", "/dev/sr0"),
        // Mounted through another device name: found by its device number.
        mountLine("11:1", second, "udf", "/dev/cdrom1"),
        mountLine("7:3", iso, "iso9660", "/dev/loop3"),
        mountLine("7:3", m.dir.path() + "/again", "iso9660", "/dev/loop3"),
        mountLine("7:1", udf, "udf", "/dev/loop1"),
        mountLine("7:0", ext4, "ext4", "/dev/loop0"),
        mountLine("7:2", ext4, "squashfs", "/dev/loop2"),
        mountLine("0:60", ext4, "iso9660", "/home/u/disc.iso"),
    });
    LinuxDriveQuery query(m.cd);
    // Images in loop device order; ext4 and squashfs loops are no discs.
    QCOMPARE(query.drives(), (QStringList{"sr0 My Video\tCD", "sr1 SECOND", "image0 UDFIMG", "image1 ISO IMAGE"}));

    const QStringList names{"sr0", "sr1", "image0", "image1"};
    const QStringList tops{vcd, second, udf, iso};
    const QList<int> counts{3, 1, 4, 2};
    for (int i = 0; i < names.size(); ++i) {
        const QString root = query.driveRoot(names[i]);
        QCOMPARE(root, m.paths.links + '/' + names[i] + '/');
        QCOMPARE(query.driveType(root), DriveQuery::kCdRom);
        QCOMPARE(QFileInfo(m.link(names[i])).symLinkTarget(), tops[i]);
        QCOMPARE(trackFiles(root).size(), counts[i]);
    }
    // Root and folder name joined as the track scan does.
    LinuxFileSystem fs;
    const FileListing listing = fs.listFiles(query.driveRoot("sr0") + "Mpegav", "*.dat;*.mpg;*.mpeg");
    QVERIFY(listing.ok);
    QCOMPARE(listing.folder, m.paths.links + "/sr0/MPEGAV");
    QCOMPARE(listing.names, (QStringList{"AVSEQ01.DAT", "AVSEQ02.DAT", "AVSEQ03.DAT"}));
}

void TestLinuxCd::driveWithoutDisc()
{
    FakeMachine m;
    m.addDrive("sr0", "11:0");
    m.setMounts({mountLine("8:1", m.disc("STICK"), "vfat", "/dev/sda1")});
    LinuxDriveQuery query(m.cd);
    QCOMPARE(query.drives(), QStringList{"sr0"});
    const QString root = query.driveRoot("sr0");
    QCOMPARE(query.driveType(root), DriveQuery::kCdRom);
    QVERIFY(!QFileInfo::exists(m.link("sr0")));
    QVERIFY(!isLink(m.link("sr0")));

    LinuxFileSystem fs;
    QCOMPARE(fs.probe(root).status, Lookup::NotFound);
    QCOMPARE(fs.probe(root + "Mpegav").status, Lookup::NotFound);
    QVERIFY(!fs.listFiles(root + "Mpegav", "*.dat").ok);
    QVERIFY(!fs.listFiles(root, "*.dat").ok);
}

void TestLinuxCd::rootFollowsTheDisc()
{
    FakeMachine m;
    m.addDrive("sr0", "11:0");
    FakeDrive drive;
    LinuxDriveQuery query(m.cd);
    LinuxCdAudioDevice device(m.cd, drive.query());
    QCOMPARE(device.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0), 0);
    QCOMPARE(query.drives(), QStringList{"sr0"});
    const QString root = query.driveRoot("sr0");
    QString reply;

    // Put in: the next disc check aims the root at it.
    const QString first = m.disc("FIRST", "MPEGAV", 2);
    m.setMounts({mountLine("11:0", first, "iso9660", "/dev/sr0")});
    QCOMPARE(status(device, &reply), 0);
    QCOMPARE(reply, QString("true"));
    QCOMPARE(trackFiles(root).size(), 2);

    // Swapped: the automounter uses another folder for the other disc.
    const QString second = m.disc("SECOND", "mpegav", 5);
    m.setMounts({mountLine("11:0", second, "iso9660", "/dev/sr0")});
    QCOMPARE(status(device, &reply), 0);
    QCOMPARE(trackFiles(root).size(), 5);
    QCOMPARE(QFileInfo(m.link("sr0")).symLinkTarget(), second);

    // Swapped back, seen by a drive list refresh.
    m.setMounts({mountLine("11:0", first, "iso9660", "/dev/sr0")});
    QCOMPARE(query.drives(), QStringList{"sr0 FIRST"});
    QCOMPARE(trackFiles(root).size(), 2);

    // Taken out: the root names nothing.
    drive.next = {0, 0, CDS_TRAY_OPEN};
    m.setMounts({});
    QCOMPARE(status(device, &reply), 0);
    QCOMPARE(reply, QString("false"));
    QVERIFY(!isLink(m.link("sr0")));
    QVERIFY(trackFiles(root).isEmpty());
    QCOMPARE(query.drives(), QStringList{"sr0"});
}

void TestLinuxCd::badFilesDoNoHarm()
{
    FakeMachine m;
    m.addDrive("sr0", "garbage");
    writeFile(m.paths.sysBlock + "/sr1/dev", QByteArray(100, '\0'));
    QDir().mkpath(m.paths.sysBlock + "/sr2");   // no dev file at all

    QByteArray noise;
    for (int i = 0; i < 20000; ++i)
        noise += char((i * 7919) % 256);
    const QList<QByteArray> tables{
        noise,
        "",
        QByteArray(3000, ' '),
        QByteArray(3000, '-'),
        "1 2 3 4 5 6 - \n1 2 3 4 5 6 7 - iso9660\n- - - - - - - - -\n",
        "1 1 11:0 / /x\\ ro - iso9660 /dev/sr0 ro\n1 1 7:0 / /y\\04 ro - udf /dev/loop0 ro\n",
    };
    LinuxDriveQuery query(m.cd);
    FakeDrive drive;
    LinuxCdAudioDevice device(m.cd, drive.query());
    QCOMPARE(device.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0), 0);
    QString reply;
    for (const QByteArray &t : tables) {
        writeFile(m.paths.mountInfo, t);
        const QStringList list = query.drives();
        QVERIFY(list.size() >= 3);
        QVERIFY(list[0].startsWith("sr0"));
        QVERIFY(list[1].startsWith("sr1"));
        QVERIFY(list[2].startsWith("sr2"));
        QCOMPARE(status(device, &reply), 0);
    }
    // The last table holds trailing backslashes: still read as paths.
    QCOMPARE(query.drives(), (QStringList{"sr0 x\\", "sr1", "sr2", "image0 y\\04"}));

    // Mount table missing or not a file: nothing mounted.
    QFile::remove(m.paths.mountInfo);
    QCOMPARE(query.drives(), (QStringList{"sr0", "sr1", "sr2"}));
    QDir().mkpath(m.paths.mountInfo);
    QCOMPARE(query.drives(), (QStringList{"sr0", "sr1", "sr2"}));
    QCOMPARE(status(device, &reply), 0);

    // No sysfs at all.
    QVERIFY(QDir(m.dir.path() + "/sys").removeRecursively());
    QCOMPARE(query.drives(), QStringList());

    // The link folder cannot be made: roots fall back to the mount points.
    FakeMachine n;
    n.addDrive("sr0", "11:0");
    const QString disc = n.disc("DISC");
    n.setMounts({mountLine("11:0", disc, "iso9660", "/dev/sr0")});
    writeFile(n.dir.path() + "/file", "x");
    n.paths.links = n.dir.path() + "/file/links";
    LinuxDriveQuery fallback(std::make_shared<LinuxCdDrives>(n.paths));
    QCOMPARE(fallback.drives(), QStringList{"sr0 DISC"});
    QCOMPARE(fallback.driveRoot("sr0"), disc + '/');
    QCOMPARE(fallback.driveType(disc + '/'), DriveQuery::kCdRom);
}

void TestLinuxCd::defaultLinkFolderIsPrivate()
{
    QTemporaryDir runtime;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    const bool hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    LinuxCdDrives drives;
    const QString folder = drives.linkFolder();
    QCOMPARE(folder, runtime.path() + "/tavero-player");
    struct stat st {};
    QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &st), 0);
    QVERIFY(S_ISDIR(st.st_mode));
    QCOMPARE(int(st.st_mode & 0777), 0700);

    // A runtime folder that someone made a plain file of: another folder is used.
    QTemporaryDir runtime2;
    writeFile(runtime2.path() + "/tavero-player", "not a folder");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime2.path()));
    LinuxCdDrives other;
    const QString otherFolder = other.linkFolder();
    QVERIFY(!otherFolder.isEmpty());
    QVERIFY(!otherFolder.startsWith(runtime2.path()));
    QCOMPARE(::lstat(QFile::encodeName(otherFolder).constData(), &st), 0);
    QVERIFY(S_ISDIR(st.st_mode));
    QCOMPARE(int(st.st_mode & 077), 0);
    QCOMPARE(st.st_uid, ::getuid());

    ::rmdir(QFile::encodeName(otherFolder).constData());
    if (hadRuntime)
        qputenv("XDG_RUNTIME_DIR", saved);
    else
        qunsetenv("XDG_RUNTIME_DIR");
}

void TestLinuxCd::deviceStatusAnswers()
{
    FakeMachine m;
    m.addDrive("sr1", "11:1");
    m.addDrive("sr0", "11:0");
    FakeDrive drive;
    LinuxCdAudioDevice device(m.cd, drive.query());
    QString reply;

    // Never opened: the alias is unknown.
    QCOMPARE(status(device, &reply), CdAudioDevice::kAliasUnknown);
    QVERIFY(drive.asked.isEmpty());

    // Opens the first drive of two.
    QCOMPARE(device.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0), 0);
    QCOMPARE(device.openDrive(), QString("sr0"));
    QCOMPARE(drive.asked, QStringList{m.paths.devices + "/sr0"});
    // Opening twice is refused and keeps the first.
    QCOMPARE(device.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0),
             LinuxCdAudioDevice::kDuplicateAlias);
    QCOMPARE(device.openDrive(), QString("sr0"));

    struct Case {
        int cds;
        bool mounted;
        const char *reply;
    };
    const QList<Case> cases{
        {CDS_DISC_OK, false, "true"},     {CDS_DISC_OK, true, "true"},
        {CDS_NO_DISC, false, "false"},    {CDS_TRAY_OPEN, false, "false"},
        {CDS_NO_DISC, true, "false"},     // the drive knows better than a stale mount
        {CDS_NO_INFO, true, "true"},      {CDS_NO_INFO, false, "false"},
    };
    const QString disc = m.disc("VCD");
    for (const Case &c : cases) {
        m.setMounts(c.mounted ? QList<QByteArray>{mountLine("11:0", disc, "iso9660", "/dev/sr0")}
                              : QList<QByteArray>{});
        drive.next = {0, 0, c.cds};
        drive.asked.clear();
        QCOMPARE(status(device, &reply), 0);
        QCOMPARE(reply, QString(c.reply));
        QCOMPARE(drive.asked, QStringList{m.paths.devices + "/sr0"});
        QCOMPARE(isLink(m.link("sr0")), c.mounted);
    }

    // Letter case and blanks as the Windows device takes them.
    drive.next = {0, 0, CDS_DISC_OK};
    QCOMPARE(device.sendCommand("  Status CD  media PRESENT ", &reply, 255), 0);
    QCOMPARE(reply, QString("true"));
}

void TestLinuxCd::deviceErrors()
{
    FakeMachine m;
    m.addDrive("sr0", "11:0");
    FakeDrive drive;
    QString reply;

    // The drive cannot be opened at start: the alias stays unknown.
    {
        LinuxCdAudioDevice device(m.cd, drive.query());
        drive.next = {EACCES, 0, 0};
        reply.clear();
        QCOMPARE(device.sendCommand("open cdaudio alias cd wait shareable", &reply, 255),
                 LinuxCdAudioDevice::kHardware);
        QVERIFY(reply.contains(QString::fromLocal8Bit(std::strerror(EACCES))));
        QCOMPARE(status(device, &reply), CdAudioDevice::kAliasUnknown);
        drive.next = {EBUSY, 0, 0};
        QCOMPARE(device.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0),
                 LinuxCdAudioDevice::kDeviceOpen);
        QCOMPARE(status(device, &reply), CdAudioDevice::kAliasUnknown);
    }

    LinuxCdAudioDevice device(m.cd, drive.query());
    drive.next = {0, 0, CDS_NO_DISC};
    QCOMPARE(device.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0), 0);

    // Failures after the open: another code, and the reason as text.
    drive.next = {0, EIO, 0};
    QCOMPARE(status(device, &reply), LinuxCdAudioDevice::kHardware);
    QCOMPARE(reply, m.paths.devices + "/sr0: " + QString::fromLocal8Bit(std::strerror(EIO)));
    drive.next = {ENOENT, 0, 0};   // the drive was unplugged
    QCOMPARE(status(device, &reply), LinuxCdAudioDevice::kHardware);
    QVERIFY(reply.endsWith(QString::fromLocal8Bit(std::strerror(ENOENT))));
    drive.next = {0, 0, CDS_DRIVE_NOT_READY};
    QCOMPARE(status(device, &reply), LinuxCdAudioDevice::kDeviceNotReady);
    QVERIFY(reply.contains("not ready"));
    drive.next = {0, 0, 77};
    QCOMPARE(status(device, &reply), LinuxCdAudioDevice::kHardware);
    QVERIFY(reply.contains("77"));

    // Unknown commands: an error, the device stays as it was.
    for (const QString &c : {QString("play cd"), QString(), QString("status cd media"),
                             QString("open cdaudio alias cd"), QString("status cd media present now"),
                             QString(QChar(0)), QString(10000, 'x')}) {
        reply.clear();
        const int r = device.sendCommand(c, &reply, 255);
        QCOMPARE(r, LinuxCdAudioDevice::kUnrecognizedCommand);
        QVERIFY(reply.size() <= 255);
        QCOMPARE(device.sendCommand(c, nullptr, 255), LinuxCdAudioDevice::kUnrecognizedCommand);
    }
    drive.next = {0, 0, CDS_DISC_OK};
    QCOMPARE(status(device, &reply), 0);
    QCOMPARE(reply, QString("true"));

    // No drive at all: the alias opens all the same (an image may come
    // later), and no disc is present.
    FakeMachine empty;
    LinuxCdAudioDevice none(empty.cd, drive.query());
    QCOMPARE(status(none, &reply), CdAudioDevice::kAliasUnknown);
    QCOMPARE(none.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0), 0);
    QCOMPARE(status(none, &reply), 0);
    QCOMPARE(reply, QString("false"));
}

void TestLinuxCd::replyCapacity()
{
    FakeMachine m;
    m.addDrive("sr0", "11:0");
    FakeDrive drive;
    LinuxCdAudioDevice device(m.cd, drive.query());
    QCOMPARE(device.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0), 0);
    QString reply;

    drive.next = {0, 0, CDS_NO_DISC};
    QCOMPARE(status(device, &reply, 5), 0);
    QCOMPARE(reply, QString("false"));
    // A cut "false" would read as something else: refused whole.
    QCOMPARE(status(device, &reply, 4), LinuxCdAudioDevice::kParamOverflow);
    QCOMPARE(reply, QString());
    // No room asked for: no reply written, the result still told.
    QCOMPARE(status(device, &reply, 0), 0);
    QCOMPARE(reply, QString("untouched"));
    QCOMPARE(device.sendCommand("status cd media present", nullptr, 255), 0);

    drive.next = {0, EIO, 0};
    QCOMPARE(status(device, &reply, 10), LinuxCdAudioDevice::kHardware);
    QCOMPARE(reply, (m.paths.devices + "/sr0: ").left(10));
    QCOMPARE(status(device, &reply, 1), LinuxCdAudioDevice::kHardware);
    QCOMPARE(reply.size(), 1);
    QCOMPARE(status(device, &reply, -5), LinuxCdAudioDevice::kHardware);
    QCOMPARE(reply, QString("untouched"));
    QCOMPARE(device.sendCommand("bogus", &reply, 3), LinuxCdAudioDevice::kUnrecognizedCommand);
    QCOMPARE(reply.size(), 3);
}

void TestLinuxCd::closeAllRemovesLinks()
{
    FakeMachine m;
    m.addDrive("sr0", "11:0");
    m.addDrive("sr1", "11:1");
    const QString a = m.disc("A"), b = m.disc("B");
    m.setMounts({mountLine("11:0", a, "iso9660", "/dev/sr0"), mountLine("11:1", b, "iso9660", "/dev/sr1"),
                 mountLine("7:4", a, "iso9660", "/dev/loop4")});
    // Someone else's file in the folder, and a link of a drive long gone.
    writeFile(m.paths.links + "/notes.txt", "keep");
    QVERIFY(::symlink("/nowhere", QFile::encodeName(m.link("sr9")).constData()) == 0);

    FakeDrive drive;
    LinuxDriveQuery query(m.cd);
    LinuxCdAudioDevice device(m.cd, drive.query());
    QCOMPARE(device.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0), 0);
    QCOMPARE(query.drives().size(), 3);
    QVERIFY(isLink(m.link("sr0")) && isLink(m.link("sr1")) && isLink(m.link("image0")));
    QVERIFY(!isLink(m.link("sr9")));

    QCOMPARE(device.sendCommand("close all", nullptr, 0), 0);
    QVERIFY(!isLink(m.link("sr0")) && !isLink(m.link("sr1")) && !isLink(m.link("image0")));
    QVERIFY(QFileInfo::exists(m.paths.links + "/notes.txt"));
    QString reply;
    QCOMPARE(status(device, &reply), CdAudioDevice::kAliasUnknown);
    // Closing what is closed is harmless.
    QCOMPARE(device.sendCommand("close all", nullptr, 0), 0);

    // Open again: the links come back with the next look.
    QCOMPARE(device.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0), 0);
    QCOMPARE(status(device, &reply), 0);
    QVERIFY(isLink(m.link("sr0")) && isLink(m.link("sr1")));
}

void TestLinuxCd::imageOnlyMachine()
{
    FakeMachine m;
    const QString iso = m.disc("IMAGE", "MPEGAV", 3);
    m.setMounts({mountLine("7:2", iso, "iso9660", "/dev/loop2")});
    FakeDrive drive;
    LinuxDriveQuery query(m.cd);
    LinuxCdAudioDevice device(m.cd, drive.query());
    QCOMPARE(device.sendCommand("open cdaudio alias cd wait shareable", nullptr, 0), 0);
    QCOMPARE(device.openDrive(), QString("image0"));
    QCOMPARE(query.drives(), QStringList{"image0 IMAGE"});
    const QString root = query.driveRoot("image0");
    QCOMPARE(query.driveType(root), DriveQuery::kCdRom);
    QCOMPARE(trackFiles(root).size(), 3);

    QString reply;
    QCOMPARE(status(device, &reply), 0);
    QCOMPARE(reply, QString("true"));
    // No ioctl for an image: there is no drive to ask.
    QVERIFY(drive.asked.isEmpty());

    m.setMounts({});
    QCOMPARE(status(device, &reply), 0);
    QCOMPARE(reply, QString("false"));
    QVERIFY(trackFiles(root).isEmpty());

    // Mounted again, on another loop device and at another place.
    const QString again = m.disc("IMAGE 2", "mpegav", 4);
    m.setMounts({mountLine("7:5", again, "udf", "/dev/loop5")});
    QCOMPARE(status(device, &reply), 0);
    QCOMPARE(reply, QString("true"));
    QCOMPARE(trackFiles(root).size(), 4);
}

void TestLinuxCd::realStatusQuery()
{
    QTemporaryDir dir;
    const CdDriveStatus missing = LinuxCdAudioDevice::queryDriveStatus(dir.path() + "/sr0");
    QCOMPARE(missing.openError, ENOENT);
    // A file that is no CD drive: opened, but the ioctl is refused.
    writeFile(dir.path() + "/plain", "x");
    const CdDriveStatus plain = LinuxCdAudioDevice::queryDriveStatus(dir.path() + "/plain");
    QCOMPARE(plain.openError, 0);
    QVERIFY(plain.queryError != 0);
}

QTEST_GUILESS_MAIN(TestLinuxCd)
#include "tst_linuxcd.moc"
