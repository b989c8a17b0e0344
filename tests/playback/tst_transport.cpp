// The transport commands: the menu items each one sets, and Close and the
// error it silences.
#include "support/FormRig.h"

#include <QtTest>

using namespace tavero;
using namespace tavero::test;

class TestTransport : public QObject {
    Q_OBJECT
private slots:
    void commandMenus_data();
    void commandMenus();
    void closeWithNothingLoaded();
    void closeSilencesTheNextError();
};

// Play, Pause, Stop, Close, Open File, Play Video CD: '+' on, '-' off,
// '.' untouched.
static QString transportItems(const Form1 &form, const QString &before)
{
    QString out;
    const QAction *items[] = {form.mnuRun, form.mnuPause, form.mnuStop,
                              form.mnuClose, form.mnuOpen, form.mnuPlayVCD};
    for (int i = 0; i < 6; ++i) {
        const QChar was = before.at(i);
        const QChar now = items[i]->isEnabled() ? '+' : '-';
        out += now == was ? QChar('.') : now;
    }
    return out;
}

static void setItems(Form1 &form, const QString &states)
{
    QAction *items[] = {form.mnuRun, form.mnuPause, form.mnuStop,
                        form.mnuClose, form.mnuOpen, form.mnuPlayVCD};
    for (int i = 0; i < 6; ++i)
        items[i]->setEnabled(states.at(i) == '+');
}

void TestTransport::commandMenus_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("playState");
    QTest::addColumn<bool>("playFails");
    QTest::addColumn<QString>("expected");   // changes against the opposite of each item
    // Each command starts from two opposite menu states, so an item it
    // leaves alone shows as '.' in one of them and a set item in both.
    QTest::newRow("play succeeded") << "play" << 0 << false << "-++...";
    QTest::newRow("play failed") << "play" << 0 << true << "+--...";
    QTest::newRow("pause while playing") << "pause" << 2 << false << "+-....";
    QTest::newRow("pause while stopped") << "pause" << 0 << false << "+-....";
    QTest::newRow("stop") << "stop" << 2 << false << "---...";
    QTest::newRow("close") << "close" << 2 << false << "-..-++";
}

void TestTransport::commandMenus()
{
    QFETCH(QString, command);
    QFETCH(int, playState);
    QFETCH(bool, playFails);
    QFETCH(QString, expected);

    for (const QString &start : {QStringLiteral("++++++"), QStringLiteral("------")}) {
        FormRig rig({.runQtEvents = false});
        auto &form = *rig.form;
        // Quiet: what the command itself sets, before any event answers.
        rig.player->quiet = true;
        rig.player->playState = playState;
        rig.player->readyState = MediaPlayer::Loaded;
        rig.player->playFails = playFails;
        setItems(form, start);
        if (command == "play")
            form.mnuRun_Click();
        else if (command == "pause")
            form.mnuPause_Click();
        else if (command == "stop")
            form.mnuStop_Click();
        else
            form.mnuClose_Click();

        QString want;
        for (int i = 0; i < 6; ++i)
            want += expected.at(i) == '.' ? QChar('.')
                                          : (expected.at(i) == start.at(i) ? QChar('.') : expected.at(i));
        QCOMPARE(transportItems(form, start), want);
        QVERIFY(rig.platform.messages.shown.isEmpty());
    }
}

void TestTransport::closeWithNothingLoaded()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    form.state.SingleFileMode = true;
    form.mnuClose->setEnabled(true);
    form.mnuRun->setEnabled(true);
    form.mnuOpen->setEnabled(false);
    form.mnuPlayVCD->setEnabled(false);

    form.mnuClose_Click();

    QVERIFY(rig.player->calls.isEmpty());
    QVERIFY(!form.state.IgnoreError);
    QVERIFY(!form.state.SingleFileMode);
    QCOMPARE(rig.platform.events.calls, 0);
    QVERIFY(!form.mnuClose->isEnabled());
    QVERIFY(!form.mnuRun->isEnabled());
    QVERIFY(form.mnuOpen->isEnabled());
    QVERIFY(form.mnuPlayVCD->isEnabled());
}

void TestTransport::closeSilencesTheNextError()
{
    FormRig rig({.runQtEvents = false});
    auto &form = *rig.form;
    form.state.SingleFileMode = true;
    form.PlayFile("/media/clip.mpg");
    QCOMPARE(rig.player->PlayState(), int(MediaPlayer::Playing));
    rig.player->calls.clear();

    // An error the unload causes, while Close lets events run: no message.
    bool raised = false;
    rig.platform.events.onPump = [&] {
        if (!raised) {
            raised = true;
            rig.player->raiseError("Stream closed");
        }
    };
    form.mnuClose_Click();
    rig.platform.events.onPump = nullptr;

    QCOMPARE(rig.player->calls.filter(QRegularExpression("^(Stop|setFileName)")),
             (QStringList{"Stop", "setFileName "}));
    QVERIFY(raised);
    QVERIFY(rig.platform.messages.shown.isEmpty());
    QVERIFY(!form.state.IgnoreError);   // consumed by that error
    QVERIFY(!form.state.SingleFileMode);
    QCOMPARE(form.windowTitle(), QStringLiteral(" Tavero Player v3.0 "));
    QVERIFY(!form.mnuClose->isEnabled());
    QVERIFY(!form.mnuRun->isEnabled());
    QVERIFY(form.mnuOpen->isEnabled());

    // Close without an error from the component: the flag waits for the
    // next error, whenever it comes, and silences only that one.
    form.PlayFile("/media/clip.mpg");
    form.mnuClose_Click();
    QVERIFY(form.state.IgnoreError);
    rig.player->raiseError("Late");
    QVERIFY(rig.platform.messages.shown.isEmpty());
    QVERIFY(!form.state.IgnoreError);
    rig.player->raiseError("Next");
    QCOMPARE(rig.platform.messages.texts(), QStringList{"Error : Next"});
}

QTEST_MAIN(TestTransport)
#include "tst_transport.moc"
