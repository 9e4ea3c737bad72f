// The counts stored with the pairs, which the longest lists are counted from.
#include "common/TempFiles.h"

#include "db/Counts.h"
#include "db/Recordset.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

TEST(Counts, StayExactWhateverWritesThePairs) {
    TempDb t({{"apple", "jabuka"}, {"Apple", "Jabuka"}, {"čaj", "čaj"}, {"ljeto", "ljeto"}, {"", "prazno"}});
    auto d = t.Open(), other = t.Open();
    EXPECT_TRUE(db::CountsMatch(d.handle())) << "a new file";
    // The program's own writes go through a list.
    auto rs = d.OpenRecordset("OrderByEngleski");
    rs->AddNew();
    rs->SetField("Engleski", std::string("Éclair"));
    rs->SetField("Hrvatski", std::string("ekler"));
    rs->Update();
    rs->MoveFirst();
    rs->Edit();
    rs->SetField("Hrvatski", std::string("Zebra"));
    rs->Update();
    rs->MoveLast();
    rs->Delete();
    EXPECT_TRUE(db::CountsMatch(d.handle())) << "a list's writes";
    // Any other writer, on another connection, whatever its statement.
    for (const char* sql : {
             "INSERT INTO Vokabis (Engleski, Hrvatski) VALUES (NULL, 'bez'), ('ŵales', NULL), ('', ''), ('Wales', 'Đak')",
             "UPDATE Vokabis SET Engleski = 'zebra' WHERE Engleski = 'apple'",
             "UPDATE Vokabis SET Engleski = upper(Engleski)",
             "UPDATE Vokabis SET Hrvatski = NULL WHERE Hrvatski = 'čaj'",
             "UPDATE Vokabis SET Hrvatski = '' WHERE Hrvatski = 'ljeto'",
             "UPDATE Vokabis SET Hrvatski = 'ćup' WHERE Hrvatski IS NULL",
             "UPDATE Vokabis SET Id = Id + 1000",
             "INSERT OR REPLACE INTO Vokabis (Id, Engleski, Hrvatski) SELECT min(Id), 'Replaced', 'zamijenjen' FROM Vokabis",
             "BEGIN; DELETE FROM Vokabis; ROLLBACK",
             "DELETE FROM Vokabis WHERE Engleski LIKE 'Z*'",
         }) {
        other.Exec(sql);
        EXPECT_TRUE(db::CountsMatch(d.handle())) << sql;
    }
    // A bulk load takes the indexes and counts away and makes them once, at its end.
    other.Exec("BEGIN");
    other.DropIndexes();
    other.AddPair("bulk", "teret");
    other.CreateIndexes();
    other.Exec("COMMIT");
    EXPECT_TRUE(db::CountsMatch(d.handle())) << "a bulk load";
}

TEST(Counts, AFileWithoutThemGetsThemWhenOpenedForWritingAndOnlyThen) {
    Rows rows;
    for (int i = 0; i < 1500; ++i) rows.emplace_back((i % 3 ? "a" : "A") + std::to_string(i), "x");
    TempDb t(rows);
    db::DropCounts(t.Open().handle()); // as in a file made before them
    const std::string before = Slurp(t.path);
    const char* sql = "Select * from Vokabis where Engleski LIKE 'a*'";
    {
        db::Database reader(t.path.string(), db::kPassword, db::Connection::Options{false, true, false});
        EXPECT_FALSE(db::CountsUsable(reader.handle()));
        EXPECT_EQ(reader.OpenRecordset(sql)->RowCount(), 1500); // counted from the pairs
    }
    EXPECT_EQ(Slurp(t.path), before) << "a reader wrote to the file";
    auto d = t.Open();
    ASSERT_TRUE(db::CountsUsable(d.handle()));
    EXPECT_TRUE(db::CountsMatch(d.handle()));
    EXPECT_EQ(d.OpenRecordset(sql)->RowCount(), 1500);
}

// Another SQLite client has recursive triggers off, so a pair it replaces is deleted without the
// delete trigger; the counts must not keep it. A file whose counts came before this keeps its
// numbers and gets triggers that hold.
TEST(Counts, StayExactWhenAnotherClientReplacesPairs) {
    for (const bool older : {false, true}) {
        TempDb t({{"apple", "jabuka"}, {"bear", "medvjed"}, {"cat", "mačka"}, {"dog", "pas"}});
        if (older)
            t.Exec("DROP TRIGGER VokabisBrojeviZamjena; DROP TRIGGER VokabisBrojeviNoviKljuc; DROP TRIGGER VokabisBrojeviKljuc;"
                   "DROP TABLE VokabisZamjena");
        auto d = t.Open(); // the program opens the file for writing, as at start-up
        for (const int recursive : {0, 1}) {
            sqlite3* raw = nullptr;
            ASSERT_EQ(sqlite3_open_v2(t.path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
            sqlite3_key(raw, db::kPassword, int(std::strlen(db::kPassword)));
            db::RegisterFunctions(raw);
            db::ExecSql(raw, "PRAGMA recursive_triggers = " + std::to_string(recursive));
            for (const char* sql : {
                     "REPLACE INTO Vokabis (Id, Engleski, Hrvatski) VALUES (1, 'zebra', 'zec')",
                     "INSERT OR REPLACE INTO Vokabis (Id, Engleski, Hrvatski) SELECT Id, 'x' || Engleski, Hrvatski FROM Vokabis",
                     "UPDATE OR REPLACE Vokabis SET Id = 2 WHERE Id = 3",
                     "INSERT OR IGNORE INTO Vokabis (Id, Engleski, Hrvatski) VALUES (1, 'ignored', 'ignorirano')",
                     "UPDATE Vokabis SET Engleski = 'yak' WHERE Id = 1",
                     "DELETE FROM Vokabis WHERE Id = 1",
                     "INSERT INTO Vokabis (Id, Engleski, Hrvatski) VALUES (1, 'again', 'opet'), (NULL, 'new', 'novo')",
                 }) {
                db::ExecSql(raw, sql);
                EXPECT_TRUE(db::CountsMatch(d.handle())) << older << recursive << ": " << sql;
            }
            sqlite3_close(raw);
        }
    }
}

// Counts raised past the pairs (something wrote the file past its triggers): the list read to
// its end shows each pair once and no row that is not in it, whichever of its places was read
// first, and the view is told which rows it loses.
TEST(Counts, TooHighNeverRepeatTheTopOfTheList) {
    Rows rows;
    for (int i = 0; i < 3000; ++i) rows.emplace_back("a" + std::to_string(10000 + i), "x");
    TempDb t(rows);
    t.Exec("UPDATE VokabisBrojevi SET Broj = Broj + 5 WHERE Polje = 'Engleski' AND Znak = 'a'");
    auto d = t.Open();
    std::vector<std::unique_ptr<db::Recordset>> lists; // all run before one finds the counts wrong
    for (int i = 0; i < 3; ++i) lists.push_back(d.OpenRecordset("Select * from Vokabis where Engleski LIKE 'a*' Order By Engleski"));
    lists[1]->MoveLast();
    EXPECT_EQ(db::CStr(lists[1]->Field("Engleski")), "a12999"); // placed from the claimed end
    lists[2]->FieldAt(1600, "Engleski");
    std::vector<std::string> expected;
    for (const auto& r : rows) expected.push_back(r.first);
    for (auto& rs : lists) {
        std::vector<std::string> shown;
        for (long i = 0; i < rs->RowCount(); ++i) {
            const db::Value v = rs->FieldAt(i, "Engleski");
            shown.push_back(db::IsNull(v) ? "" : db::CStr(v));
        }
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(rs->RowCount(), 3000);
        EXPECT_EQ(rs->MissingRows(), 5);
    }
    EXPECT_EQ(lists[0]->MissingFrom(), 3000);
    EXPECT_EQ(lists[1]->MissingFrom(), 2043); // just before the rows read from the end, which stay where they were shown
}

// Only a one-character prefix is answered from the stored counts: a longer one is counted from
// the pairs, so "te" never claims every pair that begins with "t".
TEST(Counts, ALongerPrefixIsNeverAnsweredFromItsFirstLetter) {
    Rows rows;
    auto add = [&](int n, const std::string& english, const std::string& croatian) {
        for (int i = 0; i < n; ++i) rows.emplace_back(english + std::to_string(i), croatian + std::to_string(i));
    };
    add(1500, "t", "tata"); // more than a list reads as it opens, so its count is what it claims
    add(1100, "te", "teta");
    add(1200, "Te", "Tele");
    add(1300, "ča", "čaj");
    add(1100, "če", "čelo");
    add(1100, "lj", "ljeto");
    add(1050, "la", "lav");
    TempDb t(rows);
    auto d = t.Open();
    // Distrust lasts for the process: after a test that found counts wrong, nothing here would
    // read them (ctest runs each test in a process of its own).
    if (!db::CountsUsable(d.handle())) GTEST_SKIP() << "the stored counts were distrusted earlier in this process";
    for (auto [field, prefix, expected] :
         {std::tuple{"Hrvatski", "t", 3800}, {"Hrvatski", "te", 2300}, {"Hrvatski", "Te", 2300}, {"Hrvatski", "tel", 1200},
          {"Hrvatski", "č", 2400}, {"Hrvatski", "če", 1100}, {"Hrvatski", "l", 2150}, {"Hrvatski", "lj", 1100},
          {"Engleski", "t", 3800}, {"Engleski", "te", 2300}, {"Engleski", "ča", 1300}, {"Engleski", "x", 0}}) {
        const std::string sql = std::string("Select * from Vokabis where ") + field + " LIKE '" + prefix + "*' Order By " + field;
        EXPECT_EQ(d.OpenRecordset(sql)->RowCount(), expected) << sql; // as the list opens, before any read
    }
}
