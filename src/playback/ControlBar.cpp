#include "playback/ControlBar.h"
#include "playback/MediaPlayer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>

namespace tavero {

namespace {

constexpr int kNarrowWidth = 300;

} // namespace

// The seek slider with a tick where each chapter starts, over the groove
// where the handle's centre would stand at that time.
class SeekBar : public QSlider {
public:
    explicit SeekBar(QWidget *parent) : QSlider(Qt::Horizontal, parent) {}
    QList<double> marks;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QSlider::paintEvent(event);
        if (marks.isEmpty() || maximum() <= minimum())
            return;
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
        QPainter p(this);
        p.setPen(QPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText), 2));
        for (double at : marks) {
            const int value = qBound(minimum(), int(at * 1000), maximum());
            const int x = groove.x() + handle.width() / 2 +
                          QStyle::sliderPositionFromValue(minimum(), maximum(), value, groove.width() - handle.width());
            p.drawLine(x, rect().top() + 1, x, rect().top() + 4);
            p.drawLine(x, rect().bottom() - 4, x, rect().bottom() - 1);
        }
    }
};

QString ControlBar::formatTime(double seconds)
{
    const int s = seconds > 0 ? int(seconds) : 0;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

ControlBar::ControlBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("controlBar"));
    QStyle *st = style();
    row_ = new QWidget(this);
    row_->setObjectName(QStringLiteral("controlRow"));
    auto *bar = new QHBoxLayout(row_);
    bar->setContentsMargins(2, 1, 2, 1);
    bar->setSpacing(2);
    auto tool = [this, st](const char *name, QStyle::StandardPixmap icon, const QString &tip) {
        auto *b = new QToolButton(row_);
        b->setObjectName(QLatin1String(name));
        b->setIcon(st->standardIcon(icon));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        // Keys belong to the component, which has the focus.
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    playButton_ = tool("playButton", QStyle::SP_MediaPlay, tr("Play (Space)"));
    stopButton_ = tool("stopButton", QStyle::SP_MediaStop, tr("Stop"));
    menuButton_ = tool("menuButton", QStyle::SP_FileDialogListView, tr("The disc's menu (M)"));
    menuButton_->setText(tr("Menu"));
    menuButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    menuButton_->hide();
    seekBar_ = new SeekBar(row_);
    seekBar_->setObjectName(QStringLiteral("seekBar"));
    seekBar_->setFocusPolicy(Qt::NoFocus);
    seekBar_->setRange(0, 0);
    seekBar_->setMinimumWidth(20);
    timeLabel_ = new QLabel(row_);
    timeLabel_->setObjectName(QStringLiteral("timeLabel"));
    timeLabel_->setText(QStringLiteral("0:00 / 0:00"));
    muteButton_ = tool("muteButton", QStyle::SP_MediaVolume, tr("Mute"));
    muteButton_->setCheckable(true);
    volumeSlider_ = new QSlider(Qt::Horizontal, row_);
    volumeSlider_->setObjectName(QStringLiteral("volumeSlider"));
    volumeSlider_->setFocusPolicy(Qt::NoFocus);
    volumeSlider_->setRange(0, 100);
    volumeSlider_->setValue(100);
    volumeSlider_->setFixedWidth(60);
    volumeSlider_->setToolTip(tr("Volume"));
    bar->addWidget(playButton_);
    bar->addWidget(stopButton_);
    bar->addWidget(menuButton_);
    bar->addWidget(seekBar_, 1);
    bar->addWidget(timeLabel_);
    bar->addWidget(muteButton_);
    bar->addWidget(volumeSlider_);

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setContentsMargins(4, 0, 4, 1);
    // Measured with every part in: the strip keeps one height whichever
    // parts show.
    rowHeight_ = row_->sizeHint().height();
    statusHeight_ = statusLine_->sizeHint().height();

    connect(playButton_, &QToolButton::clicked, this, &ControlBar::playPauseClicked);
    connect(stopButton_, &QToolButton::clicked, this, &ControlBar::stopClicked);
    connect(menuButton_, &QToolButton::clicked, this, &ControlBar::menuClicked);
    connect(seekBar_, &QSlider::sliderPressed, this, [this] { seeking_ = true; });
    connect(seekBar_, &QSlider::sliderReleased, this, [this] {
        seeking_ = false;
        emit seekRequested(seekBar_->value() / 1000.0);
    });
    connect(seekBar_, &QSlider::actionTriggered, this, [this](int action) {
        // Clicks on the groove; drags are handled on release.
        if (action != QAbstractSlider::SliderMove)
            emit seekRequested(seekBar_->sliderPosition() / 1000.0);
    });
    connect(muteButton_, &QToolButton::toggled, this, &ControlBar::muteToggled);
    connect(volumeSlider_, &QSlider::valueChanged, this, &ControlBar::volumeChanged);
}

void ControlBar::setParts(bool transport, bool seekBar, bool volume, bool time, bool statusLine)
{
    volumePart_ = volume;
    playButton_->setVisible(transport);
    stopButton_->setVisible(transport);
    seekBar_->setVisible(seekBar);
    timeLabel_->setVisible(time);
    muteButton_->setVisible(volume);
    volumeSlider_->setVisible(volume && width() >= kNarrowWidth);
    row_->setVisible(transport || seekBar || volume || time);
    statusLine_->setVisible(statusLine);
    setVisible(!row_->isHidden() || statusLine);
}

int ControlBar::partsHeight() const
{
    return (row_->isHidden() ? 0 : rowHeight_) + (statusLine_->isHidden() ? 0 : statusHeight_);
}

void ControlBar::place(const QRect &rect)
{
    setGeometry(rect);
    arrange();
}

void ControlBar::arrange()
{
    // Laid out here rather than in a resize event: a strip not shown yet
    // gets its resize event only when shown, and the component sizes
    // itself before that.
    const int w = width();
    const int row = row_->isHidden() ? 0 : rowHeight_;
    row_->setGeometry(0, 0, w, row);
    statusLine_->setGeometry(0, row, w, statusLine_->isHidden() ? 0 : statusHeight_);
    volumeSlider_->setVisible(volumePart_ && w >= kNarrowWidth);
}

void ControlBar::showState(int playState, int readyState, double position, double duration)
{
    const bool loaded = readyState == MediaPlayer::Loaded;
    const bool playing = playState == MediaPlayer::Playing;
    if (playState != playState_) {
        playState_ = playState;
        playButton_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
        playButton_->setToolTip(playing ? tr("Pause (Space)") : tr("Play (Space)"));
    }
    playButton_->setEnabled(loaded);
    stopButton_->setEnabled(loaded && playState != MediaPlayer::Stopped);
    seekBar_->setEnabled(loaded && duration > 0);

    const QString readout = QStringLiteral("%1 / %2").arg(formatTime(position), formatTime(duration));
    if (timeLabel_->text() != readout)
        timeLabel_->setText(readout);
    if (!seeking_) {
        const QSignalBlocker block(seekBar_);
        const int end = int(qMax(0.0, duration) * 1000);
        const int at = qBound(0, int(position * 1000), end);
        seekBar_->setRange(0, end);
        // The position comes with every frame, and every new value
        // repaints the bar: it moves when its handle would move.
        const int span = seekBar_->width();
        if (at == 0 || at == end ||
            QStyle::sliderPositionFromValue(0, end, at, span) !=
                QStyle::sliderPositionFromValue(0, end, seekBar_->value(), span))
            seekBar_->setValue(at);
    }
    QString state;
    switch (playState) {
    case MediaPlayer::Playing: state = tr("Playing"); break;
    case MediaPlayer::Paused: state = tr("Paused"); break;
    case MediaPlayer::Stopped: state = tr("Stopped"); break;
    default: state = readyState == MediaPlayer::Loading ? tr("Opening") : tr("No medium"); break;
    }
    const QString status = loaded ? state + QStringLiteral("   ") + readout : state;
    if (statusLine_->text() != status)
        statusLine_->setText(status);
}

void ControlBar::showVolume(int volume)
{
    const QSignalBlocker block(volumeSlider_);
    volumeSlider_->setValue(volume);
}

void ControlBar::showMuted(bool muted)
{
    const QSignalBlocker block(muteButton_);
    muteButton_->setChecked(muted);
}

void ControlBar::showMenuButton(bool shown)
{
    menuButton_->setVisible(shown);
}

void ControlBar::showChapters(const QList<double> &starts)
{
    if (seekBar_->marks == starts)
        return;
    seekBar_->marks = starts;
    seekBar_->update();
}

QList<double> ControlBar::chapterMarks() const
{
    return seekBar_->marks;
}

int ControlBar::volume() const
{
    return volumeSlider_->value();
}

bool ControlBar::isMuted() const
{
    return muteButton_->isChecked();
}

void ControlBar::setVolume(int volume)
{
    volumeSlider_->setValue(volume);
}

void ControlBar::setMuted(bool muted)
{
    muteButton_->setChecked(muted);
}

} // namespace tavero
