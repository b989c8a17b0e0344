#pragma once
// The two controls of a track slot: a label that normally shows and a
// button that shows under the mouse. Both carry a colour in the 0x00BBGGRR
// form (a value with the top bit set names a system colour by its index).

#include <QLabel>
#include <QPushButton>
#include <cstdint>

namespace tavero {

constexpr std::uint32_t kColorYellow = 0x0000FFFF;
constexpr std::uint32_t kColorButtonFace = 0x8000000F;

// Turns a stored colour value into a colour of the current palette.
QColor colorFromValue(std::uint32_t value, const QPalette &palette);

// The label is also the slot's way in from the keyboard: Tab reaches a
// lit one (a click gives it no focus) and Space presses it.
class TrackLabel : public QLabel {
    Q_OBJECT
public:
    explicit TrackLabel(QWidget *parent = nullptr);
    std::uint32_t BackColor() const { return backColor_; }
    void setBackColor(std::uint32_t value);
    // 1: a thin single border (the playing-track marker), 0: none.
    int BorderStyle() const { return borderStyle_; }
    void setBorderStyle(int style);

signals:
    void spacePressed();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    std::uint32_t backColor_ = kColorButtonFace;
    int borderStyle_ = 0;
};

class TrackButton : public QPushButton {
    Q_OBJECT
public:
    explicit TrackButton(QWidget *parent = nullptr);
    std::uint32_t BackColor() const { return backColor_; }
    void setBackColor(std::uint32_t value);

signals:
    // Any mouse button going down on the button.
    void mouseDown(int button, int shift, float x, float y);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    std::uint32_t backColor_ = kColorButtonFace;
};

} // namespace tavero
