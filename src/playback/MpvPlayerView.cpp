// MpvPlayer: its size, full screen, keys and mouse, its menu and help.
#include "playback/ControlBar.h"
#include "playback/MpvPlayer.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QVBoxLayout>

namespace tavero {

namespace {

constexpr double kSeekStep = 5.0;
constexpr double kChapterSlack = 0.25;

bool isUnder(const QWidget *w, const QWidget *ancestor)
{
    for (; w; w = w->parentWidget())
        if (w == ancestor)
            return true;
    return false;
}

QString helpText()
{
    QFile f(QStringLiteral(":/playback/PlayerHelp.html"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

// ---- Size and layout ----------------------------------------------------

void MpvPlayer::setAutoSize(bool on)
{
    autoSize_ = on;
    applySize();
}

void MpvPlayer::setDisplaySize(int size)
{
    if (size < DefaultSize || size > FullScreen)
        return;
    const int old = displaySize_;
    displaySize_ = size;
    if (size == FullScreen && old != FullScreen)
        enterFullScreen();
    else if (size != FullScreen && old == FullScreen)
        leaveFullScreen();
    applySize();
}

void MpvPlayer::applySize()
{
    if (!autoSize_) {
        layoutParts();
        return;
    }
    QSize target(kCompactWidth, kCompactHeight);
    if (!videoSize_.isEmpty() && !fileName_.isEmpty()) {
        const double scale = displaySize_ == HalfSize ? 0.5 : displaySize_ == DoubleSize ? 2.0 : 1.0;
        target = QSize(qRound(videoSize_.width() * scale),
                       qRound(videoSize_.height() * scale) + controlBar_->partsHeight());
    }
    if (size() != target)
        resize(target);
    // A widget not shown yet gets its resize event only when shown.
    layoutParts();
}

void MpvPlayer::resizeEvent(QResizeEvent *event)
{
    MediaPlayer::resizeEvent(event);
    layoutParts();
}

void MpvPlayer::layoutParts()
{
    const int w = width();
    const int bars = controlBar_->partsHeight();
    const int videoH = qMax(0, height() - bars);
    videoBox_->setGeometry(0, 0, w, videoH);
    controlBar_->place(QRect(0, videoH, w, bars));
    if (video_->parentWidget() == videoBox_)
        video_->setGeometry(videoBox_->rect());
}

void MpvPlayer::setViewOption(int id, bool on)
{
    viewOptions_[id] = on;
    updatePartsVisibility();
    applySize();
}

void MpvPlayer::updatePartsVisibility()
{
    controlBar_->setParts(ViewOption(ViewTransport), ViewOption(ViewSeekBar), ViewOption(ViewVolume),
                          ViewOption(ViewTimeReadout), ViewOption(ViewStatusLine));
}

// ---- Full screen --------------------------------------------------------

void MpvPlayer::enterFullScreen()
{
    if (fullScreen_)
        return;
    auto *win = new QWidget(nullptr, Qt::Window);
    win->setObjectName(QStringLiteral("playerFullScreen"));
    // It belongs to the main window: still open when that closes, it must
    // not keep the program running.
    win->setAttribute(Qt::WA_QuitOnClose, false);
    win->setWindowTitle(window()->windowTitle());
    win->setAutoFillBackground(true);
    QPalette black = win->palette();
    black.setColor(QPalette::Window, Qt::black);
    win->setPalette(black);
    win->setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QVBoxLayout(win);
    layout->setContentsMargins(0, 0, 0, 0);
    video_->setParent(win);
    layout->addWidget(video_);
    video_->show();
    win->installEventFilter(this);
    if (QScreen *screen = window()->screen()) {
        win->setScreen(screen);
        win->setGeometry(screen->geometry());
    }
    fullScreen_ = win;
    win->showFullScreen();
    win->activateWindow();
    win->setFocus();
}

void MpvPlayer::leaveFullScreen()
{
    if (!fullScreen_)
        return;
    QWidget *win = fullScreen_;
    fullScreen_ = nullptr;
    win->removeEventFilter(this);
    video_->setParent(videoBox_);
    video_->setGeometry(videoBox_->rect());
    video_->show();
    win->hide();
    // Esc or a double click in that very window may have brought us here.
    win->deleteLater();
    if (isVisible())
        setFocus();
}

// ---- Input --------------------------------------------------------------

void MpvPlayer::keyPressEvent(QKeyEvent *event)
{
    if (menuKeyPressed(event))
        return;
    switch (event->key()) {
    case Qt::Key_Space:
        togglePlayPause();
        break;
    case Qt::Key_Left:
        seekBy(-kSeekStep);
        break;
    case Qt::Key_Right:
        seekBy(kSeekStep);
        break;
    case Qt::Key_PageUp:
        seekChapter(-1);
        break;
    case Qt::Key_PageDown:
        seekChapter(1);
        break;
    case Qt::Key_C:
        cycleAudioChannel();
        break;
    case Qt::Key_A:
        cycleAudioStream();
        break;
    case Qt::Key_Escape:
        if (displaySize_ == FullScreen)
            setDisplaySize(DefaultSize);
        else
            event->ignore();
        break;
    default:
        MediaPlayer::keyPressEvent(event);
        return;
    }
}

void MpvPlayer::contextMenuEvent(QContextMenuEvent *event)
{
    if (ViewOption(ViewContextMenu))
        showContextMenuAt(event->globalPos());
    else
        event->ignore();
}

void MpvPlayer::emitMouseMove(QWidget *source, QMouseEvent *event)
{
    int button = 0;
    const Qt::MouseButtons b = event->buttons();
    if (b & Qt::LeftButton)
        button |= 1;
    if (b & Qt::RightButton)
        button |= 2;
    if (b & Qt::MiddleButton)
        button |= 4;
    int shift = 0;
    const Qt::KeyboardModifiers m = event->modifiers();
    if (m & Qt::ShiftModifier)
        shift |= 1;
    if (m & Qt::ControlModifier)
        shift |= 2;
    if (m & Qt::AltModifier)
        shift |= 4;
    const QPointF p = isUnder(source, this) ? source->mapTo(this, event->position()) : event->position();
    emit MouseMove(button, shift, float(p.x()), float(p.y()));
}

bool MpvPlayer::eventFilter(QObject *watched, QEvent *event)
{
    auto *w = qobject_cast<QWidget *>(watched);
    const bool picture = w == video_ || w == videoBox_;
    const bool fsWindow = fullScreen_ && w == fullScreen_;
    if (!picture && !fsWindow)
        return MediaPlayer::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove:
        // A move the picture leaves unhandled travels on to the box: once.
        if (w == video_)
            emitMouseMove(w, static_cast<QMouseEvent *>(event));
        break;
    case QEvent::MouseButtonPress:
        if (w == video_)
            clickPicture(w, static_cast<QMouseEvent *>(event));
        break;
    case QEvent::MouseButtonDblClick:
        if (displaySize_ == FullScreen && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            setDisplaySize(DefaultSize);
            return true;
        }
        break;
    case QEvent::ContextMenu:
        if (fsWindow && ViewOption(ViewContextMenu)) {
            showContextMenuAt(static_cast<QContextMenuEvent *>(event)->globalPos());
            return true;
        }
        break;
    case QEvent::KeyPress:
        if (fsWindow) {
            auto *key = static_cast<QKeyEvent *>(event);
            keyPressEvent(key);
            // The keys the picture leaves (digits, media keys) are the
            // window's, as they are out of full screen.
            if (!key->isAccepted() && window() != this)
                QCoreApplication::sendEvent(window(), key);
            return true;
        }
        break;
    case QEvent::Close:
        if (fsWindow) {
            // Closing the full-screen window ends full screen. The close
            // itself goes through: the program's quit closes every window
            // first, and one that refused would keep it running with no
            // main window.
            QMetaObject::invokeMethod(this, [this] { setDisplaySize(DefaultSize); }, Qt::QueuedConnection);
            return false;
        }
        break;
    default:
        break;
    }
    return MediaPlayer::eventFilter(watched, event);
}

void MpvPlayer::seekChapter(int step)
{
    if (chapters_.isEmpty() || readyState_ != Loaded)
        return;
    // The chapter playing is the last one begun; a seek lands up to a frame
    // early, and the position read back must not count as the one before.
    int current = -1;
    for (int i = 0; i < chapters_.size(); ++i)
        if (chapters_[i] <= position_ + kChapterSlack)
            current = i;
    const int to = qMax(0, current + step);
    if (to < chapters_.size())
        seekTo(chapters_[to]);
}

// ---- Menu and help ------------------------------------------------------

void MpvPlayer::fillChaptersMenu()
{
    chaptersMenu_->clear();
    chaptersMenu_->menuAction()->setVisible(!chapters_.isEmpty());
    for (int i = 0; i < chapters_.size(); ++i) {
        const double at = chapters_[i];
        chaptersMenu_->addAction(tr("Chapter %1: %2").arg(i + 1).arg(ControlBar::formatTime(at)), this,
                                 [this, at] { seekTo(at); });
    }
}

void MpvPlayer::showContextMenuAt(const QPoint &globalPos)
{
    contextMenu_->popup(globalPos);
}

void MpvPlayer::ShowDialog(int which)
{
    if (which == ContextMenuDialog) {
        const QPoint cursor = QCursor::pos();
        const QRect mine(mapToGlobal(QPoint(0, 0)), size());
        showContextMenuAt(mine.contains(cursor) ? cursor : mapToGlobal(rect().center()));
        return;
    }
    if (which != HelpDialog)
        return;
    if (!help_) {
        auto *dlg = new QDialog(this);
        dlg->setObjectName(QStringLiteral("playerHelp"));
        dlg->setWindowTitle(tr("Video Player Help"));
        auto *layout = new QVBoxLayout(dlg);
        auto *text = new QLabel(dlg);
        text->setObjectName(QStringLiteral("helpText"));
        text->setTextFormat(Qt::RichText);
        text->setWordWrap(true);
        text->setText(helpText());
        layout->addWidget(text);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dlg);
        connect(buttons, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
        layout->addWidget(buttons);
        help_ = dlg;
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

} // namespace tavero
