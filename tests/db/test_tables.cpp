#include "TempDb.h"

#include "db/DataSource.h"
#include "db/Engine.h"
#include "db/TableRecordset.h"

#include <gtest/gtest.h>

#include <cmath>
using db::EngineError;
using db::Value;

TEST(TableRecordset, SeekFindsTheSettingsRowAndUpdatesIt) {
    TempDb t;
    auto d = t.Open();
    auto rs = d.OpenTable("Postavke");
    rs->SetIndex("PrimaryKey");
    rs->Seek("=", 1LL);
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(db::CStr(rs->Field("MojFontIme")), "Times New Roman CE");
    EXPECT_EQ(db::CInt(rs->Field("VelicinaFonta")), 11);
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
    auto main = ws.OpenDatabase(t.path.string(), false, false, ";pwd=KamenPlavetni");
    ds.Refresh();
    EXPECT_EQ(ds.recordset().RowCount(), 2);
    EXPECT_EQ(db::CStr(ds.recordset().Field("Engleski")), "cat");

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
    EXPECT_EQ(db::CInt(Value(32767LL)), 32767);
    EXPECT_EQ(ErrorCode([] { db::CInt(Value(32768LL)); }), 6);
    EXPECT_EQ(ErrorCode([] { db::CInt(Value(-32768.6)); }), 6);
    EXPECT_EQ(db::CInt(Value(2.5)), 2);
    EXPECT_EQ(db::CInt(Value(3.5)), 4);
    EXPECT_EQ(db::CInt(Value(std::string(" 12,6 "))), 13);
    EXPECT_EQ(db::CDbl(Value(std::string("0.75"))), 0.75);
    EXPECT_EQ(ErrorCode([] { db::CDbl(Value(std::string("12a"))); }), 13);
    try {
        db::CDbl(Value(std::string("12a")));
    } catch (const EngineError& e) {
        EXPECT_EQ(e.sqliteCode, 0); // a type mismatch, not SQLite's 13 (disk full)
    }
    EXPECT_EQ(ErrorCode([] { db::CDbl(Value(std::string(""))); }), 13);
    EXPECT_EQ(ErrorCode([] { db::CDbl(Value(std::string("nan"))); }), 13);
    EXPECT_EQ(ErrorCode([] { db::CDbl(Value(std::string("-inf"))); }), 13);
    EXPECT_EQ(ErrorCode([] { db::CInt(Value(std::nan(""))); }), 6);
    EXPECT_EQ(ErrorCode([] { db::CInt(Value()); }), 94);
    EXPECT_EQ(ErrorCode([] { db::CStr(Value()); }), 94);
    EXPECT_EQ(db::CBool(Value(std::string("Istina"))), db::kTrue);
    EXPECT_EQ(db::CBool(Value(0LL)), db::kFalse);
    EXPECT_EQ(db::CBool(Value(-1LL)), db::kTrue);
    EXPECT_EQ(db::CStr(Value(0.5)), "0.5");
}
