#include "dictionary/QueryBuilder.h"

namespace dictionary {

QString EscapeQuotes(const QString& text) {
    QString out = text;
    return out.replace(QLatin1Char('\''), QLatin1String("''"));
}

QString BuildSortSql(const QString& english, const QString& croatian, bool sortEng, bool ascending,
                     QString* tail) {
    const QString e = EscapeQuotes(english);
    const QString h = EscapeQuotes(croatian);
    const QString order = QString("Order By ") + (sortEng ? "Engleski" : "Hrvatski") + (ascending ? " Asc" : " Desc");
    QString t;
    if (english.isEmpty() && croatian.isEmpty()) t = order;
    else if (croatian.isEmpty()) t = "where Engleski LIKE '" + e + "*'" + order;
    else if (english.isEmpty()) t = "where Hrvatski LIKE '" + h + "*'" + order;
    else t = "where Hrvatski LIKE '" + h + "*'And Engleski LIKE '" + e + "*'" + order;
    if (tail) *tail = t;
    return "Select * From Vokabis " + t;
}

namespace {
// Only spaces count as blank here, as in the box's own trimming rule; a tab is text.
bool IsBlank(const QString& s) {
    for (QChar c : s)
        if (c != QLatin1Char(' ')) return false;
    return true;
}
} // namespace

QString BuildFilterSql(const QString& typed, const QString& typedField, const QString& other,
                       const QString& otherField) {
    QString sql = "Select * from Vokabis where " + typedField + " LIKE '" + EscapeQuotes(typed) + "*'";
    if (!IsBlank(other)) sql += " and " + otherField + " LIKE '" + EscapeQuotes(other) + "*'";
    return sql;
}

} // namespace dictionary
