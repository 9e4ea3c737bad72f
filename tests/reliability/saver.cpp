// Works on a dictionary the way the windows do: adds pairs, changes and deletes them through
// the main list, and rewrites the settings row, printing a line after each write returned.
// The crash test kills it at random moments. Usage: saver FILE SEED
#include "db/DataSource.h"
#include "db/Engine.h"
#include "db/Recordset.h"
#include "db/TableRecordset.h"

#include <cstdio>
#include <random>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    auto database = db::DBEngine().Workspaces(0).OpenDatabase(argv[1], false, false, ";pwd=KamenPlavetni");
    db::DataSource list;
    list.DatabaseName = argv[1];
    list.RecordSource = "OrderByEngleski";
    list.Refresh();
    std::mt19937 rng(std::stoul(argv[2]));
    for (long n = 0;; ++n) {
        db::Recordset& rs = list.recordset();
        const int what = int(rng() % 10);
        if (what < 6 || rs.RowCount() < 5) { // a new pair; both terms carry the same number
            const std::string key = std::to_string(rng() % 1000000000);
            rs.AddNew();
            rs.SetField("Engleski", "k" + key);
            rs.SetField("Hrvatski", "v" + key);
            rs.Update();
            std::printf("a %s\n", key.c_str());
        } else if (what < 8) { // a pair rewritten whole, as the editor does
            rs.SetBookmark(rs.BookmarkAt(long(rng() % rs.RowCount())));
            const std::string key = std::to_string(rng() % 1000000000);
            const std::string old = db::CStr(rs.Field("Engleski")).substr(1);
            rs.Edit();
            rs.SetField("Engleski", "k" + key);
            rs.SetField("Hrvatski", "v" + key);
            rs.Update();
            std::printf("e %s %s\n", old.c_str(), key.c_str());
        } else if (what < 9) {
            rs.SetBookmark(rs.BookmarkAt(long(rng() % rs.RowCount())));
            const std::string old = db::CStr(rs.Field("Engleski")).substr(1);
            rs.Delete();
            std::printf("d %s\n", old.c_str());
        } else { // the settings row, as the print settings window writes it
            auto s = database->OpenTable("Postavke");
            s->SetIndex("PrimaryKey");
            s->Seek("=", db::Value(1LL));
            s->Edit();
            s->SetField("BrojRedova", (long long)(n % 30000));
            s->SetField("MojFontIme", "font " + std::to_string(n % 30000));
            s->Update();
            s->Close();
            std::printf("s %ld\n", n % 30000);
        }
        std::fflush(stdout);
    }
}
