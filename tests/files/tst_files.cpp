// File > Open File and the recent-files list, as the user meets them.
#include "disc/ImageKinds.h"
#include "platform/QtOpenFileDialog.h"
#include "support/FormRig.h"
#include <QtWidgets>

using namespace tavero;
using namespace tavero::test;

// The names in the dialog's list, sorted; a greyed one is marked.
static QString listed(QFileDialog &dialog)
{
    auto *view = dialog.findChild<QListView *>(QStringLiteral("listView"));
    QStringList names;
    for (QModelIndex i = view->model()->index(0, 0, view->rootIndex()); i.isValid(); i = i.siblingAtRow(i.row() + 1))
        names << i.data().toString() + (i.flags() & Qt::ItemIsEnabled ? "" : " (greyed)");
    names.sort(Qt::CaseInsensitive);
    return names.join(QLatin1Char(' '));
}

// The recent part of the File menu: "---" for the separator, "" for a hidden entry, "?" for an empty one shown.
static QString recent(const Form1 &form)
{
    QStringList shown;
    for (QAction *item : form.mnuRecent)
        shown << (!item->isVisible() ? QString() : item->text().isEmpty() ? "?" : item->text());
    return (form.mnuD02->isVisible() ? "---|" : "") + shown.join(QLatin1Char('|'));
}

class TestFiles : public QObject {
    Q_OBJECT
private slots:
    void openAndRecent()
    {
        QTemporaryDir config;   // the user's: the dialog keeps nothing there
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        FormRig rig({.cdDrive = true});
        FakeOpenDialog &asked = rig.platform.openDialog;
        rig.disc.addFiles("Movies", {"Film.MPG"});   // its recent entry, in lower case, still has to find it
        const QString film = rig.disc.path("Movies/Film.MPG");
        const auto playsAgain = [&] {   // at its end, as a file played on its own does when Loop is on
            rig.player->finishMedium();
            rig.form->Timer1_Timer();
            return rig.player->PlayState() == MediaPlayer::Playing && rig.player->FileName() == film;
        };
        rig.form->mnuLoop_Click();
        for (const char *path : {"", "   "})
            rig.form->UpdateRecentFiles(path);
        QCOMPARE(recent(*rig.form), "||||");
        asked.answer = film;
        rig.form->mnuOpen->trigger();
        QVERIFY(playsAgain());
        asked.answer.clear();   // cancelled while it plays: it is no longer on its own
        rig.form->mnuOpen_Click();
        QVERIFY(!playsAgain());
        for (const char *path : {"  /No/X.DAT ", "/Tom & Jerry&Co", "/TMP", "/v/c", "/V/C", " /tmp ", "/v/f"})
            rig.form->UpdateRecentFiles(path);
        const QString shown = "---|&1: /v/f|&2: " + film.toLower() + "|&3: /no/x.dat|&4: /tom && jerry&&co|&5: /tmp";
        QCOMPARE(recent(*rig.form), shown);
        rig.platform.files.probeErrors << "/tmp";   // and not answering
        for (int k : {2, 3, 4, 1})   // missing, or a folder: the user is told and the entry stays
            rig.form->mnuRecent[k]->trigger();
        QVERIFY(playsAgain());
        QCOMPARE(rig.opened(), QStringList({film, film}));
        QCOMPARE(rig.messages(), QStringList({"The file '/no/x.dat' could not be found ...!",
                                              "The file '/tom & jerry&co' could not be found ...!",
                                              "The file '/tmp' could not be found ...!"}));
        QCOMPARE(rig.platform.messages.shown.last().icon, MessageIcon::Error);
        QCOMPARE(recent(*rig.form), shown);
        rig.disc.addFiles("MPEGAV/sub", {});   // the disc's track folder, for Qt's dialog to list
        rig.disc.addFiles("MPEGAV", QString("a.DAT b.avi c.qtx d.MPG e.mpeg f.mp3 NOTES g.cue h.NRG i.bin j.Mdf").split(' '));
        auto dialog = QtOpenFileDialog::createDialog(nullptr, asked.lastTitle, asked.lastFilters,
                                                     asked.lastSelected, asked.lastFolder);   // as last asked
        QCOMPARE(dialog->windowTitle(), "Select a media file ...");
        QCOMPARE(dialog->directory().absolutePath(), rig.disc.path("MPEGAV"));   // asked for "Mpegav"
        static const char *const filters[][2] = {
            {"All Media files (*.dat;*.avi;*.qt;*.mpeg;*.mpg)", "a.DAT b.avi c.qtx d.MPG e.mpeg f.mp3 sub"},
            {"Video CD/Movie files (*.dat)", "a.DAT sub"},
            {"MPEG files (*.mpg;*.mpeg;*.mp3)", "d.MPG e.mpeg f.mp3 sub"},
            {"AVI files (*.avi)", "b.avi sub"},
            {"QuickTime files (*.qt)", "c.qtx sub"},
            {"All files (*.*)", "a.DAT b.avi c.qtx d.MPG e.mpeg f.mp3 g.cue h.NRG i.bin j.Mdf NOTES sub"},
            {"Video CD images (*.cue;*.nrg;*.bin;*.toc;*.img;*.ccd;*.mdf;*.mds)", "g.cue h.NRG i.bin j.Mdf sub"}};
        auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        QCOMPARE(types->count(), int(std::size(filters)));
        for (const auto &filter : filters) {
            QCOMPARE(dialog->selectedNameFilter(), filter[0]);
            QTRY_COMPARE_WITH_TIMEOUT(listed(*dialog), filter[1], 10000);
            QTest::keyClick(types, Qt::Key_Down);
        }
        dialog->reject();
        dialog.reset();
        QCOMPARE(QtOpenFileDialog::createDialog(nullptr, {}, {}, 0, rig.disc.path("gone/x"))->directory().path(),
                 rig.disc.path("MPEGAV"));   // a folder gone: back where the last dialog was
        QVERIFY(QtOpenFileDialog::createDialog(nullptr, {}, {}, 0, {})->history().contains(rig.disc.path("MPEGAV")));
        QCOMPARE(QtOpenFileDialog::createDialog(nullptr, {}, {}, 0, rig.disc.path("Movies"))->directory().path(),
                 rig.disc.path("Movies"));   // a folder given is where it starts, however many came before
        whenModal<QFileDialog>([&](QFileDialog *d) { d->selectFile(film), static_cast<QDialog *>(d)->accept(); });
        QCOMPARE(QtOpenFileDialog().getOpenFileName(nullptr, {}, {}, 0, rig.disc.path("Movies")), film);
        QCOMPARE(QDir(config.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        rig.form->mnuClose->trigger(), rig.scan(), rig.playTrack(0);   // a track of the disc enters the list too
        QVERIFY(recent(*rig.form).startsWith("---|&1: " + rig.disc.path("MPEGAV/a.DAT").toLower() + "|&2: /v/f|"));
        // The desktop offers the player every kind of image that has a type of its own.
        QFile entry(TAVERO_SOURCE_DIR "/data/org.tavero.Player.desktop");
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray desktop = entry.readAll();
        for (const ImageKind &kind : kImageKinds)
            QVERIFY2(!kind.mimeType || desktop.contains(QByteArray(kind.mimeType) + ';'), kind.mimeType);
    }
};

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
