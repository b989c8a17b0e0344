#include "videocd/Form2.h"

#include "app/Form1.h"

#include <QFrame>
#include <QListWidget>
#include <QPushButton>

namespace tavero {

// Not built yet.
Form2::Form2(Form1 *owner) : QDialog(owner), owner_(owner) {}
void Form2::Form_Load() {}
void Form2::Form_Resize() {}
void Form2::cmdOk_Click() {}
void Form2::cmdCancel_Click() {}
void Form2::List1_DblClick() {}

} // namespace tavero
