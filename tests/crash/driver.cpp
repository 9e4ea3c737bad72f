// Does one of the program's own writes on a dictionary, through the calls the program makes, and
// prints a line once each write has returned: what the crash-state explorer records.
// Usage: crash_driver save FILE | open FILE | backup FILE | first-copy PROGRAM_FOLDER
#include "core/Module1.h"
#include "db/Backup.h"
#include "db/DataSource.h"
#include "db/Engine.h"
#include "db/Recordset.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>

namespace {
// The list's row whose English term is english, made current.
void Find(db::Recordset& rs, const std::string& english) {
    for (long i = 0; i < rs.RowCount(); ++i) {
        rs.SetBookmark(rs.BookmarkAt(i));
        if (db::CStr(rs.Field("Engleski")) == english) return;
    }
    throw std::runtime_error("no pair " + english);
}

void Said(const char* what) {
    std::printf("%s\n", what);
    std::fflush(stdout);
}

void Write(db::Recordset& rs, const char* english, const char* croatian, const char* said) {
    rs.SetField("Engleski", english);
    rs.SetField("Hrvatski", croatian);
    rs.Update();
    Said(said);
}
} // namespace

int main(int argc, char** argv) try {
    if (argc < 3) return 2;
    const std::string mode = argv[1], file = argv[2];
    if (mode == "save") { // as the editor saves: a new pair, a pair rewritten, a pair deleted
        auto database = db::DBEngine().Workspaces(0).OpenDatabase(file, false, false, std::string(";pwd=") + db::kPassword);
        db::DataSource list;
        list.DatabaseName = file;
        list.RecordSource = "OrderByEngleski";
        list.Refresh();
        db::Recordset& rs = list.recordset();
        rs.AddNew();
        Write(rs, "crash-add", "dodano", "added");
        Find(rs, "word1");
        rs.Edit();
        Write(rs, "crash-edit", "promijenjeno", "changed");
        Find(rs, "word2");
        rs.Delete();
        Said("deleted");
    } else if (mode == "open") { // the program's first writable open of the file
        auto database = db::DBEngine().Workspaces(0).OpenDatabase(file, false, false, std::string(";pwd=") + db::kPassword);
        database->Close();
        Said("opened");
    } else if (mode == "backup") { // what the end of a run that changed something does
        Said(db::MakeBackup(file, db::kPassword, {}, 10, true).c_str()); // a file the run checked whole
    } else if (mode == "first-copy") {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName("vokabis");
        Module1::MakeUserDictionary(Module1::FindLayout(QString::fromLocal8Bit(argv[2])));
        Said("copied");
    } else {
        return 2;
    }
    return 0;
} catch (const std::exception& e) {
    std::printf("ERR %s\n", e.what());
    return 3;
}
