#pragma once
// The more-tracks list window: lists the track files from the tenth on and
// says which one was chosen. Made fresh for each opening;
// it deletes itself once it has closed.

#include <QDialog>

class QFrame;
class QListWidget;
class QPushButton;

namespace tavero {

class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget *owner);

    // Allowances that stand for the tool window's border and title bar: the
    // window's outer size is its client area plus these (twips).
    static constexpr float kWidthAllowance = 120.0f;
    static constexpr float kHeightAllowance = 420.0f;
    static constexpr float kMinOuterWidth = 2115.0f;
    static constexpr float kMinOuterHeight = 2865.0f;

    QListWidget *List1 = nullptr;
    QFrame *Frame1 = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;

    // Sizes in twips: the client area (Scale*) and the outer size.
    float ScaleWidth() const;
    float ScaleHeight() const;
    float OuterWidth() const;
    float OuterHeight() const;
    void setOuterWidth(float twips);
    void setOuterHeight(float twips);

    void Form_Load();
    void Form_Resize();
    void cmdOk_Click();
    void cmdCancel_Click();
    void List1_DblClick();

signals:
    // Ok: the name chosen, or "" with none selected.
    void trackChosen(const QString &name);

protected:
    void resizeEvent(QResizeEvent *event) override;
};

} // namespace tavero
