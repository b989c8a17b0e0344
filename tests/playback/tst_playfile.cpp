// Opening a file: recognising Video CD tracks, the track marker, the
// opening state of the menus, a failed open, and files dropped on the window.
#include "support/FormRig.h"

#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QtTest>

using namespace tavero;
using namespace tavero::test;

class TestPlayFile : public QObject {
    Q_OBJECT
private slots:
    void trackRecognition_data();
    void trackRecognition();
    void markerMovesBetweenSlots();
    void onCdNeedsAReadableDrive();
    void openingState();
    void failedOpen();
    void droppedFiles();
    void dragAndDropEvents();
};

void TestPlayFile::trackRecognition_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("recognised");
    QTest::newRow("exact") << "exact" << true;
    QTest::newRow("letter case") << "case" << true;
    QTest::newRow("doubled slash") << "doubled" << false;
    QTest::newRow("relative") << "relative" << false;
    QTest::newRow("other folder") << "elsewhere" << false;
}

void TestPlayFile::trackRecognition()
{
    QFETCH(QString, how);
    QFETCH(bool, recognised);
    FormRig rig({.runQtEvents = false});
    rig.insertDisc(4);
    const QString folder = rig.form->state.TrackFolder;
    QString path = rig.track(2);
    if (how == "case")
        path = path.toUpper();
    else if (how == "doubled")
        path = folder + "//" + rig.form->File1.List(2);
    else if (how == "relative")
        path = QDir::current().relativeFilePath(path);
    else if (how == "elsewhere")
        path = QStringLiteral("/tmp/") + rig.form->File1.List(2);

    rig.form->state.SingleFileMode = true;   // as a single-file caller sets it
    rig.form->PlayFile(path);

    QCOMPARE(rig.opened(), QStringList{path});
    QCOMPARE(rig.form->state.TrackOpened, recognised);
    QCOMPARE(rig.form->state.SingleFileMode, !recognised);
    QCOMPARE(rig.form->state.CurrentTrack, std::int16_t(recognised ? 2 : 0));
    QCOMPARE(rig.marked(), recognised ? QList<int>{2} : QList<int>{});
}

void TestPlayFile::markerMovesBetweenSlots()
{
    FormRig rig({.runQtEvents = false});
    rig.insertDisc(15);
    auto &form = *rig.form;
    for (TrackButton *b : form.Cmd1)
        b->show();

    rig.playTrack(3);
    QCOMPARE(rig.marked(), QList<int>{3});
    QVERIFY(form.Cmd1[3]->isHidden());
    QCOMPARE(form.state.CurrentTrack, std::int16_t(3));
    form.Cmd1[3]->show();   // the mouse rests on slot 3

    // Tracks from the tenth on share slot 9.
    rig.playTrack(12);
    QCOMPARE(rig.marked(), QList<int>{9});
    QVERIFY(form.Cmd1[9]->isHidden());
    QVERIFY(!form.Cmd1[3]->isHidden());   // the old slot's button is left alone
    QCOMPARE(form.state.CurrentTrack, std::int16_t(12));

    rig.playTrack(14);
    QCOMPARE(rig.marked(), QList<int>{9});
    QCOMPARE(form.state.CurrentTrack, std::int16_t(14));

    // The track that is already current keeps its marker.
    rig.playTrack(14);
    QCOMPARE(rig.marked(), QList<int>{9});

    rig.playTrack(0);
    QCOMPARE(rig.marked(), QList<int>{0});
    QCOMPARE(form.state.CurrentTrack, std::int16_t(0));
    QCOMPARE(rig.opened().size(), 5);
}

void TestPlayFile::onCdNeedsAReadableDrive()
{
    // No CD drive: the list is not searched at all.
    {
        FormRig rig({.runQtEvents = false});
        rig.insertDisc(3);
        rig.platform.drives.entries.clear();
        rig.form->state.CDFolder.clear();
        rig.form->state.SingleFileMode = true;
        rig.form->PlayFile(rig.track(1));
        QVERIFY(!rig.form->state.TrackOpened);
        QVERIFY(rig.form->state.SingleFileMode);
        QVERIFY(rig.platform.files.probes.isEmpty());
        QCOMPARE(rig.opened().size(), 1);
    }
    // A drive that cannot be read counts as no disc.
    {
        FormRig rig({.runQtEvents = false});
        rig.insertDisc(3);
        rig.platform.files.probeErrors.insert(rig.form->state.CDFolder);
        rig.form->state.SingleFileMode = true;
        rig.form->PlayFile(rig.track(1));
        QVERIFY(!rig.form->state.TrackOpened);
        QVERIFY(rig.form->state.SingleFileMode);
        QCOMPARE(rig.platform.files.probes.first(), rig.form->state.CDFolder);
    }
    // The tracks' own folder is enough when the Video CD folder is gone.
    {
        FormRig rig({.runQtEvents = false});
        rig.insertDisc(3);
        const QString other = rig.disc.path() + "/Other";
        QVERIFY(QDir(rig.disc.path()).rename("Mpegav", "Other"));
        rig.form->File1.setPath(other);
        rig.form->state.TrackFolder = other;
        rig.form->PlayFile(rig.track(1));
        QVERIFY(rig.form->state.TrackOpened);
        QCOMPARE(rig.platform.files.probes.last(), other + "/");
    }
}

void TestPlayFile::openingState()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    rig.player->quiet = true;   // no events: the menus stay as PlayFile leaves them
    rig.player->playState = MediaPlayer::Playing;
    rig.player->readyState = MediaPlayer::Loaded;
    form.mnuClose->setEnabled(false);
    for (QAction *a : {form.mnuStop, form.mnuPause, form.mnuOpen, form.mnuPlayVCD})
        a->setEnabled(true);

    form.PlayFile("/media/clip.mpg");

    QCOMPARE(rig.player->calls.filter(QRegularExpression("^(Stop|Open)")),
             (QStringList{"Stop", "Open /media/clip.mpg"}));
    for (QAction *a : {form.mnuStop, form.mnuPause, form.mnuOpen, form.mnuPlayVCD})
        QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    QVERIFY(form.mnuClose->isEnabled());
    QVERIFY(!form.Timer1->isActive());
    QVERIFY(rig.platform.events.calls >= 1);

    // Nothing loaded: nothing to stop.
    rig.player->playState = MediaPlayer::Closed;
    rig.player->calls.clear();
    form.PlayFile("/media/other.mpg");
    QCOMPARE(rig.player->calls, QStringList{"Open /media/other.mpg"});
}

void TestPlayFile::failedOpen()
{
    FormRig rig({.runQtEvents = false});
    rig.insertDisc(12);
    auto &form = *rig.form;
    rig.playTrack(1);
    QCOMPARE(rig.player->PlayState(), int(MediaPlayer::Playing));

    rig.player->openError = QStringLiteral("Cannot play this file");
    rig.player->calls.clear();
    form.Cmd1[4]->show();
    rig.playTrack(4);

    // What played is stopped before the new file fails, and stays stopped.
    QCOMPARE(rig.player->calls.filter(QRegularExpression("^(Stop|Open|Play)")),
             (QStringList{"Stop", "Open " + rig.track(4)}));
    QCOMPARE(rig.player->PlayState(), int(MediaPlayer::Stopped));
    QCOMPARE(rig.platform.messages.shown.size(), 1);
    const ShownMessage m = rig.platform.messages.shown.first();
    QCOMPARE(m.text, QStringLiteral("Error : Cannot play this file"));
    QCOMPARE(m.icon, MessageIcon::Error);
    QCOMPARE(m.title, QStringLiteral("Tavero Player v3.0"));
    QVERIFY(!form.mnuRun->isEnabled());
    QVERIFY(!form.mnuClose->isEnabled());
    QVERIFY(form.mnuOpen->isEnabled());
    QVERIFY(form.mnuPlayVCD->isEnabled());
    QVERIFY(form.Cmd1[4]->isHidden());
    QCOMPARE(form.Lbl1[4]->BorderStyle(), 0);
    QCOMPARE(form.Lbl1[4]->BackColor(), kColorButtonFace);
    QCOMPARE(form.Cmd1[4]->BackColor(), kColorButtonFace);
    QVERIFY(form.Timer1->isActive());

    // A failed track from the tenth on names no slot: slot 9 is left alone.
    form.Lbl1[9]->setBackColor(kColorYellow);
    form.Cmd1[9]->setBackColor(kColorYellow);
    rig.playTrack(11);
    QCOMPARE(form.state.CurrentTrack, std::int16_t(11));
    QCOMPARE(form.Lbl1[9]->BackColor(), kColorYellow);
    QCOMPARE(form.Cmd1[9]->BackColor(), kColorYellow);
    QCOMPARE(rig.platform.messages.shown.size(), 2);
}

static std::unique_ptr<QMimeData> urlDrop(const QList<QUrl> &urls)
{
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

void TestPlayFile::droppedFiles()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;

    // Text, and links that are not local files, are ignored.
    QMimeData text;
    text.setText(QStringLiteral("/media/clip.mpg"));
    form.Form_OLEDragDrop(&text);
    form.Form_OLEDragDrop(urlDrop({QUrl("https://example.org/clip.mpg")}).get());
    QVERIFY(rig.opened().isEmpty());
    QVERIFY(!form.state.SingleFileMode);

    // Of three files only the first plays, as a single file.
    form.Form_OLEDragDrop(urlDrop({QUrl::fromLocalFile("/media/a b.mpg"),
                                   QUrl::fromLocalFile("/media/b.mpg"),
                                   QUrl::fromLocalFile("/media/c.mpg")})
                              .get());
    QCOMPARE(rig.opened(), QStringList{"/media/a b.mpg"});
    QVERIFY(form.state.SingleFileMode);
}

void TestPlayFile::dragAndDropEvents()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    const auto files = urlDrop({QUrl::fromLocalFile("/media/one.mpg"),
                                QUrl::fromLocalFile("/media/two.mpg")});
    QMimeData text;
    text.setText(QStringLiteral("hello"));

    QDragEnterEvent enterText(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &enterText);
    QVERIFY(!enterText.isAccepted());
    QDragEnterEvent enterFiles(QPoint(5, 5), Qt::CopyAction, files.get(), Qt::LeftButton,
                               Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &enterFiles);
    QVERIFY(enterFiles.isAccepted());

    QDropEvent dropFiles(QPointF(5, 5), Qt::CopyAction, files.get(), Qt::LeftButton,
                         Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &dropFiles);
    QVERIFY(dropFiles.isAccepted());
    // The file plays once the drop has returned to the dragging program.
    QTRY_COMPARE(rig.opened(), QStringList{"/media/one.mpg"});
    QVERIFY(form.state.SingleFileMode);

    // Data that changes to text on the way is refused at the drop.
    QDragEnterEvent enterAgain(QPoint(5, 5), Qt::CopyAction, files.get(), Qt::LeftButton,
                               Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &enterAgain);
    QDropEvent dropText(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form, &dropText);
    QVERIFY(!dropText.isAccepted());
    QCoreApplication::processEvents();   // a queued play would run here
    QCOMPARE(rig.opened().size(), 1);
}

QTEST_MAIN(TestPlayFile)
#include "tst_playfile.moc"
