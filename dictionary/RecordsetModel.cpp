#include "dictionary/RecordsetModel.h"

#include "db/DataSource.h"

#include <QColor>

namespace dictionary {
namespace {
const char* const kFields[] = {"Engleski", "Hrvatski"};
}

RecordsetModel::RecordsetModel(db::DataSource& source, QObject* parent) : QAbstractTableModel(parent), source_(source) {
    Reload();
}

void RecordsetModel::Reload() {
    beginResetModel();
    rows_ = source_.HasRecordset() ? int(source_.recordset().RowCount()) : 0;
    current_ = -1;
    endResetModel();
}

void RecordsetModel::Sync() {
    const int now = source_.HasRecordset() ? int(source_.recordset().RowCount()) : 0;
    if (now > rows_) {
        beginInsertRows({}, rows_, now - 1);
        rows_ = now;
        endInsertRows();
    } else if (now < rows_) {
        Reload();
        return;
    }
    if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, 1));
}

void RecordsetModel::RemoveRows(QList<int> positions) {
    std::sort(positions.begin(), positions.end(), std::greater<int>());
    for (int row : positions) { // from the bottom up, so the positions still hold
        if (row < 0 || row >= rows_) continue;
        beginRemoveRows({}, row, row);
        --rows_;
        if (current_ == row) current_ = -1;
        else if (current_ > row) --current_;
        endRemoveRows();
    }
}

void RecordsetModel::SetCurrentRow(int row) {
    if (row == current_) return;
    const int old = current_;
    current_ = row;
    if (old >= 0 && old < rows_) emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < rows_) emit headerDataChanged(Qt::Vertical, row, row);
}

int RecordsetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int RecordsetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if ((role != Qt::DisplayRole && role != Qt::ForegroundRole) || !index.isValid() || index.row() >= rows_ ||
        !source_.HasRecordset())
        return {};
    try {
        const db::Value v = source_.recordset().FieldAt(index.row(), kFields[index.column()]);
        if (role == Qt::ForegroundRole) return {};
        if (const auto* s = std::get_if<std::string>(&v)) return QString::fromStdString(*s);
        if (db::IsNull(v)) return QString();
        return QString::fromStdString(db::CStr(v));
    } catch (const std::exception&) {
        // A row the engine cannot read (a damaged file) never looks like an empty pair; the
        // engine has told the user what is wrong.
        if (role == Qt::ForegroundRole) return QColor(Qt::red);
        return QString::fromUtf8(kUnreadable);
    }
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return section >= 0 && section < 2 ? QString(kFields[section]) : QVariant();
    return section == current_ ? QStringLiteral("▶") : QString(); // the record selector
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace dictionary
