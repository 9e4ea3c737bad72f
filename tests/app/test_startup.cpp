#include "common/ProgramFolder.h"

#include <gtest/gtest.h>

using namespace Module1;

namespace {
int StartupError(const ProgramFolder& f, std::string* message = nullptr) {
    try {
        OpenDictionaryAndReadSettings(f.path());
    } catch (const db::EngineError& e) {
        if (message) *message = e.what();
        return e.code;
    }
    return 0;
}
} // namespace

TEST(Startup, OpensTheDictionaryResetsTheFlagsAndReadsTheSettings) {
    ProgramFolder f;
    f.Exec("UPDATE Postavke SET LeftM = 1.5, TopM = '0,8', XDesno = -0.25, YDolje = 2, MojFontIme = 'DejaVu Serif', "
           "VelicinaFonta = 12.5, MojFontItalic = -1, MojFontBold = 1, BrojRedova = 45, SortEng = 7 WHERE Id = 1");
    IsNewEntry = PrintAccepted = PrintAll = PrintCurrent = db::kTrue;
    PrintFrom = 3;
    PrintTo = 9;
    ASSERT_EQ(StartupError(f), 0);
    EXPECT_EQ(IsNewEntry, db::kFalse);
    EXPECT_EQ(PrintAccepted, db::kFalse);
    EXPECT_EQ(PrintAll, db::kFalse);
    EXPECT_EQ(PrintCurrent, db::kFalse);
    EXPECT_EQ(PrintFrom, 0);
    EXPECT_EQ(PrintTo, 0);
    EXPECT_EQ(Settings.LeftM, 1.5);
    EXPECT_EQ(Settings.TopM, 0.8);
    EXPECT_EQ(Settings.XDesno, -0.25);
    EXPECT_EQ(Settings.MojFontIme, "DejaVu Serif");
    EXPECT_EQ(Settings.VelicinaFonta, 12); // a half goes to the even neighbour
    EXPECT_EQ(Settings.MojFontItalic, db::kTrue);
    EXPECT_EQ(Settings.MojFontBold, db::kTrue); // stored 1, held as -1
    EXPECT_EQ(Settings.BrojRedova, 45);
    EXPECT_EQ(Settings.SortEng, db::kTrue);
    EXPECT_EQ(SettingsRs, nullptr);
    ASSERT_TRUE(DictDb && DictDb->IsOpen());
    EXPECT_EQ(DictDb->Count("Select * From OrderByEngleski"), 0);
    EXPECT_EQ(db::DBEngine().KeyFor(DatabasePath(f.path()).toStdString()), "KamenPlavetni");
}

TEST(Startup, SortEngNullReadsAsFalse) {
    ProgramFolder f;
    f.Exec("UPDATE Postavke SET SortEng = NULL");
    ASSERT_EQ(StartupError(f), 0);
    EXPECT_EQ(Settings.SortEng, db::kFalse);
}

TEST(Startup, ABadSettingsRowStopsStartupAndSaysWhichField) {
    struct Case {
        const char* sql;
        int code;
        const char* field;
    };
    for (const Case& c : {Case{"UPDATE Postavke SET MojFontIme = NULL", 94, "MojFontIme"},
                          Case{"UPDATE Postavke SET LeftM = 'lijevo'", 13, "LeftM"},
                          Case{"UPDATE Postavke SET BrojRedova = 40000", 6, "BrojRedova"},
                          Case{"UPDATE Postavke SET Id = 2", db::kNoCurrentRecord, ""},
                          Case{"DROP TABLE Postavke", db::kNoSuchTable, ""}}) {
        ProgramFolder f;
        f.Exec(c.sql);
        std::string message;
        EXPECT_EQ(StartupError(f, &message), c.code) << c.sql;
        EXPECT_NE(message.find(c.field), std::string::npos) << message;
        EXPECT_EQ(SettingsRs, nullptr) << c.sql; // nothing is left open
    }
}
