#include "videocd/Form2.h"

#include "app/Form1.h"

#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <cmath>

namespace tavero {

namespace {

constexpr float kTwips = MediaPlayer::kTwipsPerPixel;

int px(double twips)
{
    return qRound(twips / double(kTwips));
}

void placeTwips(QWidget *w, double left, double top, double width, double height)
{
    w->setGeometry(px(left), px(top), px(width), px(height));
}

// A whole number of twips halved, as the layout takes halves: rounded to a
// whole number first (halves to even), then divided with the remainder
// dropped.
long halfTwips(double twips)
{
    return long(std::nearbyint(twips)) / 2;
}

} // namespace

Form2::Form2(Form1 *owner) : QDialog(owner), owner_(owner)
{
    // A small sizable tool window: no minimise or maximise box, no task bar
    // entry.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("More CD Tracks List"));
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose);
    setSizeGripEnabled(false);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    placeTwips(List1, 30, 30, 1920, 1815);

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    placeTwips(Frame1, 150, 1875, 1650, 540);

    cmdOk = new QPushButton(QStringLiteral("&Ok"), Frame1);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    placeTwips(cmdOk, 45, 150, 750, 350);
    cmdOk->setDefault(true);

    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), Frame1);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    placeTwips(cmdCancel, 840, 150, 750, 350);
    cmdCancel->setAutoDefault(false);

    connect(cmdOk, &QPushButton::clicked, this, &Form2::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &Form2::cmdCancel_Click);
    connect(List1, &QListWidget::itemDoubleClicked, this, &Form2::List1_DblClick);

    // The window cannot be made smaller than its minimum outer size.
    setMinimumSize(px(kMinOuterWidth - kWidthAllowance), px(kMinOuterHeight - kHeightAllowance));
    resize(px(2280), px(2445));
    Form_Load();
}

float Form2::ScaleWidth() const { return float(width()) * kTwips; }
float Form2::ScaleHeight() const { return float(height()) * kTwips; }
float Form2::OuterWidth() const { return ScaleWidth() + kWidthAllowance; }
float Form2::OuterHeight() const { return ScaleHeight() + kHeightAllowance; }

void Form2::setOuterWidth(float twips)
{
    resize(qMax(1, px(twips - kWidthAllowance)), height());
}

void Form2::setOuterHeight(float twips)
{
    resize(width(), qMax(1, px(twips - kHeightAllowance)));
}

void Form2::Form_Load()
{
    List1->move(px(10), px(10));
}

void Form2::Form_Resize()
{
    if (isMinimized())
        return;
    if (OuterHeight() < kMinOuterHeight)
        setOuterHeight(kMinOuterHeight);
    if (OuterWidth() < kMinOuterWidth)
        setOuterWidth(kMinOuterWidth);

    const float clientWidth = ScaleWidth();
    const float clientHeight = ScaleHeight();
    const float frameWidth = float(Frame1->width()) * kTwips;
    const float frameHeight = float(Frame1->height()) * kTwips;

    List1->resize(px(clientWidth - 10), List1->height());
    const float frameTop = clientHeight - frameHeight - 40;
    const float frameLeft = float(halfTwips(clientWidth) - halfTwips(frameWidth));
    Frame1->move(px(frameLeft), px(frameTop));
    List1->resize(List1->width(), px(frameTop - 15));
}

void Form2::cmdOk_Click()
{
    const QList<QListWidgetItem *> selected = List1->selectedItems();
    owner_->setChosenTrack(selected.isEmpty() ? QString() : selected.first()->text());
    accept();
}

void Form2::cmdCancel_Click()
{
    reject();
}

void Form2::List1_DblClick()
{
    cmdOk->click();
}

void Form2::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

} // namespace tavero
