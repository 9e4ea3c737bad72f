#include "ui/ActiveLink.h"

#include <QDesktopServices>
#include <QUrl>

namespace dictionary {

bool ActiveLink::Open() const { return QDesktopServices::openUrl(QUrl::fromLocalFile(Address)); }

} // namespace dictionary
