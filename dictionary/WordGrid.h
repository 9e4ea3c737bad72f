#pragma once
#include <QTableView>

namespace dictionary {

// The word list (DBGrid1). Clicking or moving in the cells only moves the current row, which is
// highlighted whole; rows are selected through the record selectors at the left, singly or
// several, or with the usual list keys and clicks: Space (or Ctrl+Space) toggles the current
// row, Shift with a move key or a click extends the selection from where it began, Ctrl+click
// toggles a row, Ctrl with a move key moves only. The arrow keys wrap from the end of a row to
// the next one; Tab leaves the grid.
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
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    bool viewportEvent(QEvent* event) override;

private:
    void FitColumns();
    // Makes `to` current and selects the rows from the anchor to it, in place of the range
    // the last extension chose.
    void ExtendTo(const QModelIndex& to);
    bool focusingIn_ = false;
    bool extending_ = false;
    QPersistentModelIndex anchor_; // where a Shift extension starts: the last row moved to otherwise
};

} // namespace dictionary
