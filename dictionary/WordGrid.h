#pragma once
#include <QTableView>

namespace dictionary {

// The word list (DBGrid1). Clicking or moving in the cells only moves the current row, which is
// highlighted whole; rows are selected through the record selectors at the left, singly or
// several. The arrow keys wrap from the end of a row to the next one; Tab leaves the grid.
// Only the user's moves and the program's commands choose the current row: the grid never picks
// one by itself (on getting the focus, when rows go, on a typed letter).
class WordGrid : public QTableView {
    Q_OBJECT
public:
    explicit WordGrid(QWidget* parent = nullptr);
    void setModel(QAbstractItemModel* model) override;
    // The rows picked with the record selectors, in the order the user picked them.
    QList<int> SelectedRows() const;
    // Letters typed in the grid do not look for a row: rows are found through the search boxes.
    void keyboardSearch(const QString&) override {}

signals:
    void rowColChanged(const QModelIndex& current, const QModelIndex& previous);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    bool viewportEvent(QEvent* event) override;

private:
    void FitColumns();
    bool focusingIn_ = false;
};

} // namespace dictionary
