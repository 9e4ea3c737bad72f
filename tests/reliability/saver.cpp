// Works on a dictionary the way the windows do: adds pairs, changes and deletes them through
// the main list, and rewrites the settings row, printing a line after each write returned.
// The crash test kills it at random moments; two of them share a file in the concurrency test.
// Usage: saver FILE SEED [mixed|add|prune]   ("add" only adds; "prune" deletes and saves settings)
#include "db/DataSource.h"
#include "db/Engine.h"
#include "db/Recordset.h"
#include "db/TableRecordset.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

int main(int argc, char** argv) try {
    if (argc < 3) return 2;
    auto database = db::DBEngine().Workspaces(0).OpenDatabase(argv[1], false, false, std::string(";pwd=") + db::kPassword);
    db::DataSource list;
    list.DatabaseName = argv[1];
    list.RecordSource = "OrderByEngleski";
    list.Refresh();
    std::mt19937 rng(std::stoul(argv[2]));
    const std::string mode = argc > 3 ? argv[3] : "mixed";
    for (long n = 0;; ++n) {
        if (mode == "prune" && n % 20 == 0) list.Refresh(); // see what the other one added
        db::Recordset& rs = list.recordset();
        int what = int(rng() % 10);
        if (mode == "add") what = 0;
        if (mode == "prune") what = what < 7 ? 8 : 9;
        if (mode == "prune" && what == 8 && rs.RowCount() == 0) continue;
        if (what < 6 || (mode == "mixed" && rs.RowCount() < 5)) { // a new pair; both terms carry the same number
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
        // Two side by side leave the file free now and then, as people typing do; without it a
        // loaded machine lets one starve the other, and the test measures nothing.
        if (mode != "mixed") std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
} catch (const std::exception& e) {
    std::printf("ERR %s\n", e.what());
    return 3;
}
