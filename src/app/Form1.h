#pragma once
// The main window. The program was first written for another system, and
// its parts keep the names they had there, so that its description and
// its code read alike. What each name is here:
//
//   Form1      this window: the menus, the track panel and the player.
//   Form2      the more-tracks list (videocd/Form2.h), opened by the tenth
//              slot when a disc has more than ten tracks.
//   WMP1       the video component (playback/MediaPlayer.h; MpvPlayer is
//              the one the program runs); its events are the WMP1_*
//              handlers.
//   Frame1     the track panel (videocd/TrackPanel.h) holding the ten
//              slots; Cmd1[i] is a slot's button, Lbl1[i] its label.
//   File1      the hidden list of a folder's track files; Drive1 the
//              hidden list of drives (videocd/FileListBox.h).
//   Timer1     the one-second timer that watches the drive while idle.
//   mnu*       menu items by their old names: mnuRun is Action > Play,
//              mnuPlayVCD File > Play Video CD, mnuMin Pause & Minimize,
//              mnu100 / mnu50 / mnu200 the sizes, mnuD01 ... separators,
//              mnuTaveroHelp / mnuMPHelp the two help items.
//   twips      the unit the window's geometry was drawn in, 15 to a pixel
//              (platform/Twips.h).
//   MCI        the old system's command strings for the CD audio device
//              ("status cd media present"); only videocd/CdDrive.cpp
//              speaks them, the Linux seam answers them.
//   Form_*, mnu*_Click, ..._MouseMove
//              the handlers, by the control and event that call them.
//
// Where the handlers live (all in app/, by what the user does):
//   Form1.cpp (controls, menus), Startup.cpp (load, close, menu refreshes),
//   Sizing.cpp (fit rule, sizes, display modes), Help.cpp (help, About),
//   PlayFile.cpp (open and play, drops, images), Transport.cpp (play,
//   pause, stop, close, loop), PlayerEvents.cpp (the component's events),
//   StatusTimer.cpp (the idle watch), DriveWatch.cpp (drive, disc check,
//   track scan), PlayVideoCd.cpp (Play Video CD, the slots, the
//   more-tracks list), OpenFile.cpp (Open File, recent files),
//   DiscMenus.cpp (a disc's own menus: entering and walking them).
//
// The controls are public on purpose: like the form they model, the window
// is a bag of controls that its handlers (and the tests) reach directly.
// The state record is private to the window and its handlers; tests drive
// the window and read what it shows.

#include "files/RecentFiles.h"
#include "platform/Platform.h"
#include "platform/Program.h"
#include "playback/MediaPlayer.h"
#include "videocd/DiscMenu.h"
#include "videocd/FileListBox.h"
#include "videocd/TrackPanel.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <cstdint>
#include <memory>

class QAction;
class QMenu;
class QMimeData;
class QTimer;

namespace tavero {

class Form2;
struct RemoteControls;

// The program's name as message boxes and About show it; the caption
// carries it with a space after it at start and framed in spaces once a
// medium is unloaded, and "Tavero : " before the path of a loaded file.
inline const QString kAppTitle = kProgramName + QStringLiteral(" v") + kProgramVersion;
inline const QString kStartCaption = kAppTitle + QLatin1Char(' ');
inline const QString kIdleCaption = QLatin1Char(' ') + kAppTitle + QLatin1Char(' ');
inline const QString kFileCaptionPrefix = QStringLiteral("Tavero : ");

// The variables that all of Form1's procedures share.
struct Form1State {
    QString ChosenTrack;
    QString CDFolder;
    bool IgnoreError = false;
    std::int32_t LoopIndex = 0;
    std::int16_t TrackCount = 0;
    std::int16_t CurrentTrack = 0;
    bool TrackOpened = false;
    bool SingleFileMode = false;
    bool DiscPresent = false;
    bool StreamEnded = false;
    QString TrackFolder;
};

// A disc's own menus (its playback control): read once the disc's tracks
// are listed, walked while the user has entered them.
struct MenuWalk {
    std::shared_ptr<const DiscMenuData> data;   // the disc's, once read
    quint64 reads = 0;                          // the last read asked for answers
    std::unique_ptr<DiscMenu> menu;             // while the user is in them
    QTimer *hold = nullptr;                     // a picture held for the menu's wait
    QTimer *digits = nullptr;                   // a number typed, waiting for more digits
    QString typed;
    int track = 0;          // the track the item playing lies in (2 = first); 0 for none
    bool stepping = false;  // the window itself is opening the next item
    double pace = 1.0;      // waits last 1/pace of their time: tests walk faster
};

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kSlots = TrackPanel::kSlots;
    static constexpr int kRecentSlots = RecentFiles::kSlots;
    // The window's outer size is the client area plus these allowances
    // (twips), which stand for the frame, the title bar and the menu bar.
    static constexpr float kWidthAllowance = 120.0f;
    static constexpr float kHeightAllowance = 670.0f;

    // Neither the seams nor the component are owned by the caller after
    // this: the component becomes a child of the window.
    Form1(const Seams &seams, MediaPlayer *player, QWidget *parent = nullptr);
    ~Form1() override;

    QString HelpFile() const { return helpFile_; }

    // Controls, in the window's own order.
    QTimer *Timer1 = nullptr;
    FileListBox File1;
    TrackPanel *Frame1 = nullptr;
    std::array<TrackButton *, kSlots> Cmd1{};
    std::array<TrackLabel *, kSlots> Lbl1{};
    DriveListBox Drive1;
    MediaPlayer *WMP1 = nullptr;
    QWidget *client = nullptr;   // the area below the menu bar

    // Menus.
    QMenu *mnuFile = nullptr;
    QAction *mnuPlayVCD = nullptr, *mnuOpen = nullptr, *mnuClose = nullptr, *mnuD01 = nullptr;
    std::array<QAction *, kRecentSlots> mnuRecent{};
    QAction *mnuD02 = nullptr, *mnuExit = nullptr;
    QMenu *mnuAction = nullptr;
    QAction *mnuRun = nullptr, *mnuPause = nullptr, *mnuStop = nullptr, *mnuD11 = nullptr;
    QAction *mnuLoop = nullptr, *mnuContinuousPlay = nullptr, *mnuD12 = nullptr, *mnuMin = nullptr;
    QMenu *mnuSize = nullptr;
    QAction *mnu100 = nullptr, *mnu50 = nullptr, *mnu200 = nullptr, *mnuD21 = nullptr;
    QAction *mnuFullScreen = nullptr;
    QAction *mnuContext = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuTaveroHelp = nullptr, *mnuMPHelp = nullptr, *mnuD41 = nullptr, *mnuAbout = nullptr;
    // In no menu: the desktop's Next and Previous (and the media keys) on
    // the tracks of the disc that plays; enabled while there is one to go to.
    QAction *NextTrack = nullptr, *PreviousTrack = nullptr;

    // The CD drive's root, kept as the Play Video CD item's tag.
    QString CDDriveRoot() const;
    void setCDDriveRoot(const QString &root);

    Form2 *form2() const;
    // What the desktop's remote control drives.
    RemoteControls remoteControls();

    // The window's outer size in twips (frame, title bar and menu bar
    // included) and the fit rule.
    float OuterWidth() const;
    float OuterHeight() const;
    void setOuterWidth(float twips);
    void setOuterHeight(float twips);
    void FitToPlayer();   // compares first; sets only when the size differs

    // Startup.cpp
    void Form_Load();
    void Form_QueryUnload();
    void Form_Unload();
    void mnuExit_Click();
    void mnuFile_Click();
    void mnuAction_Click();

    // Sizing.cpp
    void Form_Resize();
    void Form_Paint();
    void mnu100_Click();
    void mnu50_Click();
    void mnu200_Click();
    void mnuFullScreen_Click();
    void mnuMin_Click();
    void mnuContext_Click();

    // Help.cpp
    void mnuTaveroHelp_Click();
    void mnuMPHelp_Click();
    void mnuAbout_Click();

    // PlayFile.cpp
    void PlayFile(const QString &fileName);
    void Form_OLEDragDrop(const QMimeData *data);

    // Transport.cpp
    void mnuRun_Click();
    void mnuPause_Click();
    void mnuStop_Click();
    void mnuClose_Click();
    void mnuLoop_Click();
    void mnuContinuousPlay_Click();

    // PlayerEvents.cpp
    void WMP1_EndOfStream(int result);
    void WMP1_MouseMove(int button, int shift, float x, float y);
    void WMP1_PlayStateChange(int oldState, int newState);
    void WMP1_Error();
    void WMP1_Warning(int warningType, int param, const QString &description);
    void WMP1_ReadyStateChange(int readyState);

    // StatusTimer.cpp
    void Timer1_Timer();

    // DriveWatch.cpp
    void FindCDDrive(bool reportMissing);
    bool CheckCDMedia(bool showMessages);

    void LoadTrackList();

    // PlayVideoCd.cpp
    void mnuPlayVCD_Click();
    void Cmd1_MouseDown(int index, int button, int shift, float x, float y);
    void Lbl1_MouseMove(int index);
    void Frame1_MouseMove();
    void Form_MouseMove();

    // TrackSteps.cpp
    // Digits 1 to 9 that no control took press the slot of that track.
    void Form_KeyDown(int keyCode, int shift);
    void StepTrack(int step);

    // OpenFile.cpp
    void mnuOpen_Click();
    QString ShowOpenDialog(const QString &title, const QList<FileFilter> &filters, const QString &initialFolder);

    void UpdateRecentFiles(const QString &path);
    void mnuRecent_Click(int index);

    // DiscMenus.cpp
    void WMP1_DiscMenuRequested();
    void WMP1_DiscMenuKey(int key);
    void WMP1_PictureClicked(double x, double y);
    void WMP1_MenuItemEnded();
    // Tests play faster than real time (MpvPlayer::setSpeed), and hold a
    // menu's pictures shorter by the same factor.
    void setMenuPace(double factor) { menus_.pace = factor; }
    // A recent slot's caption as stored ("&1: " and the path, the path's
    // own "&" undoubled).
    QString recentCaption(int index) const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // What the handlers share; only they and the more-tracks window see it.
    Form1State state;
    MenuWalk menus_;

    void createControls();
    void createMenus();
    void connectPlayer();
    void setTimerEnabled(bool on);
    void showMessage(const QString &text, MessageIcon icon = MessageIcon::Error);
    void sizeCommand(int displaySize);
    void listTrackFolder(const QString &pattern, const QString &folder);
    bool playDiscImage(const QString &path);
    void showOpenFailure(const QString &error);
    bool playNextTrack();
    void closeForm2();
    void lookForDiscMenus(const QString &root);
    void forgetDiscMenus();
    void announceDiscMenus();
    void leaveDiscMenus();
    void takeMenuStep(const MenuStep &step);
    void playMenuItem(const PlayItem &item, double playTime);
    void takeMenuNumber();
    int menuEntryPlaying() const;
    void createTrackSteps();
    void updateTrackSteps();

    Seams seams_;
    QString helpFile_;
    QPointer<Form2> form2_;
    std::unique_ptr<RecentFiles> recent_;
    bool closing_ = false;
    bool paintFitPending_ = false;
};

} // namespace tavero
