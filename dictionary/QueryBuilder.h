#pragma once
// The SQL texts the main window runs for its sort buttons and its search boxes. Their exact
// spelling (case, the missing spaces before "Order" and "And") is what the dictionary has
// always sent, and is kept byte for byte.
#include <QString>

namespace dictionary {

// Doubles every single quote; LIKE's own characters (* ? # [ ]) keep their meaning.
QString EscapeQuotes(const QString& text);

// The sort command's text. The part after "Select * From Vokabis " goes to *tail.
QString BuildSortSql(const QString& english, const QString& croatian, bool sortEng, bool ascending,
                     QString* tail = nullptr);

// The text run while the user types: typedField is "Engleski" or "Hrvatski", otherField the other.
QString BuildFilterSql(const QString& typed, const QString& typedField, const QString& other,
                       const QString& otherField);

} // namespace dictionary
