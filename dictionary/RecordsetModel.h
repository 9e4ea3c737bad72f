#pragma once
#include <QAbstractTableModel>

namespace db {
class DataSource;
}

namespace dictionary {

// What a cell shows when its row cannot be read from the file.
inline constexpr const char* kUnreadable = "‹zapis se ne može pročitati›";

// The grid's view of the data source's record set. It reads rows by position as the view
// asks for them, so only the visible rows are ever fetched.
class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordsetModel(db::DataSource& source, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The record set was replaced or rows came and went: everything is read afresh.
    void Reload();
    // Rows added at the end of the record set appear; every shown value is read again.
    void Sync();
    // Rows deleted from the record set, by their positions before the deletion.
    void RemoveRows(QList<int> positions);
    // The row the record selector marks as current.
    void SetCurrentRow(int row);
    // The record set turned out shorter than it said (its stored count was too high): the
    // rows it lacks go. Done after any read that finds it, outside the painting.
    void FollowRowCount();

signals:
    // Rows went because the record set turned out shorter than it said.
    void RowCountDropped();

private:
    db::DataSource& source_;
    int rows_ = 0;
    int current_ = -1;
    long missingSeen_ = 0;           // the record set's missing rows the view has dropped
    mutable bool following_ = false; // a FollowRowCount is queued
};

} // namespace dictionary
