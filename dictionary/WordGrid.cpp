#include "dictionary/WordGrid.h"

#include <algorithm>
#include <vector>

#include <QHelpEvent>
#include <QKeyEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace dictionary {
namespace {

// Paints the current row highlighted whole, whether or not it is one of the selected rows.
class CurrentRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        auto* view = qobject_cast<const QAbstractItemView*>(option->widget);
        if (view && view->currentIndex().row() == index.row() && !(option->state & QStyle::State_Selected)) {
            // A lighter shade than the selected rows, so the user tells the two apart.
            QPalette& pal = option->palette;
            const QColor h = pal.color(QPalette::Active, QPalette::Highlight), b = pal.color(QPalette::Active, QPalette::Base);
            const QColor shade((h.red() * 2 + b.red() * 3) / 5, (h.green() * 2 + b.green() * 3) / 5,
                               (h.blue() * 2 + b.blue() * 3) / 5);
            for (auto group : {QPalette::Active, QPalette::Inactive}) {
                pal.setColor(group, QPalette::Highlight, shade);
                pal.setColor(group, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::Text));
            }
            option->state |= QStyle::State_Selected;
        }
        option->state &= ~QStyle::State_HasFocus; // the frame of our own below, not the style's
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        if (!view || !view->hasFocus() || view->currentIndex() != index) return;
        // While the grid has the focus, the cell the keys act on is framed, in the text's own
        // colour, so it shows on the highlighted row in any palette.
        painter->save();
        painter->setPen(QPen(option.palette.color(QPalette::Text), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option.rect).adjusted(1, 1, -1, -1));
        painter->restore();
    }
};

// Rows are never resized, so the whole height of a record selector selects its row; by
// default a click near a selector's edge is taken as grabbing a resize handle and does nothing.
class NoGripStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        return metric == PM_HeaderGripMargin ? 0 : QProxyStyle::pixelMetric(metric, option, widget);
    }
};

} // namespace

WordGrid::WordGrid(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new CurrentRowDelegate(this));
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(NoEditTriggers);
    setShowGrid(false);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollMode(ScrollPerItem);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    auto* noGrip = new NoGripStyle;
    noGrip->setParent(this);
    verticalHeader()->setStyle(noGrip);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setMinimumWidth(16);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setFixedHeight(2 * fontMetrics().height() + 6); // two text lines
}

void WordGrid::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    FitColumns();
}

void WordGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    FitColumns();
}

void WordGrid::FitColumns() {
    if (!model() || model()->columnCount() < 2) return;
    const int w = viewport()->width();
    setColumnWidth(0, w / 2);
    setColumnWidth(1, w - w / 2);
}

QList<int> WordGrid::SelectedRows() const {
    QList<int> rows;
    if (!selectionModel() || !model()) return rows;
    std::vector<char> taken(size_t(std::max(model()->rowCount(), 0)), 0); // a whole list selected is read once
    for (const QItemSelectionRange& r : selectionModel()->selection())
        for (int row = std::max(r.top(), 0); row <= r.bottom() && size_t(row) < taken.size(); ++row)
            if (!taken[size_t(row)]) {
                taken[size_t(row)] = 1;
                rows.append(row);
            }
    return rows;
}

QItemSelectionModel::SelectionFlags WordGrid::selectionCommand(const QModelIndex& index, const QEvent* event) const {
    // Clicks and keys in the cells carry an event: they only move, and the keys and clicks that
    // choose rows do so in keyPressEvent and mousePressEvent, from an anchor of their own that
    // follows every move (Qt's would stay where the program's last move left it, and it
    // extends only across the rows in view). The record selectors select without an event.
    if (event && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
                  event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::MouseMove ||
                  event->type() == QEvent::KeyPress))
        return QItemSelectionModel::NoUpdate;
    return QTableView::selectionCommand(index, event);
}

void WordGrid::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Space && (mods == Qt::NoModifier || mods == Qt::ControlModifier)) {
        if (currentIndex().isValid())
            selectionModel()->select(currentIndex(), QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
        event->accept();
        return;
    }
    // A move key with Shift extends the selection; Home and End go to the ends of the list.
    const std::pair<int, CursorAction> moves[] = {{Qt::Key_Up, MoveUp},         {Qt::Key_Down, MoveDown},
                                                  {Qt::Key_Left, MoveLeft},     {Qt::Key_Right, MoveRight},
                                                  {Qt::Key_PageUp, MovePageUp}, {Qt::Key_PageDown, MovePageDown},
                                                  {Qt::Key_Home, MoveHome},     {Qt::Key_End, MoveEnd}};
    for (auto [key, action] : moves) {
        if (mods != Qt::ShiftModifier || event->key() != key) continue;
        const bool end = action == MoveHome || action == MoveEnd;
        ExtendTo(moveCursor(action, end ? Qt::ControlModifier : Qt::NoModifier));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void WordGrid::mousePressEvent(QMouseEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    const QModelIndex at = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !at.isValid() || (mods != Qt::ShiftModifier && mods != Qt::ControlModifier))
        return QTableView::mousePressEvent(event);
    if (mods == Qt::ShiftModifier) {
        ExtendTo(at);
    } else {
        selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
        selectionModel()->select(at, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
    }
    event->accept();
}

void WordGrid::ExtendTo(const QModelIndex& to) {
    if (!to.isValid() || !model()) return;
    if (!anchor_.isValid()) anchor_ = currentIndex().isValid() ? currentIndex() : to;
    extending_ = true;
    selectionModel()->setCurrentIndex(to, QItemSelectionModel::NoUpdate);
    extending_ = false;
    scrollTo(to);
    const int top = std::min(anchor_.row(), to.row()), bottom = std::max(anchor_.row(), to.row());
    selectionModel()->select(QItemSelection(model()->index(top, 0), model()->index(bottom, model()->columnCount() - 1)),
                             QItemSelectionModel::SelectCurrent | QItemSelectionModel::Rows);
}

void WordGrid::focusInEvent(QFocusEvent* event) {
    // Getting the focus without a current row (back from a message box, say) would make the
    // first row current; the user did not choose it.
    focusingIn_ = true;
    QTableView::focusInEvent(event);
    focusingIn_ = false;
}

void WordGrid::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    // The current row going away leaves no current row, rather than its neighbour.
    const QModelIndex cur = currentIndex();
    if (cur.isValid() && cur.row() >= start && cur.row() <= end)
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    QTableView::rowsAboutToBeRemoved(parent, start, end);
}

bool WordGrid::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QTableView::viewportEvent(event);
    // A cell whose text is cut off shows it whole.
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    QString text = index.data().toString();
    const QRect cell = visualRect(index);
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    if (index.isValid() && viewport()->fontMetrics().horizontalAdvance(text) + margin > cell.width()) {
        if (text.size() > 1000) text = text.left(1000) + QChar(0x2026); // a screenful is the most anyone reads
        QToolTip::showText(help->globalPos(), text, viewport(), cell);
    } else {
        QToolTip::hideText();
    }
    return true;
}

QModelIndex WordGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (focusingIn_) return {};
    const QModelIndex cur = currentIndex();
    if (model() && cur.isValid()) {
        const int last = model()->columnCount() - 1;
        if (action == MoveRight && cur.column() == last && cur.row() + 1 < model()->rowCount())
            return model()->index(cur.row() + 1, 0);
        if (action == MoveLeft && cur.column() == 0 && cur.row() > 0) return model()->index(cur.row() - 1, last);
    }
    return QTableView::moveCursor(action, modifiers);
}

void WordGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // QTableView tells assistive technology that the new cell has the focus even while a search
    // box keeps it, and a reader would speak the cell instead of the letter typed.
    if (hasFocus()) QTableView::currentChanged(current, previous);
    else QAbstractItemView::currentChanged(current, previous);
    if (!extending_) anchor_ = current;
    // The whole old and new rows repaint, not just the two cells.
    const int w = viewport()->width();
    if (previous.isValid()) viewport()->update(QRect(0, rowViewportPosition(previous.row()), w, rowHeight(previous.row())));
    if (current.isValid()) viewport()->update(QRect(0, rowViewportPosition(current.row()), w, rowHeight(current.row())));
    if (current.isValid() || previous.isValid()) emit rowColChanged(current, previous);
}

} // namespace dictionary
