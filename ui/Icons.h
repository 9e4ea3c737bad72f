#pragma once
#include <QIcon>
#include <QString>

namespace dictionary {

// The pictures of the window's buttons, drawn here so they look the same everywhere:
// "nova", "ok", "delete", "pregledaj", "asc", "desc", "alati", "help", "izlaz",
// "first", "previous", "next", "last", "ispis".
QIcon ButtonIcon(const QString& name);

} // namespace dictionary
