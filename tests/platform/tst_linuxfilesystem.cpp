// The file system seam on a real folder tree, and the program's argument text.
#include "platform/LinuxFileSystem.h"
#include "platform/LinuxPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace tavero;

namespace {

void writeFile(const QString &path, const QByteArray &content = "x")
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

void makeLink(const QString &target, const QString &link)
{
    QVERIFY(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0);
}

} // namespace

class TestLinuxFileSystem : public QObject {
    Q_OBJECT
private slots:
    void foldersFoundInAnyLetterCase();
    void masks();
    void listingLeavesOutWhatIsNoFile();
    void probe();
    void probeOfUnreadablePlaces();
    void findFileAndSize();
    void argumentText();
};

void TestLinuxFileSystem::foldersFoundInAnyLetterCase()
{
    QTemporaryDir dir;
    const QString top = dir.path() + "/Disc";
    writeFile(top + "/MPEGAV/AVSEQ01.DAT");
    writeFile(top + "/MPEGAV/AVSEQ02.DAT");
    LinuxFileSystem fs;

    for (const QString &asked : {top + "/mpegav", top + "/Mpegav", top + "/MPEGAV", dir.path() + "/DISC/mPEGAv"}) {
        const FileListing l = fs.listFiles(asked, "*.dat");
        QVERIFY2(l.ok, qPrintable(asked));
        // The folder as it really is, for the paths built from it later.
        QCOMPARE(l.folder, top + "/MPEGAV");
        QCOMPARE(l.names, (QStringList{"AVSEQ01.DAT", "AVSEQ02.DAT"}));
    }
    QCOMPARE(LinuxFileSystem::resolveFolder(dir.path() + "/disc"), top);

    // Where both spellings exist, the one asked for exactly wins.
    writeFile(top + "/mpegav/avseq09.dat");
    QCOMPARE(fs.listFiles(top + "/mpegav", "*.dat").names, QStringList{"avseq09.dat"});
    QCOMPARE(fs.listFiles(top + "/MPEGAV", "*.dat").names.size(), 2);

    // Missing, or a file where the folder should be: an error, no names.
    for (const QString &bad : {top + "/Mpegsav", top + "/MPEGAV/AVSEQ01.DAT", top + "/MPEGAV/AVSEQ01.DAT/x",
                               dir.path() + "/nowhere/at/all", QString()}) {
        const FileListing l = fs.listFiles(bad, "*.*");
        QVERIFY2(!l.ok, qPrintable(bad));
        QVERIFY(l.names.isEmpty());
        QVERIFY(!l.error.isEmpty());
    }
}

void TestLinuxFileSystem::masks()
{
    struct Case {
        const char *name;
        const char *mask;
        bool match;
    };
    const QList<Case> cases{
        {"AVSEQ01.DAT", "*.dat", true},  {"avseq01.dat", "*.DAT", true},  {"AVSEQ01.DAT", " *.dat ", true},
        {"x.data", "*.dat", false},      {"dat", "*.dat", false},         {"x.dat.bak", "*.dat", false},
        {".dat", "*.dat", true},         {"clip.mpg", "*.mp*", true},     {"clip.MPEG", "*.mp*", true},
        {"clip.mp4", "*.mp*", true},     {"clip.mp", "*.mp*", true},      {"clip.m2v", "*.mp*", false},
        {"mpclip.avi", "*.mp*", false},  {"a.mp3.avi", "*.mp*", true},    {"movie.qt", "*.qt*", true},
        {"movie.QTX", "*.qt*", true},    {"movieqt", "*.qt*", false},     {"noext", "*.*", true},
        {"a.b.c", "*.*", true},          {"noext", "*", true},            {"AVSEQ01.DAT", "avseq?1.dat", true},
        {"AVSEQ1.DAT", "avseq?1.dat", false}, {"anything", "", false},    {"a*b", "a*b", true},
        {"aXXbYYb", "a*b", true},        {"aXXbYYc", "a*b", false},       {"ÉTÉ.DAT", "été.dat", true},
    };
    for (const Case &c : cases)
        QVERIFY2(LinuxFileSystem::matchesMask(QString::fromUtf8(c.name), QString::fromUtf8(c.mask)) == c.match,
                 qPrintable(QString("%1 against %2").arg(c.name, c.mask)));

    QTemporaryDir dir;
    for (const char *n : {"AVSEQ01.DAT", "avseq02.dat", "clip.MPG", "clip.mpeg", "clip.mp4", "notes.txt", "README"})
        writeFile(dir.path() + '/' + n);
    LinuxFileSystem fs;
    // Sorted by name without regard to case.
    QCOMPARE(fs.listFiles(dir.path(), "*.dat;*.mpg;*.mpeg").names,
             (QStringList{"AVSEQ01.DAT", "avseq02.dat", "clip.mpeg", "clip.MPG"}));
    QCOMPARE(fs.listFiles(dir.path(), ";;*.DAT;").names, (QStringList{"AVSEQ01.DAT", "avseq02.dat"}));
    QCOMPARE(fs.listFiles(dir.path(), "*.mp*").names, (QStringList{"clip.mp4", "clip.mpeg", "clip.MPG"}));
    QCOMPARE(fs.listFiles(dir.path(), "*.*").names.size(), 7);
    const FileListing none = fs.listFiles(dir.path(), "*.qt");
    QVERIFY(none.ok);
    QVERIFY(none.names.isEmpty());
    QVERIFY(fs.listFiles(dir.path(), "").names.isEmpty());

    // Names that differ only in case keep a fixed order.
    writeFile(dir.path() + "/B.dat");
    writeFile(dir.path() + "/b.dat");
    writeFile(dir.path() + "/a.dat");
    QCOMPARE(fs.listFiles(dir.path(), "?.dat").names, (QStringList{"a.dat", "B.dat", "b.dat"}));
}

void TestLinuxFileSystem::listingLeavesOutWhatIsNoFile()
{
    QTemporaryDir dir;
    const QString d = dir.path();
    writeFile(d + "/AVSEQ01.DAT");
    writeFile(d + "/.hidden.dat");
    QDir().mkpath(d + "/folder.dat");
    QDir().mkpath(d + "/.hiddenfolder");
    makeLink(d + "/AVSEQ01.DAT", d + "/linked.dat");
    makeLink(d + "/gone.dat", d + "/dangling.dat");
    makeLink(d + "/folder.dat", d + "/linkedfolder.dat");
    LinuxFileSystem fs;
    QCOMPARE(fs.listFiles(d, "*.dat").names, (QStringList{"AVSEQ01.DAT", "linked.dat"}));
    QCOMPARE(fs.listFiles(d, "*.*").names, (QStringList{"AVSEQ01.DAT", "linked.dat"}));
    QCOMPARE(fs.listFiles(d + "/folder.dat", "*.*").names, QStringList());
}

void TestLinuxFileSystem::probe()
{
    QTemporaryDir dir;
    const QString top = dir.path() + "/disc";
    writeFile(top + "/MPEGAV/AVSEQ01.DAT");
    writeFile(top + "/.hidden");
    writeFile(top + "/zeta.txt");
    QDir().mkpath(top + "/Bfolder");
    QDir().mkpath(dir.path() + "/empty");
    writeFile(dir.path() + "/onlyhidden/.x");
    LinuxFileSystem fs;

    ProbeResult r = fs.probe(top + "/Mpegav");
    QCOMPARE(r.status, Lookup::Found);
    QCOMPARE(r.name, QString("MPEGAV"));
    r = fs.probe(top + "/mpegav/avseq01.dat");
    QCOMPARE(r.status, Lookup::NotFound);   // only the last name is matched loosely
    r = fs.probe(top + "/MPEGAV/avseq01.dat");
    QCOMPARE(r.status, Lookup::Found);
    QCOMPARE(r.name, QString("AVSEQ01.DAT"));

    // A trailing "/": any entry, files and folders alike, never a hidden one.
    r = fs.probe(top + '/');
    QCOMPARE(r.status, Lookup::Found);
    QCOMPARE(r.name, QString("Bfolder"));
    QCOMPARE(fs.probe(dir.path() + "/empty/").status, Lookup::NotFound);
    QCOMPARE(fs.probe(dir.path() + "/onlyhidden/").status, Lookup::NotFound);

    // Both spellings: the exact one.
    QDir().mkpath(top + "/mpegav");
    QCOMPARE(fs.probe(top + "/mpegav").name, QString("mpegav"));
    QCOMPARE(fs.probe(top + "/MPEGAV").name, QString("MPEGAV"));
    QCOMPARE(fs.probe(top + "/Mpegav").name, QString("MPEGAV"));

    for (const QString &missing : {top + "/Mpegsav", top + "/.hidden", top + "/zeta.txt/x", top + "/zeta.txt/",
                                   dir.path() + "/nowhere/", dir.path() + "/nowhere/Mpegav", QString(),
                                   dir.path() + "/"}) {
        r = fs.probe(missing);
        if (missing == dir.path() + "/") {
            QCOMPARE(r.status, Lookup::Found);   // the temporary folder has entries
            continue;
        }
        QVERIFY2(r.status == Lookup::NotFound, qPrintable(missing));
        QVERIFY(r.name.isEmpty());
    }
}

void TestLinuxFileSystem::probeOfUnreadablePlaces()
{
    QTemporaryDir dir;
    LinuxFileSystem fs;
    // A link that points at itself cannot be read, not even by root.
    makeLink(dir.path() + "/loop", dir.path() + "/loop");
    ProbeResult r = fs.probe(dir.path() + "/loop/");
    QCOMPARE(r.status, Lookup::Error);
    QVERIFY(!r.error.isEmpty());
    r = fs.probe(dir.path() + "/loop/Mpegav");
    QCOMPARE(r.status, Lookup::Error);
    QVERIFY(!fs.listFiles(dir.path() + "/loop", "*.*").ok);

    // A folder closed to us; root reads it anyway, so only others can test it.
    if (::geteuid() != 0) {
        writeFile(dir.path() + "/closed/MPEGAV/A.DAT");
        QVERIFY(::chmod(QFile::encodeName(dir.path() + "/closed").constData(), 0) == 0);
        r = fs.probe(dir.path() + "/closed/Mpegav");
        QCOMPARE(r.status, Lookup::Error);
        QVERIFY(!r.error.isEmpty());
        const FileListing l = fs.listFiles(dir.path() + "/closed/MPEGAV", "*.*");
        QVERIFY(!l.ok);
        QVERIFY(!l.error.isEmpty());
        ::chmod(QFile::encodeName(dir.path() + "/closed").constData(), 0700);
    }
}

void TestLinuxFileSystem::findFileAndSize()
{
    QTemporaryDir dir;
    const QString d = dir.path();
    writeFile(d + "/clip.mpg", QByteArray(12345, 'v'));
    writeFile(d + "/empty.mpg", "");
    writeFile(d + "/.hidden.mpg");
    QDir().mkpath(d + "/folder.mpg");
    makeLink(d + "/clip.mpg", d + "/link.mpg");
    makeLink(d + "/gone.mpg", d + "/dangling.mpg");
    makeLink(d + "/self", d + "/self");
    LinuxFileSystem fs;

    QCOMPARE(fs.findFile(d + "/clip.mpg"), Lookup::Found);
    QCOMPARE(fs.findFile(d + "/link.mpg"), Lookup::Found);
    QCOMPARE(fs.findFile(d + "/empty.mpg"), Lookup::Found);
    for (const QString &p : {d + "/folder.mpg", d + "/dangling.mpg", d + "/.hidden.mpg", d + "/missing.mpg",
                             d + "/clip.mpg/x", d + "/self", QString(), d, d + '/'})
        QVERIFY2(fs.findFile(p) == Lookup::NotFound, qPrintable(p));

    QCOMPARE(fs.fileSize(d + "/clip.mpg"), std::optional<qint64>(12345));
    QCOMPARE(fs.fileSize(d + "/link.mpg"), std::optional<qint64>(12345));
    QCOMPARE(fs.fileSize(d + "/empty.mpg"), std::optional<qint64>(0));
    for (const QString &p : {d + "/folder.mpg", d + "/dangling.mpg", d + "/missing.mpg", QString()})
        QVERIFY2(!fs.fileSize(p).has_value(), qPrintable(p));
}

void TestLinuxFileSystem::argumentText()
{
    struct Case {
        QList<QByteArray> args;
        QString text;
    };
    const QList<Case> cases{
        {{"tavero-player"}, ""},
        {{"tavero-player", "/media/u/My Disc/a.mpg"}, "/media/u/My Disc/a.mpg"},
        // An unquoted path with blanks comes as several arguments.
        {{"tavero-player", "/media/u/My", "Disc/a.mpg"}, "/media/u/My Disc/a.mpg"},
        {{"tavero-player", "a", "", "b"}, "a  b"},
        {{"tavero-player", "\"quoted\"", "été.mpg"}, "\"quoted\" été.mpg"},
    };
    for (const Case &c : cases) {
        QList<QByteArray> storage = c.args;
        std::vector<char *> argv;
        for (QByteArray &a : storage)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        LinuxProgramInfo info(int(storage.size()), argv.data());
        QCOMPARE(info.argumentText(), c.text);
    }
}

QTEST_GUILESS_MAIN(TestLinuxFileSystem)
#include "tst_linuxfilesystem.moc"
