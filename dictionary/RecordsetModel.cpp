#include "dictionary/RecordsetModel.h"

#include "db/DataSource.h"
#include "db/Recordset.h"

#include "ui/Colours.h"

#include <QColor>
#include <QGuiApplication>

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
    missingSeen_ = source_.HasRecordset() ? source_.recordset().MissingRows() : 0;
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
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    // From the bottom up, so the positions still hold; each run of neighbours goes at once,
    // so a whole list goes in one step.
    for (qsizetype i = 0; i < positions.size();) {
        const int last = positions[i];
        int first = last;
        while (++i < positions.size() && positions[i] == first - 1) --first;
        if (first < 0 || last >= rows_) continue;
        beginRemoveRows({}, first, last);
        rows_ -= last - first + 1;
        if (current_ > last) current_ -= last - first + 1;
        else if (current_ >= first) current_ = -1;
        endRemoveRows();
    }
}

void RecordsetModel::FollowRowCount() {
    following_ = false;
    if (!source_.HasRecordset()) return;
    const db::Recordset& rs = source_.recordset();
    const long drop = rs.MissingRows() - missingSeen_;
    missingSeen_ = rs.MissingRows();
    const int first = int(rs.MissingFrom()), last = std::min(rows_, first + int(drop)) - 1;
    if (drop <= 0 || first > last) return;
    beginRemoveRows({}, first, last);
    rows_ -= last - first + 1;
    if (current_ > last) current_ -= last - first + 1;
    else if (current_ >= first) current_ = -1;
    endRemoveRows();
    emit RowCountDropped();
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
    // Reading may find the record set shorter than its count said; the view is told once the
    // painting that asked is over.
    struct Follow {
        const RecordsetModel* model;
        ~Follow() {
            if (model->following_ || !model->source_.HasRecordset() ||
                model->source_.recordset().MissingRows() == model->missingSeen_)
                return;
            model->following_ = true;
            QMetaObject::invokeMethod(const_cast<RecordsetModel*>(model), &RecordsetModel::FollowRowCount,
                                      Qt::QueuedConnection);
        }
    } follow{this};
    try {
        if (index.row() >= source_.recordset().RowCount()) return {}; // past the real end, until the rows follow
        const db::Value v = source_.recordset().FieldAt(index.row(), kFields[index.column()]);
        if (role == Qt::ForegroundRole) return {};
        if (const auto* s = std::get_if<std::string>(&v)) return QString::fromStdString(*s);
        if (db::IsNull(v)) return QString();
        return QString::fromStdString(db::CStr(v));
    } catch (const std::exception&) {
        // A row the engine cannot read (a damaged file) never looks like an empty pair; the
        // engine has told the user what is wrong.
        if (role == Qt::ForegroundRole)
            return ui::OnBackground(Qt::red, QGuiApplication::palette().color(QPalette::Base), ui::kTextContrast);
        return QString::fromUtf8(kUnreadable);
    }
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::AccessibleTextRole && orientation == Qt::Vertical) // what a reader says for a record selector
        return QString("Redak %1%2").arg(section + 1).arg(section == current_ ? ", tekući" : "");
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return section >= 0 && section < 2 ? QString(kFields[section]) : QVariant();
    return section == current_ ? QStringLiteral("▶") : QString(); // the record selector
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace dictionary
