#include "common/TempFiles.h"

#include "db/DataSource.h"
#include "db/Engine.h"
#include "db/Sqlite.h"
#include "db/TableRecordset.h"

#include <gtest/gtest.h>

#include <cmath>
using db::EngineError;
using db::Value;

TEST(TableRecordset, SeekFindsTheSettingsRowAndUpdatesIt) {
    TempDb t;
    auto d = t.Open();
    // A new file's settings table is the one every existing dictionary has.
    db::Statement schema(d.handle(), "SELECT sql FROM sqlite_master WHERE name = 'Postavke'");
    ASSERT_TRUE(schema.Step());
    EXPECT_EQ(db::CStr(schema.Column(0)),
              "CREATE TABLE Postavke (Id INTEGER PRIMARY KEY, LeftM REAL, TopM REAL, XDesno REAL, YDolje REAL, MojFontIme "
              "TEXT, VelicinaFonta INTEGER, MojFontItalic INTEGER, MojFontBold INTEGER, BrojRedova INTEGER, SortEng INTEGER)");
    db::Statement first(d.handle(), "SELECT * FROM Postavke");
    ASSERT_TRUE(first.Step());
    std::vector<Value> row;
    for (int i = 0; i < first.ColumnCount(); ++i) row.push_back(first.Column(i));
    EXPECT_EQ(row, (std::vector<Value>{1LL, 0.0, 0.0, 0.0, 0.0, "Times New Roman CE", 11LL, 0LL, 0LL, 50LL, -1LL}));
    EXPECT_FALSE(first.Step());
    auto rs = d.OpenTable("Postavke");
    rs->SetIndex("PrimaryKey");
    rs->Seek("=", 1LL);
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(db::CStr(rs->Field("MojFontIme")), "Times New Roman CE");
    rs->Edit();
    rs->SetField("VelicinaFonta", 14LL);
    rs->Update();
    rs->Close();

    auto again = t.Open().OpenTable("Postavke", db::kReadOnly);
    again->SetIndex("PrimaryKey");
    again->Seek("=", 1LL);
    EXPECT_EQ(db::CInt(again->Field("VelicinaFonta")), 14);
    EXPECT_EQ(ErrorCode([&] { again->Edit(); }), db::kNotUpdatable);
    again->Seek("=", 2LL);
    EXPECT_TRUE(again->NoMatch());
    EXPECT_EQ(ErrorCode([&] { again->Field("VelicinaFonta"); }), db::kNoCurrentRecord);
    EXPECT_EQ(ErrorCode([&] { again->SetIndex("MojFontIme"); }), db::kNoSuchIndex);
    EXPECT_EQ(ErrorCode([&] { d.OpenTable("Nema"); }), db::kNoSuchTable);
}

TEST(Engine, DataSourceReachesTheKeyedFileOnlyWhileItIsOpen) {
    TempDb t({{"cat", "mačka"}, {"dog", "pas"}});
    db::DataSource ds;
    ds.DatabaseName = t.path.string();
    ds.RecordSource = "OrderByEngleski";
    EXPECT_THROW(ds.Refresh(), EngineError); // no key known yet

    auto& ws = db::DBEngine().Workspaces(0);
    auto main = ws.OpenDatabase(t.path.string(), false, false, std::string(";pwd=") + db::kPassword);
    ds.Refresh();
    EXPECT_EQ(ds.recordset().RowCount(), 2);
    ds.RecordSource = "Select * From Vokabis where Engleski LIKE '[d*'"; // unreadable pattern
    EXPECT_THROW(ds.Refresh(), EngineError);
    EXPECT_EQ(db::CStr(ds.recordset().Field("Engleski")), "cat"); // the old list is still shown

    main->Close();
    EXPECT_FALSE(db::DBEngine().KeyFor(t.path.string()));
    try { // SQLite's 26 is not a runtime number
        ws.OpenDatabase(t.path.string(), false, false, ";pwd=Krivo");
        ADD_FAILURE();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number, db::kEngineFailed);
        EXPECT_EQ(e.sqliteCode, SQLITE_NOTADB);
    }
    EXPECT_EQ(ErrorCode([&] { db::DBEngine().Workspaces(1); }), db::kNoSuchItem);
}

TEST(Value, StrictConversions) {
    using S = std::string;
    // The runtime's error numbers: 6 overflow, 13 type mismatch, 94 Null.
    const std::pair<std::function<void()>, int> failures[] = {
        {[] { db::CInt(Value(32768LL)); }, 6},      {[] { db::CInt(Value(-32768.6)); }, 6},
        {[] { db::CInt(Value(std::nan(""))); }, 6}, {[] { db::CDbl(Value(S("12a"))); }, 13},
        {[] { db::CDbl(Value(S(""))); }, 13},       {[] { db::CDbl(Value(S("nan"))); }, 13},
        {[] { db::CDbl(Value(S("-inf"))); }, 13},   {[] { db::CInt(Value()); }, 94},
        {[] { db::CStr(Value()); }, 94}};
    for (size_t i = 0; i < std::size(failures); ++i) EXPECT_EQ(ErrorCode(failures[i].first), failures[i].second) << i;
    EXPECT_EQ(db::CInt(Value(32767LL)), 32767);
    EXPECT_EQ(db::CInt(Value(2.5)), 2); // halves to the even neighbour
    EXPECT_EQ(db::CInt(Value(3.5)), 4);
    EXPECT_EQ(db::CInt(Value(S(" 12,6 "))), 13);
    EXPECT_EQ(db::CDbl(Value(S("0.75"))), 0.75);
    EXPECT_EQ(db::CBool(Value(S("Istina"))), db::kTrue);
    try {
        db::CDbl(Value(S("12a")));
    } catch (const EngineError& e) {
        EXPECT_EQ(e.sqliteCode, 0); // a type mismatch, not SQLite's 13 (disk full)
    }
    EXPECT_EQ(db::CBool(Value(0LL)), db::kFalse);
    EXPECT_EQ(db::CBool(Value(-1LL)), db::kTrue);
    EXPECT_EQ(db::CStr(Value(0.5)), "0.5");
}
