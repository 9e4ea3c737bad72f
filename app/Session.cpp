#include "app/Session.h"

#include "app/Safety.h"
#include "core/Module1.h"
#include "db/Backup.h"
#include "db/Errors.h"
#include "dictionary/MainWindow.h"

Session::Session(MainWindow* window) : window_(window) {
    if (Module1::DictDb) path_ = Module1::DictDb->path();
    changesBefore_ = db::ChangesMade(path_);
}

QString Session::End() {
    // Closing the connections is what counts their changes.
    delete window_.data();
    Module1::SettingsRs.reset();
    if (Module1::DictDb) Module1::DictDb->Close();
    Module1::DictDb.reset();
    if (path_.empty() || db::ChangesMade(path_) == changesBefore_) return {};
    // A file found damaged during the run is not copied: the copy would push a good backup out
    // of the newest ten. (A read-only one has made no changes.)
    if (!db::WritesRefusedReason().empty()) return {};
    // A file this run checked whole is copied as it is, encrypted pages and all: many times
    // quicker than through the engine, which would check every page again.
    return QString::fromStdString(db::MakeBackup(path_, Module1::DbPassword.toStdString(), {}, 10, CheckedWhole()));
}
