// File > Open File: what the menu asks of the dialog, and what Qt's dialog
// then lists under each filter.
#include "platform/QtOpenFileDialog.h"
#include "support/FormRig.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>

using namespace tavero;
using namespace tavero::test;

class TestOpenDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void menuAsksForItsFilters();
    void singleFileModeFollowsTheAnswer();
    void startFolderIsCdFolder();
    void eachFilterListsItsOwnMasks();
    void startFolderFallsBackToQts();
    void nothingStoredBetweenRuns();

private:
    QTemporaryDir config_;   // the user's config folder
};

static const QList<QPair<QString, QString>> kFilters{
    {"All Media files (*.dat;*.avi;*.qt;*.mpeg;*.mpg)", "*.dat;*.avi;*.qt*;*.mp*"},
    {"Video CD/Movie files (*.dat)", "*.dat"},
    {"MPEG files (*.mpg;*.mpeg;*.mp3)", "*.mp*"},
    {"AVI files (*.avi)", "*.avi"},
    {"QuickTime files (*.qt)", "*.qt*"},
    {"All files (*.*)", "*.*"},
    {"Video CD images (*.cue;*.nrg;*.bin)", "*.cue;*.nrg;*.bin"},
};

void TestOpenDialog::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
}

void TestOpenDialog::menuAsksForItsFilters()
{
    FormRig rig;
    FakePlatform &platform = rig.platform;
    rig.form->mnuOpen->trigger();

    QCOMPARE(platform.openDialog.calls, 1);
    QCOMPARE(platform.openDialog.lastTitle, QStringLiteral("Select a media file ..."));
    QCOMPARE(platform.openDialog.lastSelected, 0);
    QList<QPair<QString, QString>> asked;
    for (const FileFilter &f : platform.openDialog.lastFilters)
        asked.append({f.description, f.pattern});
    QCOMPARE(asked, kFilters);
}

void TestOpenDialog::singleFileModeFollowsTheAnswer()
{
    FormRig rig;
    Form1 &form = *rig.form;
    FakePlatform &platform = rig.platform;
    FakeMediaPlayer *player = rig.player;

    // Cancelled while a single file plays: the mode ends, nothing else
    // happens to the player.
    form.state.SingleFileMode = true;
    player->calls.clear();
    platform.openDialog.answer.clear();
    form.mnuOpen_Click();
    QVERIFY(!form.state.SingleFileMode);
    QVERIFY(player->calls.filter(QStringLiteral("Open")).isEmpty());
    QVERIFY(platform.messages.shown.isEmpty());

    // A chosen file is played in single-file mode.
    const QString clip = QDir(QString::fromLocal8Bit(qgetenv("TAVERO_TEST_TMP"))).filePath("x.mpg");
    platform.openDialog.answer = clip;
    form.mnuOpen_Click();
    QVERIFY(form.state.SingleFileMode);
    const QStringList opens = player->calls.filter(QStringLiteral("Open "));
    QCOMPARE(opens, QStringList{QStringLiteral("Open ") + clip});
}

void TestOpenDialog::startFolderIsCdFolder()
{
    // A disc mounted with upper-case names in a CD drive.
    FormRig rig({.cdDrive = true});
    Form1 &form = *rig.form;
    FakePlatform &platform = rig.platform;
    rig.disc.addFiles(QStringLiteral("MPEGAV"), {});
    Disc movies;
    movies.addFiles(QString(), {QStringLiteral("film.mpg")});
    const QString film = movies.path(QStringLiteral("film.mpg"));
    form.FindCDDrive(false);
    QVERIFY(!form.state.CDFolder.isEmpty());
    form.mnuOpen_Click();
    QCOMPARE(platform.openDialog.lastFolder, form.state.CDFolder);
    // Qt's dialog finds that folder whatever its letter case.
    const auto dialog = QtOpenFileDialog::createDialog(nullptr, QString(), platform.openDialog.lastFilters,
                                                       0, platform.openDialog.lastFolder);
    QCOMPARE(dialog->directory().absolutePath(), rig.disc.path(QStringLiteral("MPEGAV")));

    // After a file from elsewhere, the dialog starts on the disc again.
    platform.openDialog.answer = film;
    form.mnuOpen_Click();
    platform.openDialog.answer.clear();
    form.mnuOpen_Click();
    QCOMPARE(platform.openDialog.lastFolder, form.state.CDFolder);

    // No CD drive: no folder of ours, the dialog picks one.
    FormRig noDrive;
    noDrive.form->FindCDDrive(false);
    noDrive.form->mnuOpen_Click();
    QCOMPARE(noDrive.platform.openDialog.lastFolder, QString());
}

static void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

static QStringList listed(QFileDialog &dialog, const QString &folder)
{
    auto *proxy = qobject_cast<QSortFilterProxyModel *>(dialog.proxyModel());
    auto *fs = qobject_cast<QFileSystemModel *>(proxy->sourceModel());
    const QModelIndex root = proxy->mapFromSource(fs->index(folder));
    QStringList names;
    for (int r = 0; r < proxy->rowCount(root); ++r) {
        const QModelIndex i = proxy->index(r, 0, root);
        QString name = i.data().toString();
        if (fs->isDir(proxy->mapToSource(i)))
            name += QLatin1Char('/');
        else if (!(proxy->flags(i) & Qt::ItemIsEnabled))
            name += QStringLiteral(" (disabled)");
        names << name;
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

void TestOpenDialog::eachFilterListsItsOwnMasks()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString dir = tmp.path();
    for (const char *name : {"song.mp3", "clip.qtx", "AVSEQ01.DAT", "movie.avi", "Film.MPG",
                             "old.mpeg", "notes.txt", "README"})
        touch(dir + QLatin1Char('/') + QLatin1String(name));
    QVERIFY(QDir(dir).mkdir(QStringLiteral("sub")));

    QList<FileFilter> filters;
    for (const auto &f : kFilters)
        filters.append({f.first, f.second});
    std::unique_ptr<QFileDialog> dialog =
        QtOpenFileDialog::createDialog(nullptr, QStringLiteral("Select a media file ..."), filters, 0, dir);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Select a media file ..."));
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
    QCOMPARE(dialog->directory().absolutePath(), QDir(dir).absolutePath());
    QStringList descriptions;
    for (const auto &f : kFilters)
        descriptions << f.first;
    QCOMPARE(dialog->nameFilters(), descriptions);
    QCOMPARE(dialog->selectedNameFilter(), descriptions.first());

    dialog->show();
    const QStringList allMedia{"AVSEQ01.DAT", "clip.qtx", "Film.MPG", "movie.avi", "old.mpeg",
                               "song.mp3", "sub/"};
    QTRY_COMPARE_WITH_TIMEOUT(listed(*dialog, dir), allMedia, 10000);

    // The user steps through the filter box.
    QComboBox *types = nullptr;
    for (QComboBox *c : dialog->findChildren<QComboBox *>()) {
        if (c->count() == kFilters.size() && c->itemText(0) == descriptions.first())
            types = c;
    }
    QVERIFY(types);
    const QList<QStringList> expected{
        {"AVSEQ01.DAT", "sub/"},
        {"Film.MPG", "old.mpeg", "song.mp3", "sub/"},
        {"movie.avi", "sub/"},
        {"clip.qtx", "sub/"},
        {"AVSEQ01.DAT", "clip.qtx", "Film.MPG", "movie.avi", "notes.txt", "old.mpeg", "README",
         "song.mp3", "sub/"},
        {"sub/"},
    };
    types->setFocus();
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(types, Qt::Key_Down);
        QCOMPARE(types->currentIndex(), i + 1);
        QCOMPARE(dialog->selectedNameFilter(), descriptions.at(i + 1));
        QTRY_COMPARE(listed(*dialog, dir), expected.at(i));
    }
    dialog->reject();
}

void TestOpenDialog::startFolderFallsBackToQts()
{
    // Empty or missing: wherever Qt's dialog starts by itself.
    QTemporaryDir tmp;
    const QList<FileFilter> filters{{QStringLiteral("All files (*.*)"), QStringLiteral("*.*")}};
    const QString own = QtOpenFileDialog::createDialog(nullptr, QString(), filters, 0, QString())
                            ->directory().absolutePath();
    QCOMPARE(QtOpenFileDialog::createDialog(nullptr, QString(), filters, 0,
                                            tmp.path() + QStringLiteral("/gone"))
                 ->directory().absolutePath(),
             own);
}

void TestOpenDialog::nothingStoredBetweenRuns()
{
    // The user looks into a folder and cancels; the next dialog of the run
    // offers that folder in its history, and no file holds it afterwards.
    QTemporaryDir visited;
    const QList<FileFilter> filters{{QStringLiteral("All files (*.*)"), QStringLiteral("*.*")}};
    auto dialog = QtOpenFileDialog::createDialog(nullptr, QString(), filters, 0, visited.path());
    dialog->show();
    dialog->reject();
    dialog.reset();
    dialog = QtOpenFileDialog::createDialog(nullptr, QString(), filters, 0, QString());
    QVERIFY2(dialog->history().contains(visited.path()), qPrintable(dialog->history().join(' ')));
    dialog.reset();
    QCOMPARE(QDir(config_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_MAIN(TestOpenDialog)
#include "tst_open_dialog.moc"
