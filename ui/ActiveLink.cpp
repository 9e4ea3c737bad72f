#include "ui/ActiveLink.h"

#include <QDesktopServices>
#include <QUrl>

namespace ui {

bool ActiveLink::Open() const { return QDesktopServices::openUrl(QUrl::fromLocalFile(Address)); }

} // namespace ui
