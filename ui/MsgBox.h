#pragma once
#include <QString>

class QWidget;

namespace ui {

// The program's message boxes, by style number: 0 OK alone, 64 OK with the information
// icon, 36 Yes/No with the question icon, 276 Yes/No with the stop icon and No as default.
// Returns 1 for OK, 6 for Yes, 7 for No (also when the box is closed).
constexpr int kYes = 6;
constexpr int kNo = 7;
int MsgBox(QWidget* parent, const QString& prompt, const QString& title, int style);

} // namespace ui
