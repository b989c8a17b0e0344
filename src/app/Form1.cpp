#include "app/Form1.h"

#include "desktop/DesktopIntegration.h"
#include "videocd/Form2.h"

#include <QApplication>
#include <QIcon>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

namespace tavero {

namespace {

// The program's icon: a silver disc with a play mark, drawn in the colours
// of the old 16-colour palette, without smoothing.
QIcon makeIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.setBrush(QColor(0xc0, 0xc0, 0xc0));
    p.drawEllipse(1, 1, 29, 29);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(6, 6, 10, 10);
    p.setBrush(QColor(0x80, 0x80, 0x80));
    p.drawEllipse(11, 11, 9, 9);
    p.setBrush(Qt::black);
    p.drawEllipse(14, 14, 3, 3);
    p.setPen(QColor(0x00, 0x00, 0x80));
    p.setBrush(QColor(0x00, 0x00, 0xff));
    const QPoint play[] = {QPoint(17, 15), QPoint(31, 23), QPoint(17, 31)};
    p.drawPolygon(play, 3);
    p.end();
    return QIcon(pixmap);
}

} // namespace

Form1::Form1(const Seams &seams, MediaPlayer *player, QWidget *parent)
    : QMainWindow(parent), File1(*seams.files), Drive1(*seams.drives), WMP1(player), seams_(seams)
{
    setWindowTitle(kStartCaption);
    // Fixed border with minimize and close only: the program sizes the
    // window itself.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(makeIcon());
    setAcceptDrops(true);
    createControls();
    createMenus();
    connectPlayer();
}

// The more-tracks window is a child of this one and goes with it.
Form1::~Form1() = default;

void Form1::createControls()
{
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setMouseTracking(true);
    client->installEventFilter(this);
    setCentralWidget(client);
    // Client area as created; start-up fits it to the player.
    client->setFixedSize(twips::toPixels(4365), twips::toPixels(4260));
    // The window wraps its client area and nothing else: the user cannot
    // drag its size.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1->start();
    menus_.hold = new QTimer(this);
    menus_.hold->setSingleShot(true);
    connect(menus_.hold, &QTimer::timeout, this, [this] {
        if (menus_.menu)
            takeMenuStep(menus_.menu->waitEnded());
    });
    menus_.digits = new QTimer(this);
    menus_.digits->setSingleShot(true);
    menus_.digits->setInterval(1500);
    connect(menus_.digits, &QTimer::timeout, this, &Form1::takeMenuNumber);

    Frame1 = new TrackPanel(client);
    Frame1->installEventFilter(this);
    connect(Frame1, &TrackPanel::slotPressed, this, &Form1::Cmd1_MouseDown);
    Cmd1 = Frame1->buttons;
    Lbl1 = Frame1->labels;
    for (TrackLabel *label : Lbl1)
        label->installEventFilter(this);

    WMP1->setParent(client);
    WMP1->setObjectName(QStringLiteral("WMP1"));
    WMP1->setGeometry(twips::rect(30, 435, 4290, 3795));
    WMP1->show();
}

void Form1::createMenus()
{
    QMenuBar *bar = menuBar();
    auto item = [this](QMenu *menu, const QString &name, const QString &caption,
                       const QKeySequence &key = QKeySequence()) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(name);
        a->setShortcut(key);
        return a;
    };
    auto separator = [](QMenu *menu, const QString &name) {
        QAction *a = menu->addSeparator();
        a->setObjectName(name);
        return a;
    };

    mnuFile = bar->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuPlayVCD = item(mnuFile, QStringLiteral("mnuPlayVCD"), QStringLiteral("&Play Video CD"),
                      QKeySequence(Qt::CTRL | Qt::Key_V));
    mnuPlayVCD->setEnabled(false);
    mnuOpen = item(mnuFile, QStringLiteral("mnuOpen"), QStringLiteral("&Open File ..."),
                   QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuClose = item(mnuFile, QStringLiteral("mnuClose"), QStringLiteral("&Close"),
                    QKeySequence(Qt::CTRL | Qt::Key_W));
    mnuD01 = separator(mnuFile, QStringLiteral("mnuD01"));
    for (int i = 0; i < kRecentSlots; ++i) {
        mnuRecent[i] = item(mnuFile, QStringLiteral("mnuRecent_%1").arg(i), QString());
        mnuRecent[i]->setVisible(false);
        connect(mnuRecent[i], &QAction::triggered, this, [this, i] { mnuRecent_Click(i); });
    }
    mnuD02 = separator(mnuFile, QStringLiteral("mnuD02"));
    mnuD02->setVisible(false);
    recent_ = std::make_unique<RecentFiles>(mnuRecent, mnuD02);
    mnuExit = item(mnuFile, QStringLiteral("mnuExit"), QStringLiteral("E&xit"),
                   QKeySequence(Qt::CTRL | Qt::Key_X));

    mnuAction = bar->addMenu(QStringLiteral("&Action"));
    mnuAction->setObjectName(QStringLiteral("mnuAction"));
    mnuRun = item(mnuAction, QStringLiteral("mnuRun"), QStringLiteral("&Play"),
                  QKeySequence(Qt::CTRL | Qt::Key_P));
    mnuPause = item(mnuAction, QStringLiteral("mnuPause"), QStringLiteral("Pa&use"),
                    QKeySequence(Qt::CTRL | Qt::Key_U));
    mnuStop = item(mnuAction, QStringLiteral("mnuStop"), QStringLiteral("&Stop"),
                   QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuD11 = separator(mnuAction, QStringLiteral("mnuD11"));
    mnuLoop = item(mnuAction, QStringLiteral("mnuLoop"), QStringLiteral("Play Loop"));
    mnuLoop->setCheckable(true);
    mnuContinuousPlay = item(mnuAction, QStringLiteral("mnuContinuousPlay"),
                             QStringLiteral("&Continuous CD Track Play"));
    mnuContinuousPlay->setCheckable(true);
    mnuContinuousPlay->setChecked(true);
    mnuD12 = separator(mnuAction, QStringLiteral("mnuD12"));
    mnuMin = item(mnuAction, QStringLiteral("mnuMin"), QStringLiteral("Pause && &Minimize"),
                  QKeySequence(Qt::Key_F4));

    mnuSize = bar->addMenu(QStringLiteral("&Size"));
    mnuSize->setObjectName(QStringLiteral("mnuSize"));
    mnu100 = item(mnuSize, QStringLiteral("mnu100"), QStringLiteral("&Default 100%"),
                  QKeySequence(Qt::Key_F5));
    mnu50 = item(mnuSize, QStringLiteral("mnu50"), QStringLiteral("&Half 50%"),
                 QKeySequence(Qt::Key_F6));
    mnu200 = item(mnuSize, QStringLiteral("mnu200"), QStringLiteral("&Double 200%"),
                  QKeySequence(Qt::Key_F7));
    mnuD21 = separator(mnuSize, QStringLiteral("mnuD21"));
    mnuFullScreen = item(mnuSize, QStringLiteral("mnuFullScreen"), QStringLiteral("&Full Screen"),
                         QKeySequence(Qt::Key_F8));
    for (QAction *a : {mnu100, mnu50, mnu200, mnuFullScreen})
        a->setCheckable(true);
    mnu100->setChecked(true);

    mnuContext = bar->addAction(QStringLiteral("&Context Menu"));
    mnuContext->setObjectName(QStringLiteral("mnuContext"));

    mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuTaveroHelp = item(mnuHelp, QStringLiteral("mnuTaveroHelp"), QStringLiteral("Help Contents"),
                         QKeySequence(Qt::Key_F1));
    mnuMPHelp = item(mnuHelp, QStringLiteral("mnuMPHelp"), QStringLiteral("&Media Player Help"),
                     QKeySequence(Qt::CTRL | Qt::Key_F1));
    mnuD41 = separator(mnuHelp, QStringLiteral("mnuD41"));
    mnuAbout = item(mnuHelp, QStringLiteral("mnuAbout"), QStringLiteral("&About ..."));

    // Check marks belong to the handlers, not to Qt's own toggling.
    for (QAction *a : {mnuLoop, mnuContinuousPlay, mnu100, mnu50, mnu200, mnuFullScreen})
        connect(a, &QAction::triggered, a, [a](bool checked) { a->setChecked(!checked); });

    connect(mnuFile, &QMenu::aboutToShow, this, &Form1::mnuFile_Click);
    connect(mnuAction, &QMenu::aboutToShow, this, &Form1::mnuAction_Click);
    connect(mnuPlayVCD, &QAction::triggered, this, &Form1::mnuPlayVCD_Click);
    connect(mnuOpen, &QAction::triggered, this, &Form1::mnuOpen_Click);
    connect(mnuClose, &QAction::triggered, this, &Form1::mnuClose_Click);
    connect(mnuExit, &QAction::triggered, this, &Form1::mnuExit_Click);
    connect(mnuRun, &QAction::triggered, this, &Form1::mnuRun_Click);
    connect(mnuPause, &QAction::triggered, this, &Form1::mnuPause_Click);
    connect(mnuStop, &QAction::triggered, this, &Form1::mnuStop_Click);
    connect(mnuLoop, &QAction::triggered, this, &Form1::mnuLoop_Click);
    connect(mnuContinuousPlay, &QAction::triggered, this, &Form1::mnuContinuousPlay_Click);
    connect(mnuMin, &QAction::triggered, this, &Form1::mnuMin_Click);
    connect(mnu100, &QAction::triggered, this, &Form1::mnu100_Click);
    connect(mnu50, &QAction::triggered, this, &Form1::mnu50_Click);
    connect(mnu200, &QAction::triggered, this, &Form1::mnu200_Click);
    connect(mnuFullScreen, &QAction::triggered, this, &Form1::mnuFullScreen_Click);
    connect(mnuContext, &QAction::triggered, this, &Form1::mnuContext_Click);
    connect(mnuTaveroHelp, &QAction::triggered, this, &Form1::mnuTaveroHelp_Click);
    connect(mnuMPHelp, &QAction::triggered, this, &Form1::mnuMPHelp_Click);
    connect(mnuAbout, &QAction::triggered, this, &Form1::mnuAbout_Click);
    createTrackSteps();
}

void Form1::connectPlayer()
{
    connect(WMP1, &MediaPlayer::EndOfStream, this, &Form1::WMP1_EndOfStream);
    connect(WMP1, &MediaPlayer::MouseMove, this, &Form1::WMP1_MouseMove);
    connect(WMP1, &MediaPlayer::PlayStateChange, this, &Form1::WMP1_PlayStateChange);
    connect(WMP1, &MediaPlayer::Error, this, &Form1::WMP1_Error);
    connect(WMP1, &MediaPlayer::Warning, this, &Form1::WMP1_Warning);
    connect(WMP1, &MediaPlayer::ReadyStateChange, this, &Form1::WMP1_ReadyStateChange);
    connect(WMP1, &MediaPlayer::DiscMenuRequested, this, &Form1::WMP1_DiscMenuRequested);
    connect(WMP1, &MediaPlayer::DiscMenuKey, this, &Form1::WMP1_DiscMenuKey);
    connect(WMP1, &MediaPlayer::PictureClicked, this, &Form1::WMP1_PictureClicked);
    connect(WMP1, &MediaPlayer::MenuItemEnded, this, &Form1::WMP1_MenuItemEnded);
    // After the handlers, which may have moved to another track.
    connect(WMP1, &MediaPlayer::PlayStateChange, this, &Form1::updateTrackSteps);
    connect(WMP1, &MediaPlayer::ReadyStateChange, this, &Form1::updateTrackSteps);
}

QString Form1::CDDriveRoot() const
{
    return mnuPlayVCD->data().toString();
}

void Form1::setCDDriveRoot(const QString &root)
{
    mnuPlayVCD->setData(root);
}

void Form1::setTimerEnabled(bool on)
{
    // Switching on a running timer must not restart its interval.
    if (on && !Timer1->isActive())
        Timer1->start();
    else if (!on)
        Timer1->stop();
}

void Form1::showMessage(const QString &text, MessageIcon icon)
{
    seams_.messages->show(text, icon, kAppTitle);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseMove) {
        for (int i = 0; i < kSlots; ++i) {
            if (watched == Lbl1[i]) {
                Lbl1_MouseMove(i);
                return false;
            }
        }
        if (watched == Frame1)
            Frame1_MouseMove();
        else if (watched == client)
            Form_MouseMove();
    }
    // A click on a label starts nothing: tracks start only from a slot's
    // button going down, and the marked label's button never shows.
    return QMainWindow::eventFilter(watched, event);
}

Form2 *Form1::form2() const
{
    return form2_.data();
}

RemoteControls Form1::remoteControls()
{
    return {this, WMP1, mnuRun, mnuPause, mnuStop, mnuLoop, mnuExit, NextTrack, PreviousTrack};
}

} // namespace tavero
