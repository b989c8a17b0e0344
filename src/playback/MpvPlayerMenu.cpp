// MpvPlayer: what a disc's menus need of the component: their items
// played with a cue and held at their end, their keys, clicks on the
// picture, a line of text over it.
#include "playback/MpvPlayer.h"
#include "playback/ControlBar.h"

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>

namespace tavero {

void MpvPlayer::setDiscMenu(bool offered, bool active)
{
    menuOffered_ = offered;
    menuActive_ = offered && active;
    discMenuAction_->setVisible(offered);
    controlBar_->showMenuButton(offered);
}

void MpvPlayer::cueMenuItem(const MenuCue &cue)
{
    cue_ = cue;
}

void MpvPlayer::showText(const QString &text, int msecs)
{
    client_->showText(text, msecs);
}

// mpv's options for the file Open is loading, from the cue given for it;
// whatever plays after it plays as usual.
QByteArray MpvPlayer::takeCue()
{
    const std::optional<MenuCue> cue = std::exchange(cue_, std::nullopt);
    menuItem_ = cue.has_value();
    endedWhileOpening_ = false;
    if (!cue)
        return {};
    QByteArrayList options;
    if (cue->start > 0)
        options << "start=" + QByteArray::number(cue->start, 'f', 3);
    if (cue->length > 0)
        options << "end=" + QByteArray::number(cue->start + cue->length, 'f', 3);
    // A still's high-resolution copy is its second picture stream.
    if (cue->highResolution)
        options << "vid=2";
    return options.join(',');
}

// The item has played: its last picture stays, and the menus go on once
// mpv's events of the moment are handled.
void MpvPlayer::endMenuItem()
{
    QMetaObject::invokeMethod(
        this, [this, gen = generation_] {
            if (gen == generation_ && menuItem_ && readyState_ == Loaded)
                emit MenuItemEnded();
        },
        Qt::QueuedConnection);
}

bool MpvPlayer::menuKeyPressed(QKeyEvent *event)
{
    const int key = event->key();
    if (menuOffered_ && key == Qt::Key_M && !(event->modifiers() & ~Qt::KeypadModifier)) {
        emit DiscMenuRequested();
        return true;
    }
    if (!menuActive_)
        return false;
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        emit DiscMenuKey(key - Qt::Key_0);
    else if (key == Qt::Key_PageDown)
        emit DiscMenuKey(MenuNext);
    else if (key == Qt::Key_PageUp)
        emit DiscMenuKey(MenuPrevious);
    else if (key == Qt::Key_Backspace)
        emit DiscMenuKey(MenuReturn);
    else if (key == Qt::Key_Return || key == Qt::Key_Enter)
        emit DiscMenuKey(MenuEnter);
    else
        return false;
    return true;
}

// Where on the picture itself the click fell: mpv keeps the picture's
// shape, with bars beside or above it.
void MpvPlayer::clickPicture(QWidget *source, QMouseEvent *event)
{
    if (!menuActive_ || event->button() != Qt::LeftButton || videoSize_.isEmpty() || source->width() <= 0
        || source->height() <= 0)
        return;
    const QSizeF shown = QSizeF(videoSize_).scaled(QSizeF(source->size()), Qt::KeepAspectRatio);
    const QPointF origin((source->width() - shown.width()) / 2, (source->height() - shown.height()) / 2);
    const QPointF at = (event->position() - origin);
    const double x = at.x() / shown.width(), y = at.y() / shown.height();
    if (x >= 0 && x <= 1 && y >= 0 && y <= 1)
        emit PictureClicked(x, y);
}

} // namespace tavero
