#include "app/Form1.h"

#include <QEvent>
#include <QResizeEvent>
#include <QTimer>

namespace tavero {

// The outer size goes through the allowances the fit rule was made for
// rather than the real frame: title bars and menu bars differ from one
// window manager and style to another, and where they are taller than the
// allowance the player's own control bar would be cut off; mapping the
// outer size through the allowances keeps the client area exactly around
// the player whatever decorates the window.

float Form1::OuterWidth() const
{
    return twips::fromPixels(client->width()) + kWidthAllowance;
}

float Form1::OuterHeight() const
{
    return twips::fromPixels(client->height()) + kHeightAllowance;
}

void Form1::setOuterWidth(float outer)
{
    const int w = qMax(1, twips::toPixels(outer - kWidthAllowance));
    client->setFixedWidth(w);
}

void Form1::setOuterHeight(float outer)
{
    const int h = qMax(1, twips::toPixels(outer - kHeightAllowance));
    client->setFixedHeight(h);
}

void Form1::FitToPlayer()
{
    const float w = WMP1->Left() + WMP1->Width() + kWidthAllowance;
    const float h = WMP1->Top() + WMP1->Height() + kHeightAllowance;
    if (OuterWidth() != w || OuterHeight() != h) {
        setOuterWidth(WMP1->Left() + WMP1->Width() + kWidthAllowance);
        setOuterHeight(WMP1->Top() + WMP1->Height() + kHeightAllowance);
    }
}

namespace {

constexpr int kViewSwitches[] = {MediaPlayer::ViewSeekBar, MediaPlayer::ViewTimeReadout};

} // namespace

void Form1::Form_Resize()
{
    // Resizes arrive while the window is still being put together.
    if (!Frame1 || !WMP1)
        return;
    // A minimized window has no useful width: the panel stays put.
    if (!isMinimized()) {
        const int size = WMP1->DisplaySize();
        float left = 15.0f;
        if (size == MediaPlayer::DefaultSize || size == MediaPlayer::HalfSize)
            left = OuterWidth() / 2.0f - twips::fromPixels(Frame1->width()) / 2.0f - 40.0f;
        Frame1->move(twips::toPixels(left), Frame1->y());
    }
    for (int id : kViewSwitches) {
        if (!WMP1->ViewOption(id))
            WMP1->setViewOption(id, true);
    }
}

void Form1::Form_Paint()
{
    if (!WMP1)
        return;
    // Compare before resizing: a window that fits is left alone, so a
    // paint never leads to another resize and another paint.
    FitToPlayer();
    mnu50->setChecked(false);
    mnu100->setChecked(false);
    mnu200->setChecked(false);
    mnuFullScreen->setChecked(false);
    switch (WMP1->DisplaySize()) {
    case MediaPlayer::DefaultSize:
        mnu100->setChecked(true);
        break;
    case MediaPlayer::HalfSize:
        mnu50->setChecked(true);
        break;
    case MediaPlayer::DoubleSize:
        mnu200->setChecked(true);
        break;
    case MediaPlayer::FullScreen:
        mnuFullScreen->setChecked(true);
        break;
    default:
        break;
    }
    for (int id : kViewSwitches) {
        if (!WMP1->ViewOption(id))
            WMP1->setViewOption(id, true);
    }
}

void Form1::mnu100_Click()
{
    sizeCommand(MediaPlayer::DefaultSize);
}

void Form1::mnu50_Click()
{
    sizeCommand(MediaPlayer::HalfSize);
}

void Form1::mnu200_Click()
{
    sizeCommand(MediaPlayer::DoubleSize);
}

void Form1::mnuFullScreen_Click()
{
    sizeCommand(MediaPlayer::FullScreen);
}

void Form1::sizeCommand(int displaySize)
{
    WMP1->setDisplaySize(displaySize);
    // Let the player take its new size before the window is measured;
    // whatever runs meanwhile is overruled by the marks and size below.
    seams_.events->processEvents();
    mnu50->setChecked(displaySize == MediaPlayer::HalfSize);
    mnu100->setChecked(displaySize == MediaPlayer::DefaultSize);
    mnu200->setChecked(displaySize == MediaPlayer::DoubleSize);
    mnuFullScreen->setChecked(displaySize == MediaPlayer::FullScreen);
    setOuterWidth(WMP1->Left() + WMP1->Width() + kWidthAllowance);
    setOuterHeight(WMP1->Top() + WMP1->Height() + kHeightAllowance);
}

void Form1::mnuMin_Click()
{
    if (WMP1->PlayState() == MediaPlayer::Playing)
        WMP1->Pause();
    // No check mark here: the paint after restoring sets the right one.
    if (WMP1->DisplaySize() == MediaPlayer::FullScreen)
        WMP1->setDisplaySize(MediaPlayer::DefaultSize);
    seams_.events->processEvents();
    showMinimized();
}

void Form1::mnuContext_Click()
{
    WMP1->ShowDialog(MediaPlayer::ContextMenuDialog);
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

bool Form1::event(QEvent *event)
{
    // Qt does not allow resizing a window from inside its paint event, so
    // the paint handler runs right after the paint, once per burst of
    // paints.
    if (event->type() == QEvent::Paint && !paintFitPending_) {
        paintFitPending_ = true;
        QTimer::singleShot(0, this, [this] {
            paintFitPending_ = false;
            Form_Paint();
        });
    }
    return QMainWindow::event(event);
}

} // namespace tavero
