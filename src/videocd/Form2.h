#pragma once
// The more-tracks list window: lists the track files from the tenth on and
// hands the chosen name back to its opener.

#include <QDialog>

class QFrame;
class QListWidget;
class QPushButton;

namespace tavero {

class Form1;

class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(Form1 *owner);

    QListWidget *List1 = nullptr;
    QFrame *Frame1 = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;

    void Form_Load();
    void Form_Resize();
    void cmdOk_Click();
    void cmdCancel_Click();
    void List1_DblClick();

private:
    Form1 *owner_;
};

} // namespace tavero
