#include "printing/Layout.h"

#include "app/Module1.h"
#include "db/Errors.h"
#include "db/Recordset.h"

namespace printing {
namespace {

const Module1::SettingsRecord& S() { return Module1::Settings; }

QString Term(const db::Recordset& rs, const char* field) {
    const db::Value v = rs.Field(field);
    return db::IsNull(v) ? QString() : QString::fromStdString(db::CStr(v));
}

} // namespace

void CheckPrintSettings() {
    if (S().BrojRedova < 1)
        throw db::EngineError(5, "Broj redova po stranici mora biti barem 1 (sada je " + std::to_string(S().BrojRedova) +
                                     "). Promijenite ga u opcijama ispisa.");
    if (S().VelicinaFonta < 1 || S().VelicinaFonta > kMaxFontSize)
        throw db::EngineError(5, "Veličina fonta mora biti između 1 i " + std::to_string(kMaxFontSize) + " (sada je " +
                                     std::to_string(S().VelicinaFonta) + "). Promijenite je u opcijama ispisa.");
}

void PrintCentred(DrawingTarget& t, double x1, double x2, double y, const QString& text) {
    t.FontName = S().MojFontIme;
    t.CurrentX = ((S().XDesno + x1) + (S().XDesno + x2)) * 0.5 * kTwipsPerCm - t.TextWidth(text) * 0.5 - S().LeftM * kTwipsPerCm;
    t.CurrentY = (S().YDolje + y) * kTwipsPerCm - t.TextHeight(text) - S().TopM * kTwipsPerCm;
    t.Print(text);
}

void PrintAt(DrawingTarget& t, double x, double y, const QString& text) {
    t.FontName = S().MojFontIme;
    t.CurrentX = (S().XDesno + x) * kTwipsPerCm - S().LeftM * kTwipsPerCm;
    t.CurrentY = (S().YDolje + y) * kTwipsPerCm - t.TextHeight(text) - S().TopM * kTwipsPerCm;
    t.Print(text);
}

void PageLayout::CountPages(const db::Recordset& list, int16_t rows, int32_t columns) {
    CheckPrintSettings();
    auto clone = list.Clone();
    if (!clone->Eof()) clone->MoveLast();
    PairTotal = int32_t(clone->RecordCount());
    clone->Close();
    RowsPerPage = rows;
    ColumnsPerPage = std::max(columns, int32_t(1));
    const int32_t perPage = RowsPerPage * ColumnsPerPage;
    PageCount = PairTotal / perPage + (PairTotal % perPage ? 1 : 0);
}

void PageLayout::DrawPage(DrawingTarget& t, const db::Recordset& list, int32_t page) const {
    CheckPrintSettings();
    t.FontName = S().MojFontIme;
    t.FontItalic = S().MojFontItalic != db::kFalse;
    t.FontBold = S().MojFontBold != db::kFalse;
    t.FontSize = 14;
    PrintCentred(t, 0, 21, 2, kHeader);
    t.FontSize = S().VelicinaFonta;
    auto cursor = list.Clone();
    const long skip = long(page - 1) * RowsPerPage * ColumnsPerPage;
    if (skip > 0 && !cursor->Eof()) cursor->Move(skip);
    if (skip < 0 || cursor->Eof()) { // a page past the last: the header alone
        cursor->Close();
        return;
    }
    double y = 2.5;
    for (int32_t i = 1; i <= RowsPerPage; ++i) {
        y += 0.5;
        PrintAt(t, 2, y, Term(*cursor, "Engleski"));
        PrintAt(t, 11, y, Term(*cursor, "Hrvatski"));
        cursor->MoveNext();
        if (cursor->Eof()) break;
    }
    cursor->Close();
}

} // namespace printing
