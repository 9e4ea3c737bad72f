#include "common/TempFiles.h"

#include "db/Counts.h"
#include "db/JetSql.h"
#include "db/Recordset.h"
#include "db/Sqlite.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <cstring>
#include <numeric>
#include <set>

using db::EngineError;

namespace {
std::string Eng(const db::Recordset& rs) { return db::CStr(rs.Field("Engleski")); }

std::vector<std::string> Column(db::Recordset& rs, const char* field) {
    std::vector<std::string> out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) out.push_back(db::CStr(rs.Field(field)));
    return out;
}
// Pairs "w0000"/"x" and so on, added last to first when backwards (ids against the list's order).
Rows Numbered(int n, bool backwards = false) {
    Rows rows;
    for (int i = 0; i < n; ++i) {
        char e[16];
        std::snprintf(e, sizeof e, "w%04d", backwards ? n - 1 - i : i);
        rows.emplace_back(e, "x");
    }
    return rows;
}
} // namespace

TEST(Recordset, CroatianAndEnglishOrdering) {
    TempDb t({{"z", "žaba"}, {"y", "dž"}, {"x", "čaša"}, {"w", "ćup"}, {"v", "cvijet"}, {"u", "đak"},
              {"t", "dan"}, {"s", "šuma"}, {"r", "sat"}, {"q", "ljeto"}, {"p", "lopta"}, {"o", "zima"},
              {"n", "Čovjek"}});
    auto d = t.Open();
    auto rs = d.OpenRecordset("Select * From Vokabis Order By Hrvatski Asc");
    EXPECT_EQ(Column(*rs, "Hrvatski"),
              (std::vector<std::string>{"cvijet", "čaša", "Čovjek", "ćup", "dan", "dž", "đak", "lopta", "ljeto",
                                        "sat", "šuma", "zima", "žaba"}));
    d.Exec("DELETE FROM Vokabis");
    for (const char* e : {"Zebra", "apple", "Éclair", "eagle", "Apple", "banana"}) d.AddPair(e, "x");
    auto en = d.OpenRecordset("OrderByEngleski");
    EXPECT_EQ(Column(*en, "Engleski"),
              (std::vector<std::string>{"apple", "Apple", "banana", "eagle", "Éclair", "Zebra"}));
}

// Prefix conditions are answered from the folded-term index, and find exactly the rows the
// LIKE itself finds; everything else in the text is left as written.
TEST(Recordset, PrefixSearchUsesTheFoldedIndexAndKeepsLikeSemantics) {
    TempDb t({{"Čačak", "grad"}, {"čaj", "tea"}, {"cap", "kapa"}, {"CAT", "mačka"}, {"ca", "x"}, {"cb", "y"},
              {"apple", "ljeto"}, {"ant", "lj"}, {"axe", "ljžaba"}, {"arm", "lk"}, {"bee", "ljubav"}, {"o'b", "o'Brien"},
              {"abc", "o'c"}, {"ab", "Engleski LIKE 'ab*'"}});
    auto d = t.Open();
    auto plan = [&](const std::string& where) { // the ids a sorted list reads first come from the index alone
        std::string detail;
        db::Statement s(d.handle(), "EXPLAIN QUERY PLAN " + db::AddPrefixRanges("Select Id From Vokabis where " + where));
        while (s.Step()) detail += db::CStr(s.Column(3)) + "\n";
        return detail;
    };
    const std::string sorted = plan("Engleski LIKE 'ča*'Order By Engleski Asc");
    EXPECT_NE(sorted.find("COVERING INDEX VokabisEngleskiPrefiks"), std::string::npos) << sorted;
    // With both terms, only the longer prefix is taken from its index.
    EXPECT_EQ(plan("Hrvatski LIKE 'lj*'And Engleski LIKE 'a*'").find("VokabisEngleskiPrefiks"), std::string::npos);

    // A file made when the prefix index held the folded term alone gets the new one on opening.
    d.Exec("DROP INDEX VokabisEngleskiPrefiks; CREATE INDEX VokabisEngleskiPrefiks ON Vokabis (vokabis_fold(Engleski))");
    d.Close();
    d = t.Open();
    db::Statement index(d.handle(), "SELECT sql FROM sqlite_master WHERE name = 'VokabisEngleskiPrefiks'");
    ASSERT_TRUE(index.Step());
    EXPECT_NE(db::CStr(index.Column(0)).find("vokabis_fold(Engleski), Engleski)"), std::string::npos);

    d.Exec("INSERT INTO Vokabis (Engleski, Hrvatski) VALUES (NULL, NULL), ('ǅak', 'ǆ'), ('İstanbul', 'ı'),"
           " ('straße', 'STRASSE'), ('ÇA', 'çA'), (X'63C3', 'bad utf-8')");
    auto ids = [&](const std::string& sql) {
        std::vector<long long> out;
        for (db::Statement s(d.handle(), sql); s.Step();) out.push_back(s.Int(0));
        return out;
    };
    std::vector<std::string> wheres = {"Hrvatski LIKE 'lj*'And Engleski LIKE 'a*'", "Hrvatski LIKE 'o''B*'And Id > 0",
                                       "Engleski LIKE 'Ca*' And Hrvatski LIKE 'KA*'", "Engleski LIKE '**'",
                                       "Engleski LIKE 'c?*'", "Engleski LIKE '*ab'", "Engleski NOT LIKE 'ab*'",
                                       "Hrvatski = 'Engleski LIKE ''ab*'''", "Hrvatski LIKE 'l*' Or Engleski LIKE '*'"};
    for (const char* prefix : {"", "c", "Č", "ča", "ǆ", "ǅ", "i", "İ", "stra", "straß", "ss", "ç", "CA", "c\xC3"})
        wheres.push_back(std::string("Engleski LIKE '") + prefix + "*'");
    for (const std::string& where : wheres) {
        const std::string sql = "Select Id From Vokabis where " + where + " Order By Id";
        const auto found = ids(sql);
        EXPECT_EQ(ids(db::AddPrefixRanges(sql)), found) << where;
        EXPECT_EQ(d.Count(sql), long(found.size())) << where;
    }
    EXPECT_EQ(ids("Select Id From Vokabis where Hrvatski LIKE 'lj*'And Engleski LIKE 'a*'").size(), 3u);
    for (const char* same : {"Select * From Vokabis where Engleski LIKE 'a?c*'", "where Opis = 'Engleski LIKE ''ab*'''",
                             "where MojEngleski LIKE 'ab*'", "where Engleski NOT LIKE 'ab*'"})
        EXPECT_EQ(db::AddPrefixRanges(same), same);
}

// What the system's own collation (glibc, not ICU) makes of the same words.
std::vector<std::string> SortedBySystem(const char* locale, const std::vector<std::string>& words) {
    TempDir dir;
    std::ofstream(dir / "words") << std::accumulate(words.begin(), words.end(), std::string(),
                                                    [](std::string a, const std::string& w) { return a + w + "\n"; });
    std::vector<std::string> sorted;
    if (FILE* p = ::popen(("LC_ALL=" + std::string(locale) + " sort -s " + dir / "words").c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, p)) sorted.emplace_back(line, std::strcspn(line, "\n"));
        ::pclose(p);
    }
    return sorted;
}

// Row by row, ties too, what the engine's own sort gives (the row id after the term), however
// the list is reached: its last rows first, then its middle, then all of it.
void ExpectTheEnginesOrderFromEitherEnd(db::Database& d, const std::string& sql, bool descending) {
    std::string engine = sql;
    engine.replace(0, 8, "Select Id");
    std::vector<long long> sorted, read;
    for (db::Statement s(d.handle(), engine + (descending ? ", Id Desc" : ", Id Asc")); s.Step();) sorted.push_back(s.Int(0));
    auto rs = d.OpenRecordset(sql);
    rs->MoveLast();
    EXPECT_EQ(rs->CurrentKey(), sorted.back()) << sql;
    rs->Move(-long(sorted.size()) / 2);
    EXPECT_EQ(rs->CurrentKey(), sorted[sorted.size() - 1 - sorted.size() / 2]) << sql;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) read.push_back(rs->CurrentKey());
    EXPECT_EQ(read, sorted) << sql;
    EXPECT_EQ(rs->RowCount(), long(sorted.size())) << sql;
}

TEST(Recordset, FilteredListsComeInTheTypedTermsAlphabeticalOrder) {
    const std::vector<std::string> croatian = {"čankoliz", "čančica", "čađa", "Čakovec", "cvijet", "ćup", "dan", "džep",
                                               "Dubrovnik", "đak", "Džamija", "dio", "ljeto", "lopta", "Ljubljana",
                                               "luk", "njega", "Nikola", "nož", "nula", "Čaša", "šuma", "žaba"};
    const std::vector<std::string> english = {"systolic", "São", "saturn", "Sable", "sea", "Zebra", "zoo", "apple",
                                              "Banana", "ant", "Anchor", "azure", "bee", "Saab", "sabre", "seal"};
    TempDb t;
    auto d = t.Open();
    // Every pairing eight times: many equal terms, whose ties the row id breaks.
    d.Exec("BEGIN");
    for (size_t i = 0; i < 8 * croatian.size() * english.size(); ++i)
        d.AddPair(english[i % english.size()], croatian[i / english.size() % croatian.size()]);
    d.Exec("COMMIT");
    struct Case {
        const char* field; // shown in its order
        const char* sql;
        const char* prefix; // of the typed term
        bool descending = false;
        const char* filtered = nullptr; // the typed term when it is the other one
    };
    for (const Case& c : {Case{"Hrvatski", "Select * from Vokabis where Hrvatski LIKE 'č*'", "č"},
                          Case{"Hrvatski", "Select * from Vokabis where Hrvatski LIKE 'd*' and Engleski LIKE '*'", "d"},
                          Case{"Hrvatski", "Select * from Vokabis where Hrvatski LIKE '*'", ""},
                          Case{"Hrvatski", "Select * from Vokabis where Hrvatski LIKE 'L*'", "l"},
                          Case{"Hrvatski", "Select * from Vokabis where Hrvatski LIKE 'nj*'", "nj"},
                          Case{"Hrvatski", "Select * from Vokabis where Hrvatski LIKE 'Lj*'", "lj"},
                          Case{"Hrvatski", "Select * from Vokabis where Hrvatski LIKE 'DŽ*'", "dž"},
                          Case{"Engleski", "Select * from Vokabis where Engleski LIKE 's*'", "s"},
                          Case{"Hrvatski", "Select * From Vokabis where Hrvatski LIKE 'č*'Order By Hrvatski Asc", "č"},
                          Case{"Hrvatski", "Select * From Vokabis where Hrvatski LIKE 'l*'Order By Hrvatski Desc", "l", true},
                          Case{"Engleski", "Select * From Vokabis where Engleski LIKE 'S*'Order By Engleski Desc", "s", true},
                          Case{"Engleski", "Select * from Vokabis where Engleski LIKE 'sa*' and Hrvatski LIKE '*'", "sa"},
                          Case{"Hrvatski", "Select * From Vokabis Order By Hrvatski Desc", "", true},
                          Case{"Engleski", "Select * From Vokabis Order By Engleski Asc", ""},
                          Case{"Engleski", "Select * From Vokabis where Hrvatski LIKE 'č*' Order By Engleski Asc", "č", false, "Hrvatski"},
                          Case{"Engleski", "Select * From Vokabis where Hrvatski LIKE 'd*' Order By Engleski Desc", "d", true, "Hrvatski"},
                          Case{"Engleski", "Select * From Vokabis where Hrvatski LIKE 'Lj*' Order By Engleski Asc", "lj", false, "Hrvatski"},
                          Case{"Engleski", "Select * From Vokabis where Hrvatski LIKE 'ć*' Order By Engleski Asc", "ć", false, "Hrvatski"},
                          Case{"Engleski", "Select * From Vokabis where Hrvatski LIKE 'Š*' Order By Engleski Desc", "š", true, "Hrvatski"},
                          Case{"Engleski", "Select * From Vokabis where Hrvatski LIKE 'đ*' Order By Engleski Asc", "đ", false, "Hrvatski"},
                          Case{"Hrvatski", "Select * From Vokabis where Engleski LIKE 's*' Order By Hrvatski Asc", "s", false, "Engleski"},
                          Case{"Hrvatski", "Select * From Vokabis where Engleski LIKE 'A*' Order By Hrvatski Desc", "a", true, "Engleski"}}) {
        const bool hr = std::string(c.field) == "Hrvatski", byOther = c.filtered != nullptr;
        const bool filterHr = byOther ? !hr : hr;
        std::set<std::string> matching;
        for (size_t i = 0; i < croatian.size() * english.size(); ++i) {
            const std::string& h = croatian[i / english.size()], &e = english[i % english.size()];
            if (db::FoldKey(filterHr ? h : e).starts_with(db::FoldKey(c.prefix))) matching.insert(hr ? h : e);
        }
        std::vector<std::string> expected =
            SortedBySystem(hr ? "hr_HR.UTF-8" : "en_US.UTF-8", {matching.begin(), matching.end()});
        if (c.descending) std::reverse(expected.begin(), expected.end());
        ASSERT_EQ(expected.size(), matching.size()) << "the system's locales are missing (scripts/setup makes them)";
        auto rs = d.OpenRecordset(c.sql);
        std::vector<std::string> shown = Column(*rs, c.field);
        shown.erase(std::unique(shown.begin(), shown.end()), shown.end()); // equal terms come together
        EXPECT_EQ(shown, expected) << c.sql;
        if (std::strstr(c.sql, "Order By")) ExpectTheEnginesOrderFromEitherEnd(d, c.sql, c.descending);
    }
    // Spellings the collation does not contract, or holds decomposed, still belong to their letter.
    d.AddPair("x", "dŽungla");
    d.AddPair("y", "dz\u030Cep");
    d.AddPair("z", "LJUBAV");
    d.AddPair("w", "\u01C6ep");
    d.AddPair("v", "lJuta");
    for (const char* sql : {"Select * from Vokabis where Hrvatski LIKE 'd*'", "Select * from Vokabis where Hrvatski LIKE 'L*'",
                            "Select * from Vokabis where Hrvatski LIKE '\u01C4*'", "Select * from Vokabis where Hrvatski LIKE 'dž*'",
                            "Select * from Vokabis where Hrvatski LIKE 'lj*'"})
        EXPECT_EQ(long(Column(*d.OpenRecordset(sql), "Hrvatski").size()), d.Count(sql)) << sql;
}

// A letter whose rows all lie at the far end of the other term's index: the walk, which would
// pass every other row first, gives up, and the engine's sort gives the same rows in the same order.
TEST(Recordset, ALetterFarDownTheOtherIndexIsSortedInstead) {
    Rows rows;
    for (int i = 0; i < 6000; ++i) rows.emplace_back("a" + std::to_string(i), "b");
    for (int i = 0; i < 1500; ++i) rows.emplace_back("z" + std::to_string(i % 500), "fazan");
    TempDb t(rows);
    auto d = t.Open();
    ExpectTheEnginesOrderFromEitherEnd(d, "Select * From Vokabis where Hrvatski LIKE 'f*' Order By Engleski Asc", false);
    EXPECT_EQ(d.OpenRecordset("Select * From Vokabis where Hrvatski LIKE 'b*'")->RowCount(), 6000); // the file still answers
}

TEST(Recordset, NavigationAtBothEnds) {
    TempDb t({{"a", "1"}, {"b", "2"}, {"c", "3"}});
    auto d = t.Open();
    auto rs = d.OpenRecordset("OrderByEngleski");
    EXPECT_EQ(Eng(*rs), "a");
    EXPECT_EQ(rs->RecordCount(), 1); // only what has been reached
    rs->MovePrevious();
    EXPECT_TRUE(rs->Bof());
    EXPECT_EQ(ErrorCode([&] { rs->Field("Engleski"); }), db::kNoCurrentRecord);
    EXPECT_EQ(ErrorCode([&] { rs->MovePrevious(); }), db::kNoCurrentRecord);
    rs->MoveNext();
    EXPECT_EQ(Eng(*rs), "a");
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->AbsolutePosition(), 2);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(ErrorCode([&] { rs->MoveNext(); }), db::kNoCurrentRecord);
    rs->MovePrevious();
    EXPECT_EQ(Eng(*rs), "c");
    rs->Move(-2);
    EXPECT_EQ(Eng(*rs), "a");
    rs->Move(5);
    EXPECT_TRUE(rs->Eof());

    auto none = d.OpenRecordset("Select * From Vokabis where Engleski LIKE 'zz*'");
    EXPECT_TRUE(none->Bof() && none->Eof());
    EXPECT_EQ(none->RecordCount(), 0);
    none->MoveLast();
    EXPECT_TRUE(none->Eof());
}

TEST(Recordset, ClonesShareRowsButNotCursors) {
    TempDb t({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}});
    auto d = t.Open();
    auto rs = d.OpenRecordset("OrderByEngleski");
    rs->MoveNext();
    auto clone = rs->Clone();
    EXPECT_EQ(Eng(*clone), "a");
    clone->MoveLast();
    EXPECT_EQ(clone->RecordCount(), 4);
    EXPECT_EQ(Eng(*rs), "b"); // untouched by the clone's moves
    const db::Bookmark b = clone->GetBookmark();
    rs->SetBookmark(b);
    EXPECT_EQ(Eng(*rs), "d");

    // Deleting through a clone hides the row from both; the bookmark of it is dead.
    clone->Delete();
    EXPECT_EQ(clone->AbsolutePosition(), -1);
    EXPECT_EQ(ErrorCode([&] { rs->Field("Engleski"); }), db::kNoCurrentRecord);
    EXPECT_EQ(ErrorCode([&] { rs->SetBookmark(b); }), db::kRecordDeleted);
    clone->MovePrevious();
    EXPECT_EQ(Eng(*clone), "c");
    EXPECT_EQ(rs->RowCount(), 3);
    EXPECT_EQ(d.Count("Select * From Vokabis"), 3);

    auto other = d.OpenRecordset("OrderByEngleski");
    EXPECT_EQ(ErrorCode([&] { other->SetBookmark(b); }), db::kBadBookmark);
    rs->Close();
    EXPECT_EQ(Eng(*clone), "c"); // a clone outlives the record set it came from
}

TEST(Recordset, DeletingManyKeepsPositionsRight) {
    TempDb t(Numbered(1000));
    auto d = t.Open();
    auto rs = d.OpenRecordset("OrderByEngleski");
    int i = 0;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext(), ++i)
        if (i % 3 == 0) rs->Delete(); // the move after a delete goes on from the deleted row
    EXPECT_EQ(rs->RowCount(), 1000 - 334);
    auto at = [&](long i) { return db::CStr(rs->FieldAt(i, "Engleski")); };
    EXPECT_EQ((std::vector{at(0), at(1), at(2), at(665)}), (std::vector<std::string>{"w0001", "w0002", "w0004", "w0998"}));
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 666);
    EXPECT_EQ(rs->AbsolutePosition(), 665);
    rs->Move(-663);
    EXPECT_EQ(Eng(*rs), "w0004");
}

// A long list reads its ids as they are needed, yet shows the rows the query found when it ran,
// whatever this or another connection writes before the rest is read.
TEST(Recordset, ALongListIsTheQuerysOwnWhenReadLater) {
    TempDb t(Numbered(3000, true));
    std::vector<std::string> words;
    for (const auto& [e, h] : Numbered(3000)) words.push_back(e);
    enum { kNothing, kOtherCopy, kOtherAfterTheEnd, kThisList };
    for (const int change : {kNothing, kOtherCopy, kOtherAfterTheEnd, kThisList}) {
        TempDb copy;
        fs::copy_file(t.path, copy.path, fs::copy_options::overwrite_existing);
        auto d = copy.Open(), other = copy.Open();
        auto rs = d.OpenRecordset("OrderByEngleski");
        auto fresh = rs->Clone();
        std::vector<std::string> expected = words;
        if (change == kOtherAfterTheEnd) { // its last rows were read first, from the end
            fresh->MoveLast();
            EXPECT_EQ(Eng(*fresh), "w2999");
        }
        if (change == kOtherCopy || change == kOtherAfterTheEnd) {
            // Not in the list when it ran, or gone since: an empty row where the rows not read yet end.
            other.AddPair("w1500a", "novi");
            other.Exec("DELETE FROM Vokabis WHERE Engleski = 'w2000'");
            expected.erase(expected.begin() + 2000);
            expected.insert(change == kOtherCopy ? expected.end() : expected.begin() + 2047, "");
        } else if (change == kThisList) { // an edited row keeps its place, an added one joins the end
            rs->MoveLast(); // and a deleted one, read from the end, is gone
            rs->Delete();
            expected.pop_back();
            rs->MoveFirst();
            rs->Edit();
            rs->SetField("Engleski", std::string("w2999z"));
            rs->Update();
            rs->AddNew();
            rs->SetField("Engleski", std::string("w1500a"));
            rs->Update();
            expected.front() = "w2999z";
            expected.push_back("w1500a");
        }
        fresh->MoveFirst();
        fresh->Move(2500);
        EXPECT_EQ(Eng(*fresh), expected[2500]) << change;
        fresh->MoveLast();
        EXPECT_EQ(fresh->RecordCount(), long(expected.size())) << change;
        std::vector<std::string> shown;
        for (long i = 0; i < rs->RowCount(); ++i) {
            const db::Value v = rs->FieldAt(i, "Engleski");
            shown.push_back(db::IsNull(v) ? "" : db::CStr(v));
        }
        EXPECT_EQ(shown, expected) << change;
    }
    // Each kind of query is counted without reading its ids; the count is the rows it gives.
    auto d = t.Open();
    // "ŵ" lies within the collated range of "w" without being a "w".
    d.Exec("INSERT INTO Vokabis (Engleski, Hrvatski) VALUES (NULL, 'bez'), ('w5000', NULL), ('ŵales', 'x'), ('Wales', 'y')");
    for (const char* sql : {"OrderByEngleski", "Select * from Vokabis where Engleski LIKE '*'",
                            "Select * from Vokabis where Hrvatski LIKE '*'", "Select * From Vokabis Order By Hrvatski Desc",
                            "Select * from Vokabis where Engleski LIKE 'W*'",
                            "Select * from Vokabis where Engleski LIKE 'w1*' and Hrvatski LIKE '*'",
                            "Select * from Vokabis where Engleski LIKE 'w*' Order By Engleski Desc",
                            "Select * From Vokabis Order By Engleski LIMIT 2000",
                            "Select * from Vokabis where Engleski LIKE 'w*' order by Engleski limit 2000",
                            "Select * from Vokabis where Engleski LIKE 'w*' or Hrvatski LIKE 'y*'",
                            "Select * from Vokabis where Engleski LIKE 'w1*' LIMIT 5"})
        EXPECT_EQ(d.OpenRecordset(sql)->RowCount(), d.Count(sql)) << sql;
}

TEST(Recordset, AddNewEditAndUpdateLeaveTheCursorWhereItWas) {
    TempDb t({{"a", "1"}, {"b", "2"}});
    auto d = t.Open();
    auto rs = d.OpenRecordset("OrderByEngleski");
    rs->MoveNext();
    rs->AddNew();
    rs->SetField("Engleski", std::string("aa"));
    rs->SetField("Hrvatski", std::string("novo"));
    EXPECT_EQ(Eng(*rs), "aa"); // the buffer while adding
    rs->Update();
    EXPECT_EQ(Eng(*rs), "b");
    rs->MoveLast();
    EXPECT_EQ(Eng(*rs), "aa"); // joins the end until the query runs again
    EXPECT_EQ(rs->RecordCount(), 3);

    rs->Edit();
    rs->SetField("Hrvatski", std::string("promijenjeno"));
    rs->MoveFirst(); // a move drops the pending edit
    EXPECT_EQ(d.Count("Select * From Vokabis where Hrvatski LIKE 'promijenjeno'"), 0);
    rs->Edit();
    rs->SetField("hrvatski", std::string("prvi"));
    rs->Update();
    EXPECT_EQ(d.Count("Select * From Vokabis where Hrvatski LIKE 'prvi'"), 1);

    EXPECT_EQ(ErrorCode([&] { rs->SetField("Hrvatski", std::string("x")); }), db::kNotEditing);
    EXPECT_EQ(ErrorCode([&] { rs->Update(); }), db::kNotEditing);
    EXPECT_EQ(ErrorCode([&] { rs->Field("Njemacki"); }), db::kNoSuchItem);

    // A row deleted by someone else between Edit and Update is reported, not silently lost.
    rs->Edit();
    rs->SetField("Hrvatski", std::string("kasno"));
    d.Exec("DELETE FROM Vokabis WHERE Engleski = 'a'");
    EXPECT_EQ(ErrorCode([&] { rs->Update(); }), db::kRowChanged);
    EXPECT_EQ(d.Count("Select * From Vokabis"), 2);
}

TEST(Recordset, QueriesThatCannotBeEditedAreRefused) {
    TempDb t({{"a", "1"}});
    auto d = t.Open();
    EXPECT_EQ(ErrorCode([&] { d.OpenRecordset("Select count(*) From Vokabis"); }), db::kNotUpdatable);
    EXPECT_EQ(ErrorCode([&] { d.OpenRecordset("Select Engleski From Vokabis"); }), db::kNotUpdatable);
    EXPECT_THROW(d.OpenRecordset("Select * From Nema"), EngineError);
    auto rs = d.OpenRecordset("Vokabis");
    rs->Close();
    EXPECT_EQ(ErrorCode([&] { rs->MoveNext(); }), db::kClosed);
}

// Two copies of the program on one file, each with its own list: B deletes the newest pair
// and adds another; A's stale list then changes or deletes "its" row. Whatever B wrote stays.
TEST(Recordset, AStaleListNeverWritesOverAnotherCopysPair) {
    for (const bool oldFile : {true, false}) {
        for (const bool change : {true, false}) {
            TempDb t({{"a", "1"}, {"b", "2"}, {"c", "3"}});
            if (oldFile) { // made before ids were kept unique: a deleted largest id is given again
                auto d = t.Open();
                d.Exec("CREATE TABLE Novi (Id INTEGER PRIMARY KEY, Engleski TEXT COLLATE ROOT, Hrvatski TEXT COLLATE HR);"
                       "INSERT INTO Novi SELECT * FROM Vokabis; DROP VIEW OrderByEngleski; DROP TABLE Vokabis;"
                       "ALTER TABLE Novi RENAME TO Vokabis;"
                       "CREATE VIEW OrderByEngleski AS SELECT * FROM Vokabis ORDER BY Engleski;");
            }
            auto a = t.Open(), b = t.Open();
            auto listA = a.OpenRecordset("OrderByEngleski");
            auto listB = b.OpenRecordset("OrderByEngleski");
            ASSERT_EQ(Eng(*listB), "a"); // what each list shows is read now
            listA->MoveLast();
            ASSERT_EQ(Eng(*listA), "c");
            listB->MoveLast();
            listB->Delete();
            listB->AddNew();
            listB->SetField("Engleski", std::string("nova"));
            listB->SetField("Hrvatski", std::string("od B"));
            listB->Update();
            const long long newId = b.Count("Select * From Vokabis where Engleski = 'nova' and Id > 3");
            EXPECT_EQ(newId, oldFile ? 0 : 1) << "ids are never reused in new files";

            ASSERT_EQ(Eng(*listA), "c"); // still, though gone from the file
            const int code = ErrorCode([&] {
                if (change) {
                    listA->Edit();
                    listA->SetField("Hrvatski", std::string("od A"));
                    listA->Update();
                } else {
                    listA->Delete();
                }
            });
            EXPECT_EQ(code, db::kRowChanged) << oldFile << change;
            auto check = t.Open();
            EXPECT_EQ(check.Count("Select * From Vokabis where Engleski = 'nova' And Hrvatski = 'od B'"), 1)
                << oldFile << change;
            EXPECT_EQ(check.Count("Select * From Vokabis where Hrvatski = 'od A'"), 0);
            EXPECT_EQ(check.Count("Select * From Vokabis"), 3);
            // A row that still holds what A read is written as before.
            listA->MoveFirst();
            listA->Edit();
            listA->SetField("Hrvatski", std::string("jedan"));
            listA->Update();
            EXPECT_EQ(check.Count("Select * From Vokabis where Engleski = 'a' And Hrvatski = 'jedan'"), 1);
            // B, whose list read "a" before A changed it, may not overwrite or delete it either.
            listB->MoveFirst();
            EXPECT_EQ(ErrorCode([&] { listB->Delete(); }), db::kRowChanged);
            EXPECT_EQ(check.Count("Select * From Vokabis where Hrvatski = 'jedan'"), 1);
        }
    }
}

// The saved list's text comes from the file: however long or odd, it is read without running
// out of stack, and the rows still come in the list's order. Run in a child, so that a crash is
// a failure rather than the end of the test program.
TEST(Recordset, AnOddSavedListIsReadWithoutCrashing) {
    const std::string comment(50000, 'k');
    for (const std::string& body :
         {"SELECT * FROM Vokabis /*" + comment + "*/ ORDER BY Engleski", "SELECT * FROM Vokabis ORDER BY Engleski --" + comment,
          "/*" + comment + "*/ SELECT * FROM Vokabis ORDER BY Engleski", "SELECT * FROM Vokabis ORDER BY Engleski" + std::string(50000, ' ')}) {
        TempDb t({{"b", "2"}, {"a", "1"}, {"c", "3"}});
        t.Open().Exec("DROP VIEW OrderByEngleski; CREATE VIEW OrderByEngleski AS " + body + ";");
        const pid_t child = ::fork();
        if (child == 0) {
            int code = 3;
            try {
                auto d = t.Open();
                auto rs = d.OpenRecordset("OrderByEngleski");
                code = Column(*rs, "Engleski") == std::vector<std::string>{"a", "b", "c"} ? 0 : 1;
            } catch (const std::exception&) {
                code = 2;
            }
            ::_exit(code);
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status)) << body.substr(0, 60) << " signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << body.substr(0, 60);
    }
}

// Deletions and additions in any mix: every position shows the row a plain list would, and the
// count follows. Rows added after a deletion must not upset the deleted rows' bookkeeping.
TEST(Recordset, PositionsHoldThroughAnyMixOfDeletesAndAdds) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        TempDb t(Numbered(37));
        auto d = t.Open();
        auto rs = d.OpenRecordset("OrderByEngleski");
        std::vector<std::string> model;
        for (const auto& r : Numbered(37)) model.push_back(r.first);
        std::mt19937 rng(seed);
        int added = 0;
        for (int step = 0; step < 60; ++step) {
            if (!model.empty() && rng() % 3 != 0) {
                const long at = long(rng() % model.size());
                rs->SetBookmark(rs->BookmarkAt(at));
                rs->Delete();
                model.erase(model.begin() + at);
            } else {
                const std::string name = "z" + std::to_string(100 + added++);
                rs->AddNew();
                rs->SetField("Engleski", name);
                rs->SetField("Hrvatski", std::string("y"));
                rs->Update();
                model.push_back(name);
            }
            ASSERT_EQ(rs->RowCount(), long(model.size())) << seed << " step " << step;
            for (long i = 0; i < long(model.size()); ++i)
                ASSERT_EQ(db::CStr(rs->FieldAt(i, "Engleski")), model[size_t(i)]) << seed << " step " << step << " at " << i;
        }
    }
}

// Deleting many rows at once: all of them or none. A long deletion remakes the indexes and the
// stored counts from the rows that stay; they must come back whole either way.
TEST(Recordset, DeletingManyRowsAtOnceIsAllOrNothingAndKeepsIndexesAndCounts) {
    for (const int n : {40, 1600}) {
        TempDb t(Numbered(2000, true));
        auto d = t.Open();
        auto indexes = [&] { return d.Count("Select * From sqlite_master Where type = 'index'"); };
        const long long before = indexes();
        auto rs = d.OpenRecordset("OrderByEngleski");
        std::vector<db::Bookmark> marks;
        for (long i = n; i > 0; --i) marks.push_back(rs->BookmarkAt(i * 1999 / n)); // the last row first
        // A pair that cannot go, late in the order: nothing goes.
        d.Exec("CREATE TRIGGER Stoj BEFORE DELETE ON Vokabis WHEN old.Engleski = 'w0000' BEGIN SELECT RAISE(ABORT, 'stoj'); END");
        marks.push_back(rs->BookmarkAt(0));
        EXPECT_THROW(rs->DeleteRows(marks), EngineError) << n;
        EXPECT_EQ(t.Count(), 2000) << n;
        EXPECT_EQ(rs->RowCount(), 2000) << n;
        EXPECT_EQ(indexes(), before) << n;
        d.Exec("DROP TRIGGER Stoj");
        rs->DeleteRows(marks);
        EXPECT_EQ(t.Count(), 2000 - n - 1) << n;
        EXPECT_EQ(rs->RowCount(), 2000 - n - 1) << n;
        EXPECT_EQ(indexes(), before) << n;
        EXPECT_TRUE(db::CountsMatch(d.handle())) << n;
        EXPECT_TRUE(db::IndexesMatchPairs(d.handle())) << n;
        EXPECT_EQ(db::CStr(rs->FieldAt(0, "Engleski")), n == 40 ? "w0001" : "w0005") << n;
        EXPECT_EQ(d.OpenRecordset("Select * from Vokabis where Engleski LIKE 'w0*' Order By Engleski")->RowCount(),
                  n == 40 ? 1000 - 20 - 1 : 1000 - 800 - 1)
            << n;
        EXPECT_THROW(rs->DeleteRows({rs->BookmarkAt(0), rs->BookmarkAt(0)}), EngineError) << "a row named twice";
        EXPECT_EQ(t.Count(), 2000 - n - 1) << n;
    }
}
