#include "printing/Layout.h"

#include "core/Module1.h"
#include "printing/PrintError.h"
#include "db/Recordset.h"

#include <QStringList>

#include <algorithm>

namespace printing {
namespace {

QString Term(const db::Recordset& rs, const char* field) {
    const db::Value v = rs.Field(field);
    return db::IsNull(v) ? QString() : QString::fromStdString(db::CStr(v));
}

} // namespace

void CheckPrintSettings(const Module1::SettingsRecord& s) {
    if (s.BrojRedova < 1)
        throw PrintError(kBadPrintSettings, "Broj redova po stranici mora biti barem 1 (sada je " + std::to_string(s.BrojRedova) +
                                     "). Promijenite ga u opcijama ispisa.");
    if (s.VelicinaFonta < 1 || s.VelicinaFonta > kMaxFontSize)
        throw PrintError(kBadPrintSettings, "Veličina fonta mora biti između 1 i " + std::to_string(kMaxFontSize) + " (sada je " +
                                     std::to_string(s.VelicinaFonta) + "). Promijenite je u opcijama ispisa.");
}

void PrintCentred(DrawingTarget& t, const Module1::SettingsRecord& s, double x1, double x2, double y, const QString& text) {
    t.FontName = s.MojFontIme;
    t.CurrentX = ((s.XDesno + x1) + (s.XDesno + x2)) * 0.5 * kTwipsPerCm - t.TextWidth(text) * 0.5 - s.LeftM * kTwipsPerCm;
    t.CurrentY = (s.YDolje + y) * kTwipsPerCm - t.TextHeight(text) - s.TopM * kTwipsPerCm;
    t.Print(text);
}

void PrintAt(DrawingTarget& t, const Module1::SettingsRecord& s, double x, double y, const QString& text) {
    t.FontName = s.MojFontIme;
    t.CurrentX = (s.XDesno + x) * kTwipsPerCm - s.LeftM * kTwipsPerCm;
    t.CurrentY = (s.YDolje + y) * kTwipsPerCm - t.TextHeight(text) - s.TopM * kTwipsPerCm;
    t.Print(text);
}

void PageLayout::CountPages(const db::Recordset& list, const Module1::SettingsRecord& s, int32_t columns) {
    CheckPrintSettings(s);
    auto clone = list.Clone();
    if (!clone->Eof()) clone->MoveLast();
    PairTotal = int32_t(clone->RecordCount());
    clone->Close();
    RowsPerPage = s.BrojRedova;
    ColumnsPerPage = std::max(columns, int32_t(1));
    const int32_t perPage = RowsPerPage * ColumnsPerPage;
    PageCount = PairTotal / perPage + (PairTotal % perPage ? 1 : 0);
}

QString Elided(DrawingTarget& t, const QString& text, double room) {
    if (t.TextWidth(text) <= room) return text;
    const QString dots = QString::fromUtf8("…");
    auto cut = [&](int n) {
        if (n > 0 && text.at(n - 1).isHighSurrogate()) --n; // never half a letter
        QString s = text.left(n);
        while (s.endsWith(' ')) s.chop(1);
        return s + dots;
    };
    int fits = -1; // the longest cut that fits; widths grow with the length
    for (int lo = 0, hi = int(text.size()) - 1; lo <= hi;) {
        const int mid = (lo + hi) / 2;
        if (t.TextWidth(cut(mid)) <= room) fits = mid, lo = mid + 1;
        else hi = mid - 1;
    }
    return fits < 0 ? QString() : cut(fits);
}

void PageLayout::DrawPage(DrawingTarget& t, const Module1::SettingsRecord& s, const db::Recordset& list,
                          int32_t page) const {
    CheckPrintSettings(s);
    t.FontName = s.MojFontIme;
    t.FontItalic = s.MojFontItalic != db::kFalse;
    t.FontBold = s.MojFontBold != db::kFalse;
    t.FontSize = 14;
    PrintCentred(t, s, 0, 21, 2, kHeader);
    t.FontSize = s.VelicinaFonta;
    auto cursor = list.Clone();
    const long skip = long(page - 1) * RowsPerPage * ColumnsPerPage;
    if (skip > 0 && !cursor->Eof()) cursor->Move(skip);
    if (skip < 0 || cursor->Eof()) { // a page past the last: the header alone
        cursor->Close();
        return;
    }
    // Where each column ends on the target: the right column at the edge of the printable area.
    const double edge = t.PrintableSize().width();
    const double left = (s.XDesno + 2) * kTwipsPerCm - s.LeftM * kTwipsPerCm;
    const double right = (s.XDesno + 11) * kTwipsPerCm - s.LeftM * kTwipsPerCm;
    const double leftRoom = std::min(right - kColumnGapCm * kTwipsPerCm, edge) - left;
    double y = 2.5;
    for (int32_t i = 1; i <= RowsPerPage; ++i) {
        y += 0.5;
        PrintAt(t, s, 2, y, Elided(t, Term(*cursor, "Engleski"), leftRoom));
        PrintAt(t, s, 11, y, Elided(t, Term(*cursor, "Hrvatski"), edge - right));
        cursor->MoveNext();
        if (cursor->Eof()) break;
    }
    cursor->Close();
}

PageFit PageLayout::CheckFit(DrawingTarget& t, const Module1::SettingsRecord& s, QSizeF printable) const {
    PageFit fit;
    fit.fontSize = s.VelicinaFonta;
    fit.rows = std::min(RowsPerPage * ColumnsPerPage, PairTotal);
    t.FontName = s.MojFontIme;
    t.FontItalic = s.MojFontItalic != db::kFalse;
    t.FontBold = s.MojFontBold != db::kFalse;
    t.FontSize = s.VelicinaFonta;
    const double h = t.TextHeight(QString::fromUtf8("ŽgÅ"));
    const double slack = 0.5; // twips: rounding, not ink
    for (int32_t i = 1; i <= fit.rows; ++i) {
        const double bottom = (s.YDolje + 2.5 + 0.5 * i) * kTwipsPerCm - s.TopM * kTwipsPerCm;
        if (bottom - h >= -slack && bottom <= printable.height() + slack) continue;
        if (!fit.firstLost) fit.firstLost = i;
        fit.lastLost = i;
        ++fit.lost;
    }
    fit.overlap = fit.rows > 1 && h > 0.5 * kTwipsPerCm + slack;
    const double left = (s.XDesno + 2) * kTwipsPerCm - s.LeftM * kTwipsPerCm;
    const double right = (s.XDesno + 11) * kTwipsPerCm - s.LeftM * kTwipsPerCm;
    fit.offSide = fit.rows > 0 && !(left >= -slack && right + kTwipsPerCm <= printable.width());
    return fit;
}

namespace {
// "red" after a number: 1, 2–4 and their tens (21, 34…) take "reda", the rest (5–20 too) "redova".
QString Rows(int32_t n) {
    const int32_t ones = n % 10, tens = n % 100;
    return ones >= 1 && ones <= 4 && !(tens >= 11 && tens <= 14) ? "reda" : "redova";
}
} // namespace

QString PageFit::Summary() const {
    if (Lost()) return QString("Na list stane %1 od %2 %3!").arg(rows - Lost()).arg(rows).arg(Rows(rows));
    if (offSide) return "Stupci izlaze izvan lista!";
    return overlap ? QString("Redovi se preklapaju!") : QString();
}

QString PageFit::Warning() const {
    QStringList out;
    if (Lost()) {
        const QString which = lost == 1                      ? QString("redak %1").arg(firstLost)
                              : lost == lastLost - firstLost + 1 ? QString("redovi %1–%2").arg(firstLost).arg(lastLost)
                                                                 : QString("ostali redovi");
        out << QString("Na list papira stane samo %1 od %2 %3 po stranici: %4 svake stranice %5. "
                       "Smanjite broj redova po stranici ili pomak u opcijama ispisa.")
                   .arg(rows - Lost())
                   .arg(rows)
                   .arg(Rows(rows))
                   .arg(which)
                   .arg(lost == 1 ? "pada izvan lista i ne bi se ispisao"
                                              : "padaju izvan lista i ne bi se ispisali");
    }
    if (overlap)
        out << QString("Font od %1 pt viši je od razmaka redova (5 mm), pa bi se susjedni redovi preklapali. "
                       "Smanjite veličinu fonta u opcijama ispisa.")
                   .arg(fontSize);
    if (offSide)
        out << QString("Uz ovaj vodoravni pomak i lijevu marginu stupac izlazi izvan lista papira, pa se pojmovi "
                       "ne bi ispisali cijeli. Promijenite vodoravni pomak u opcijama ispisa.");
    return out.join("\n\n");
}

} // namespace printing
