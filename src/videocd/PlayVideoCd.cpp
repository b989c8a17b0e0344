#include "app/Form1.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tavero {

// Not built yet.
void Form1::mnuPlayVCD_Click() {}
void Form1::Cmd1_MouseDown(int, int, int, float, float) {}
void Form1::Lbl1_MouseMove(int) {}
void Form1::Lbl1_Click(int) {}
void Form1::Frame1_MouseMove() {}
void Form1::Form_MouseMove() {}

} // namespace tavero
