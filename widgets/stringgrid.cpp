#include "stringgrid.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

// Fixed columns are drawn in the grid's fixed colour.
class FixedColumnDelegate : public QStyledItemDelegate {
public:
    explicit FixedColumnDelegate(StringGrid* grid) : QStyledItemDelegate(grid), mGrid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.column() < mGrid->FixedCols())
            painter->fillRect(option.rect, mGrid->FixedColor());
        QStyledItemDelegate::paint(painter, option, index);
    }

private:
    StringGrid* mGrid;
};

constexpr int kDefaultColWidth = 64;

} // namespace

StringGrid::StringGrid(QWidget* parent)
    : QAbstractItemView(parent), mModel(new StringGridModel(this)),
      mHeader(new QHeaderView(Qt::Horizontal, this)) {
    setModel(mModel);
    mHeader->setModel(mModel);
    setItemDelegate(new FixedColumnDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    mHeader->setMinimumSectionSize(1);
    mHeader->setSectionResizeMode(QHeaderView::Interactive);
    mHeader->setDefaultSectionSize(kDefaultColWidth);
    mHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    mHeader->setHighlightSections(false);
    mHeader->setSectionsClickable(false);
    mHeader->setSectionsMovable(false);
    connect(mHeader, &QHeaderView::sectionResized, this, [this] {
        updateGeometries();
        viewport()->update();
    });
    connect(mHeader, &QHeaderView::sectionCountChanged, this, [this] { updateGeometries(); });
    // QAbstractItemView neither repaints nor lays out again when rows go (only when they are
    // written), so rows cut off would stay on screen and in the scroll range. Rows added need
    // neither: they are written next, and setTopRow brings the scroll range up to date.
    const auto relayout = [this] {
        updateGeometries();
        viewport()->update();
    };
    connect(mModel, &QAbstractItemModel::rowsRemoved, this, relayout);
    connect(mModel, &QAbstractItemModel::columnsRemoved, this, relayout);
    connect(mModel, &QAbstractItemModel::modelReset, this, relayout);
    connect(mModel, &QAbstractItemModel::layoutChanged, this, relayout);
    setDefaultRowHeight(mRowHeight);
    setFixedRows(0);
}

StringGrid::~StringGrid() = default;

// ---- properties ----------------------------------------------------------------------------

void StringGrid::setFixedRows(int rows) {
    mModel->setFixedRows(rows);
    mHeader->setVisible(mModel->FixedRows() > 0);
    updateGeometries();
}

void StringGrid::setFixedCols(int cols) {
    mModel->setFixedCols(cols);
    viewport()->update();
}

void StringGrid::setFixedColor(const QColor& color) {
    mFixedColor = color;
    applyHeaderLook();
    viewport()->update();
}

void StringGrid::setDefaultRowHeight(int height) {
    mRowHeight = std::max(height, 1);
    mHeader->setFixedHeight(mRowHeight);
    applyHeaderLook();
    updateGeometries();
    viewport()->update();
}

void StringGrid::applyHeaderLook() {
    // The caption row looks like the fixed cells: the fixed colour, grid lines, no relief.
    mHeader->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: black;"
                       " border: none; border-right: 1px solid #a0a0a0;"
                       " border-bottom: 1px solid #a0a0a0; padding: 0px 2px; }")
            .arg(mFixedColor.name()));
}

int StringGrid::DefaultColWidth() const {
    return mHeader->defaultSectionSize();
}

void StringGrid::setDefaultColWidth(int width) {
    mHeader->setDefaultSectionSize(std::max(width, 1));
}

int StringGrid::ColWidths(int col) const {
    return mHeader->sectionSize(col);
}

void StringGrid::setColWidths(int col, int width) {
    mHeader->resizeSection(col, std::max(width, 0));
}

void StringGrid::setShowGrid(bool show) {
    mShowGrid = show;
    viewport()->update();
}

int StringGrid::topModelRow() const {
    return verticalScrollBar()->value();
}

int StringGrid::TopRow() const {
    return FixedRows() + topModelRow();
}

void StringGrid::setTopRow(int row) {
    const int value = std::max(row - FixedRows(), 0);
    // Rows just added reach the scroll range only with the next layout; bring it up to date.
    if (value > verticalScrollBar()->maximum())
        updateGeometries();
    verticalScrollBar()->setValue(value);
}

int StringGrid::VisibleRowCount() const {
    return viewport()->height() / mRowHeight;
}

int StringGrid::fullRows() const {
    return std::max(VisibleRowCount(), 1);
}

int StringGrid::rowAtY(int y) const {
    return topModelRow() + (y >= 0 ? y / mRowHeight : -((mRowHeight - 1 - y) / mRowHeight));
}

// ---- geometry ------------------------------------------------------------------------------

QRect StringGrid::cellRect(int row, int col) const {
    return QRect(mHeader->sectionViewportPosition(col), (row - topModelRow()) * mRowHeight,
                 mHeader->sectionSize(col), mRowHeight);
}

QRect StringGrid::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != mModel)
        return QRect();
    QRect r = cellRect(index.row(), index.column());
    if (mShowGrid)
        r.adjust(0, 0, -1, -1); // the grid lines lie on the right and bottom edges
    return r;
}

QModelIndex StringGrid::indexAt(const QPoint& point) const {
    const int row = rowAtY(point.y());
    const int fixed = fixedColAt(point.x());
    const int col = fixed >= 0 ? fixed : mHeader->logicalIndexAt(point.x());
    if (point.y() < 0 || row >= mModel->rowCount() || col < 0)
        return QModelIndex();
    return mModel->index(row, col);
}

void StringGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid())
        return;
    const int row = index.row();
    const int top = topModelRow();
    const int full = fullRows();
    int newTop = top;
    switch (hint) {
    case EnsureVisible:
        if (row < top)
            newTop = row;
        else if (row >= top + full)
            newTop = row - full + 1;
        break;
    case PositionAtTop:
        newTop = row;
        break;
    case PositionAtBottom:
        newTop = row - full + 1;
        break;
    case PositionAtCenter:
        newTop = row - full / 2;
        break;
    }
    setTopRow(newTop + FixedRows());

    const int x = mHeader->sectionPosition(index.column());
    const int w = mHeader->sectionSize(index.column());
    QScrollBar* h = horizontalScrollBar();
    if (x < h->value())
        h->setValue(x);
    else if (x + w > h->value() + viewport()->width())
        h->setValue(std::min(x, x + w - viewport()->width()));
}

int StringGrid::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int StringGrid::verticalOffset() const {
    return topModelRow() * mRowHeight;
}

bool StringGrid::isIndexHidden(const QModelIndex&) const {
    return false;
}

void StringGrid::updateGeometries() {
    if (mInGeometryUpdate)
        return;
    mInGeometryUpdate = true;
    const int headerHeight = mHeader->isHidden() ? 0 : mRowHeight;
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect vg = viewport()->geometry();
    mHeader->setGeometry(vg.left(), vg.top() - headerHeight, vg.width(), headerHeight);

    const int full = fullRows();
    QScrollBar* v = verticalScrollBar();
    v->setSingleStep(1);
    v->setPageStep(full);
    v->setRange(0, std::max(mModel->rowCount() - full, 0));
    QScrollBar* h = horizontalScrollBar();
    h->setSingleStep(20);
    h->setPageStep(std::max(viewport()->width(), 1));
    h->setRange(0, std::max(mHeader->length() - viewport()->width(), 0));
    mHeader->setOffset(h->value());

    QAbstractItemView::updateGeometries();
    mInGeometryUpdate = false;
}

void StringGrid::scrollContentsBy(int dx, int) {
    if (dx != 0)
        mHeader->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

// ---- keyboard and selection ----------------------------------------------------------------

QModelIndex StringGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers) {
    const int rows = mModel->rowCount();
    const int cols = mModel->columnCount();
    if (rows == 0 || cols == 0)
        return QModelIndex();
    const int firstCol = FixedCols() < cols ? FixedCols() : 0;
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return mModel->index(0, firstCol);
    int row = current.row(), col = current.column();
    switch (cursorAction) {
    case MoveUp:
        --row;
        break;
    case MoveDown:
        ++row;
        break;
    case MoveLeft:
    case MovePrevious:
        --col;
        break;
    case MoveRight:
    case MoveNext:
        ++col;
        break;
    case MovePageUp:
        row -= fullRows();
        break;
    case MovePageDown:
        row += fullRows();
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = rows - 1;
        break;
    }
    return mModel->index(std::clamp(row, 0, rows - 1), std::clamp(col, firstCol, cols - 1));
}

void StringGrid::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    const int rows = mModel->rowCount();
    const int cols = mModel->columnCount();
    if (rows == 0 || cols == 0)
        return;
    const QRect r = rect.normalized();
    const auto columnAt = [this, cols](int x) {
        const int c = mHeader->logicalIndexAt(x);
        if (c >= 0)
            return c;
        return x < 0 ? 0 : cols - 1;
    };
    const int top = std::clamp(rowAtY(r.top()), 0, rows - 1);
    const int bottom = std::clamp(rowAtY(r.bottom()), 0, rows - 1);
    const int left = columnAt(r.left());
    const int right = columnAt(r.right());
    selectionModel()->select(QItemSelection(mModel->index(top, std::min(left, right)),
                                            mModel->index(bottom, std::max(left, right))),
                             command);
}

QRegion StringGrid::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const int first = topModelRow();
    const int last = first + VisibleRowCount();
    for (const QItemSelectionRange& range : selection) {
        const int top = std::max(range.top(), first);
        const int bottom = std::min(range.bottom(), last);
        if (top > bottom)
            continue;
        const int x1 = mHeader->sectionViewportPosition(range.left());
        const int x2 =
            mHeader->sectionViewportPosition(range.right()) + mHeader->sectionSize(range.right());
        region += QRect(x1, (top - first) * mRowHeight, x2 - x1, (bottom - top + 1) * mRowHeight);
    }
    return region;
}

// ---- drawing -------------------------------------------------------------------------------

void StringGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int rows = mModel->rowCount();
    const int cols = mModel->columnCount();
    const int first = std::max(rowAtY(area.top()), 0);
    const int last = std::min(rowAtY(area.bottom()), rows - 1);

    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex current = currentIndex();
    QItemSelectionModel* selection = selectionModel();
    for (int row = first; row <= last; ++row) {
        for (int col = 0; col < cols; ++col) {
            QRect cell = cellRect(row, col);
            if (cell.right() < area.left() || cell.left() > area.right() || cell.width() == 0)
                continue;
            const QModelIndex index = mModel->index(row, col);
            QStyleOptionViewItem o = option;
            o.rect = mShowGrid ? cell.adjusted(0, 0, -1, -1) : cell;
            if (selection && selection->isSelected(index))
                o.state |= QStyle::State_Selected;
            if (index == current && hasFocus())
                o.state |= QStyle::State_HasFocus;
            itemDelegate()->paint(&painter, o, index);
        }
    }

    if (!mShowGrid || rows == 0)
        return;
    const QColor line =
        QColor::fromRgba(QRgb(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    painter.setPen(line);
    const int right = std::min(mHeader->length() - horizontalOffset(), area.right() + 1) - 1;
    const int bottom = std::min((rows - topModelRow()) * mRowHeight, area.bottom() + 1) - 1;
    for (int row = first; row <= last; ++row) {
        const int y = (row - topModelRow() + 1) * mRowHeight - 1;
        painter.drawLine(area.left(), y, right, y);
    }
    for (int col = 0; col < cols; ++col) {
        const int x = mHeader->sectionViewportPosition(col) + mHeader->sectionSize(col) - 1;
        if (x >= area.left() && x <= area.right())
            painter.drawLine(x, area.top(), x, bottom);
    }
}

// ---- row selection and fixed columns ------------------------------------------------------

int StringGrid::Row() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + FixedRows() : -1;
}

void StringGrid::SelectRow(int row, int fromCol, int toCol) {
    const int modelRow = row - FixedRows();
    const int cols = mModel->columnCount();
    if (modelRow < 0 || modelRow >= mModel->rowCount() || cols == 0)
        return;
    fromCol = std::clamp(fromCol, 0, cols - 1);
    toCol = std::clamp(toCol, fromCol, cols - 1);
    selectionModel()->setCurrentIndex(mModel->index(modelRow, fromCol),
                                      QItemSelectionModel::NoUpdate);
    selectionModel()->select(
        QItemSelection(mModel->index(modelRow, fromCol), mModel->index(modelRow, toCol)),
        QItemSelectionModel::ClearAndSelect);
}

int StringGrid::fixedColsWidth() const {
    int width = 0;
    for (int col = 0; col < std::min(FixedCols(), ColCount()); ++col)
        width += mHeader->sectionSize(col);
    return width;
}

int StringGrid::fixedColAt(int x) const {
    if (horizontalOffset() == 0 || x < 0 || x >= fixedColsWidth())
        return -1;
    for (int col = 0, left = 0; col < FixedCols(); ++col) {
        left += mHeader->sectionSize(col);
        if (x < left)
            return col;
    }
    return -1;
}

bool StringGrid::viewportEvent(QEvent* event) {
    const bool handled = QAbstractItemView::viewportEvent(event);
    if (event->type() == QEvent::Paint && horizontalOffset() > 0 && FixedCols() > 0)
        paintFixedCols(static_cast<QPaintEvent*>(event)->rect());
    return handled;
}

void StringGrid::paintFixedCols(const QRect& area) {
    const int width = fixedColsWidth();
    if (area.left() >= width)
        return;
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int rows = mModel->rowCount();
    const int first = std::max(rowAtY(area.top()), 0);
    const int last = std::min(rowAtY(area.bottom()), rows - 1);
    const QColor line =
        QColor::fromRgba(QRgb(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    painter.fillRect(QRect(0, area.top(), width, area.height()), palette().base());
    for (int row = first; row <= last; ++row) {
        for (int col = 0, left = 0; col < FixedCols(); left += mHeader->sectionSize(col), ++col) {
            const QRect cell(left, (row - topModelRow()) * mRowHeight, mHeader->sectionSize(col),
                             mRowHeight);
            QStyleOptionViewItem o = option;
            o.rect = mShowGrid ? cell.adjusted(0, 0, -1, -1) : cell;
            itemDelegate()->paint(&painter, o, mModel->index(row, col));
            if (mShowGrid) {
                painter.setPen(line);
                painter.drawLine(cell.right(), cell.top(), cell.right(), cell.bottom());
                painter.drawLine(cell.left(), cell.bottom(), cell.right(), cell.bottom());
            }
        }
    }
}
