#pragma once
#include <QIcon>
#include <QString>

namespace ui {

// The pictures of the window's buttons, drawn here so they look the same everywhere:
// "nova", "ok", "delete", "pregledaj", "asc", "desc", "alati", "help", "izlaz",
// "first", "previous", "next", "last", "ispis".
QIcon ButtonIcon(const QString& name);

} // namespace ui
