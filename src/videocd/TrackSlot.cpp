#include "videocd/TrackSlot.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace tavero {

QColor colorFromValue(std::uint32_t value, const QPalette &palette)
{
    if (value & 0x80000000u) {
        // Only the button face is used among the system colours.
        return palette.color(QPalette::Button);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

static void paintBackground(QWidget *w, std::uint32_t value)
{
    const QColor c = colorFromValue(value, QPalette());
    // The idle scan sets the same colours every second.
    if (w->testAttribute(Qt::WA_SetPalette) && w->palette().color(QPalette::Window) == c &&
        w->palette().color(QPalette::Button) == c)
        return;
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    pal.setColor(QPalette::Button, c);
    w->setPalette(pal);
}

TrackLabel::TrackLabel(QWidget *parent) : QLabel(parent)
{
    setAutoFillBackground(true);
    setAlignment(Qt::AlignCenter);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setBackColor(kColorButtonFace);
}

void TrackLabel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        emit spacePressed();
    else
        QLabel::keyPressEvent(event);
}

void TrackLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(2, 2, -2, -2);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
}

void TrackLabel::setBackColor(std::uint32_t value)
{
    backColor_ = value;
    paintBackground(this, value);
}

void TrackLabel::setBorderStyle(int style)
{
    borderStyle_ = style;
    setFrameStyle(style == 1 ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
    setLineWidth(1);
}

void TrackLabel::mouseMoveEvent(QMouseEvent *event)
{
    // The label's mouse moves are its own: passed on, they would reach the
    // frame, whose handler puts down the button that this move just raised.
    event->accept();
}

TrackButton::TrackButton(QWidget *parent) : QPushButton(parent)
{
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    setBackColor(kColorButtonFace);
}

void TrackButton::setBackColor(std::uint32_t value)
{
    backColor_ = value;
    paintBackground(this, value);
}

void TrackButton::mousePressEvent(QMouseEvent *event)
{
    const QPointF p = event->position();
    emit mouseDown(int(event->button()), int(event->modifiers() >> 25), float(p.x() * 15.0),
                   float(p.y() * 15.0));
    event->accept();
}

} // namespace tavero
