#include "app/Form1.h"

#include <QEvent>
#include <QResizeEvent>

namespace tavero {

// The window's outer size is the client area plus the allowances the fit
// rule was made for: 120 twips across and 670 down stand for the frame,
// the title bar and the menu bar. Title bars and menu bars differ from one
// window manager and style to another, and where they are taller than the
// allowance the player's own control bar would be cut off; mapping the
// outer size through the allowances keeps the client area exactly around
// the player whatever decorates the window.
static constexpr float kWidthAllowance = 120.0f;
static constexpr float kHeightAllowance = 670.0f;

float Form1::OuterWidth() const
{
    return float(client->width()) * MediaPlayer::kTwipsPerPixel + kWidthAllowance;
}

float Form1::OuterHeight() const
{
    return float(client->height()) * MediaPlayer::kTwipsPerPixel + kHeightAllowance;
}

void Form1::setOuterWidth(float twips)
{
    const int w = qMax(1, qRound((twips - kWidthAllowance) / MediaPlayer::kTwipsPerPixel));
    client->setFixedWidth(w);
}

void Form1::setOuterHeight(float twips)
{
    const int h = qMax(1, qRound((twips - kHeightAllowance) / MediaPlayer::kTwipsPerPixel));
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

// Not built yet.
void Form1::Form_Resize() {}
void Form1::Form_Paint() {}
void Form1::mnu100_Click() {}
void Form1::mnu50_Click() {}
void Form1::mnu200_Click() {}
void Form1::mnuFullScreen_Click() {}
void Form1::mnuMin_Click() {}
void Form1::mnuContext_Click() {}
void Form1::sizeCommand(int) {}
void Form1::resizeEvent(QResizeEvent *event) { QMainWindow::resizeEvent(event); }
void Form1::changeEvent(QEvent *event) { QMainWindow::changeEvent(event); }
bool Form1::event(QEvent *event) { return QMainWindow::event(event); }

} // namespace tavero
