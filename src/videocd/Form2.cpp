#include "videocd/Form2.h"

#include "platform/Twips.h"

#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <cmath>

namespace tavero {

namespace {

using twips::toPixels;

// A whole number of twips halved, as the layout takes halves: rounded to a
// whole number first (halves to even), then divided with the remainder
// dropped.
long halfTwips(double twips)
{
    return long(std::nearbyint(twips)) / 2;
}

} // namespace

Form2::Form2(QWidget *owner) : QDialog(owner)
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
    List1->setGeometry(twips::rect(30, 30, 1920, 1815));

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Frame1->setGeometry(twips::rect(150, 1875, 1650, 540));

    cmdOk = new QPushButton(QStringLiteral("&Ok"), Frame1);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setGeometry(twips::rect(45, 150, 750, 350));
    cmdOk->setDefault(true);

    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), Frame1);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(twips::rect(840, 150, 750, 350));
    cmdCancel->setAutoDefault(false);

    connect(cmdOk, &QPushButton::clicked, this, &Form2::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &Form2::cmdCancel_Click);
    connect(List1, &QListWidget::itemDoubleClicked, this, &Form2::List1_DblClick);

    // The window cannot be made smaller than its minimum outer size.
    setMinimumSize(toPixels(kMinOuterWidth - kWidthAllowance), toPixels(kMinOuterHeight - kHeightAllowance));
    resize(toPixels(2280), toPixels(2445));
    Form_Load();
}

float Form2::ScaleWidth() const { return twips::fromPixels(width()); }
float Form2::ScaleHeight() const { return twips::fromPixels(height()); }
float Form2::OuterWidth() const { return ScaleWidth() + kWidthAllowance; }
float Form2::OuterHeight() const { return ScaleHeight() + kHeightAllowance; }

void Form2::setOuterWidth(float twips)
{
    resize(qMax(1, toPixels(twips - kWidthAllowance)), height());
}

void Form2::setOuterHeight(float twips)
{
    resize(width(), qMax(1, toPixels(twips - kHeightAllowance)));
}

void Form2::Form_Load()
{
    List1->move(toPixels(10), toPixels(10));
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
    const float frameWidth = twips::fromPixels(Frame1->width());
    const float frameHeight = twips::fromPixels(Frame1->height());

    List1->resize(toPixels(clientWidth - 10), List1->height());
    const float frameTop = clientHeight - frameHeight - 40;
    const float frameLeft = float(halfTwips(clientWidth) - halfTwips(frameWidth));
    Frame1->move(toPixels(frameLeft), toPixels(frameTop));
    List1->resize(List1->width(), toPixels(frameTop - 15));
}

void Form2::cmdOk_Click()
{
    const QList<QListWidgetItem *> selected = List1->selectedItems();
    emit trackChosen(selected.isEmpty() ? QString() : selected.first()->text());
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
