#pragma once
// The main window. One class; its handlers live in the .cpp files of the
// subsystem they belong to:
//   app/       Form1.cpp (controls, menus), Startup.cpp (load, close, menu
//              refreshes), Sizing.cpp (fit rule, sizes, display modes),
//              Help.cpp (help and About)
//   playback/  PlayFile.cpp (open and play, drops), Transport.cpp,
//              PlayerEvents.cpp, StatusTimer.cpp
//   videocd/   CdDrive.cpp (drive search, disc check), TrackPanel.cpp
//              (scan), PlayVideoCd.cpp (Play Video CD, slots), Form2.cpp
//   files/     OpenDialog.cpp, RecentFiles.cpp
//
// The controls are public on purpose: like the form they model, the window
// is a bag of controls that its handlers (and the tests) reach directly.
// The state record is private to the window and its handlers; tests drive
// the window and read what it shows.

#include "platform/Platform.h"
#include "playback/MediaPlayer.h"
#include "videocd/FileListBox.h"
#include "videocd/TrackSlot.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <cstdint>

class QAction;
class QFrame;
class QMenu;
class QMimeData;
class QTimer;

namespace tavero {

class Form2;

// The program's name as message boxes and About show it; the caption
// carries it with a space after it at start and framed in spaces once a
// medium is unloaded, and "Tavero : " before the path of a loaded file.
inline const QString kAppTitle = QStringLiteral("Tavero Player v3.0");
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

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kSlots = 10;
    static constexpr int kRecentSlots = 5;

    // Neither the seams nor the component are owned by the caller after
    // this: the component becomes a child of the window.
    Form1(const Seams &seams, MediaPlayer *player, QWidget *parent = nullptr);
    ~Form1() override;

    QString HelpFile() const { return helpFile_; }

    // Controls, in the window's own order.
    QTimer *Timer1 = nullptr;
    FileListBox File1;
    QFrame *Frame1 = nullptr;
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

    // The CD drive's root, kept as the Play Video CD item's tag.
    QString CDDriveRoot() const;
    void setCDDriveRoot(const QString &root);

    // The one member another window writes (the more-tracks list).
    void setChosenTrack(const QString &name) { state.ChosenTrack = name; }
    Form2 *form2() const;

    // The window's outer size in twips (frame, title bar and menu bar
    // included) and the fit rule.
    float OuterWidth() const;
    float OuterHeight() const;
    void setOuterWidth(float twips);
    void setOuterHeight(float twips);
    void FitToPlayer();   // compares first; sets only when the size differs

    // app/Startup.cpp
    void Form_Load();
    void Form_QueryUnload();
    void Form_Unload();
    void mnuExit_Click();
    void mnuFile_Click();
    void mnuAction_Click();

    // app/Sizing.cpp
    void Form_Resize();
    void Form_Paint();
    void mnu100_Click();
    void mnu50_Click();
    void mnu200_Click();
    void mnuFullScreen_Click();
    void mnuMin_Click();
    void mnuContext_Click();

    // app/Help.cpp
    void mnuTaveroHelp_Click();
    void mnuMPHelp_Click();
    void mnuAbout_Click();

    // playback/PlayFile.cpp
    void PlayFile(const QString &fileName);
    void Form_OLEDragDrop(const QMimeData *data);

    // playback/Transport.cpp
    void mnuRun_Click();
    void mnuPause_Click();
    void mnuStop_Click();
    void mnuClose_Click();
    void mnuLoop_Click();
    void mnuContinuousPlay_Click();

    // playback/PlayerEvents.cpp
    void WMP1_EndOfStream(int result);
    void WMP1_MouseMove(int button, int shift, float x, float y);
    void WMP1_PlayStateChange(int oldState, int newState);
    void WMP1_Error();
    void WMP1_Warning(int warningType, int param, const QString &description);
    void WMP1_ReadyStateChange(int readyState);

    // playback/StatusTimer.cpp
    void Timer1_Timer();

    // videocd/CdDrive.cpp
    void FindCDDrive(bool reportMissing);
    bool CheckCDMedia(bool showMessages);

    // videocd/TrackPanel.cpp
    void LoadTrackList();

    // videocd/PlayVideoCd.cpp
    void mnuPlayVCD_Click();
    void Cmd1_MouseDown(int index, int button, int shift, float x, float y);
    void Lbl1_MouseMove(int index);
    void Frame1_MouseMove();
    void Form_MouseMove();

    // files/OpenDialog.cpp
    void mnuOpen_Click();
    QString ShowOpenDialog(const QString &title, const QString &initialFileName,
                           const QList<FileFilter> &filters, const QString &initialFolder,
                           const QString &defaultExtension);

    // files/RecentFiles.cpp
    void UpdateRecentFiles(const QString &path);
    void mnuRecent_Click(int index);
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

private:
    // What the handlers share; only they and the more-tracks window see it.
    Form1State state;

    void createControls();
    void createMenus();
    void connectPlayer();
    void setTimerEnabled(bool on);
    void showMessage(const QString &text, MessageIcon icon = MessageIcon::Error);
    void setRecentCaption(int index, const QString &caption);
    void sizeCommand(int displaySize);
    void listTrackFolder(const QString &pattern, const QString &folder);
    bool playDiscImage(const QString &path);
    void showOpenFailure(const QString &error);
    ProbeResult probeTrackFolder(const QString &root, QString *subfolder);
    void resetSlots(bool clearTips, bool hideButtons);
    bool playNextTrack();
    void closeForm2();
    int slotOf(int track) const { return track >= 9 ? 9 : track; }

    Seams seams_;
    QString helpFile_;
    QPointer<Form2> form2_;
    bool closing_ = false;
    bool paintFitPending_ = false;

    friend class Form2;
};

} // namespace tavero
