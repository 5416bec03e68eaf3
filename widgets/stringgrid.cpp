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
    explicit FixedColumnDelegate(StringGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.column() < m_grid->fixedCols())
            painter->fillRect(option.rect, m_grid->fixedColor());
        QStyledItemDelegate::paint(painter, option, index);
    }

private:
    StringGrid* m_grid;
};

constexpr int kDefaultColWidth = 64;

} // namespace

StringGrid::StringGrid(QWidget* parent)
    : QAbstractItemView(parent), m_model(new StringGridModel(this)),
      m_header(new QHeaderView(Qt::Horizontal, this)) {
    setModel(m_model);
    m_header->setModel(m_model);
    setItemDelegate(new FixedColumnDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    m_header->setMinimumSectionSize(1);
    m_header->setSectionResizeMode(QHeaderView::Interactive);
    m_header->setDefaultSectionSize(kDefaultColWidth);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_header->setHighlightSections(false);
    m_header->setSectionsClickable(false);
    m_header->setSectionsMovable(false);
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        updateGeometries();
        viewport()->update();
    });
    connect(m_header, &QHeaderView::sectionCountChanged, this, [this] { updateGeometries(); });
    // QAbstractItemView neither repaints nor lays out again when rows go (only when they are
    // written), so rows cut off would stay on screen and in the scroll range. Rows added need
    // neither: they are written next, and setTopRow brings the scroll range up to date.
    const auto relayout = [this] {
        updateGeometries();
        viewport()->update();
    };
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, relayout);
    connect(m_model, &QAbstractItemModel::columnsRemoved, this, relayout);
    connect(m_model, &QAbstractItemModel::modelReset, this, relayout);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, relayout);
    setDefaultRowHeight(m_rowHeight);
    setFixedRows(0);
}

StringGrid::~StringGrid() = default;

// ---- properties ----------------------------------------------------------------------------

void StringGrid::setFixedRows(int rows) {
    m_model->setFixedRows(rows);
    m_header->setVisible(m_model->fixedRows() > 0);
    updateGeometries();
}

void StringGrid::setFixedCols(int cols) {
    m_model->setFixedCols(cols);
    viewport()->update();
}

void StringGrid::setFixedColor(const QColor& color) {
    m_fixedColor = color;
    applyHeaderLook();
    viewport()->update();
}

void StringGrid::setDefaultRowHeight(int height) {
    m_rowHeight = std::max(height, 1);
    m_header->setFixedHeight(m_rowHeight);
    applyHeaderLook();
    updateGeometries();
    viewport()->update();
}

void StringGrid::applyHeaderLook() {
    // The caption row looks like the fixed cells: the fixed colour, grid lines, no relief.
    m_header->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: black;"
                       " border: none; border-right: 1px solid #a0a0a0;"
                       " border-bottom: 1px solid #a0a0a0; padding: 0px 2px; }")
            .arg(m_fixedColor.name()));
}

int StringGrid::defaultColWidth() const {
    return m_header->defaultSectionSize();
}

void StringGrid::setDefaultColWidth(int width) {
    m_header->setDefaultSectionSize(std::max(width, 1));
}

int StringGrid::colWidths(int col) const {
    return m_header->sectionSize(col);
}

void StringGrid::setColWidths(int col, int width) {
    m_header->resizeSection(col, std::max(width, 0));
}

void StringGrid::setShowGrid(bool show) {
    m_showGrid = show;
    viewport()->update();
}

int StringGrid::topModelRow() const {
    return verticalScrollBar()->value();
}

int StringGrid::topRow() const {
    return fixedRows() + topModelRow();
}

void StringGrid::setTopRow(int row) {
    const int value = std::max(row - fixedRows(), 0);
    // Rows just added reach the scroll range only with the next layout; bring it up to date.
    if (value > verticalScrollBar()->maximum())
        updateGeometries();
    verticalScrollBar()->setValue(value);
}

int StringGrid::visibleRowCount() const {
    return viewport()->height() / m_rowHeight;
}

int StringGrid::fullRows() const {
    return std::max(visibleRowCount(), 1);
}

int StringGrid::rowAtY(int y) const {
    return topModelRow() + (y >= 0 ? y / m_rowHeight : -((m_rowHeight - 1 - y) / m_rowHeight));
}

// ---- geometry ------------------------------------------------------------------------------

QRect StringGrid::cellRect(int row, int col) const {
    return QRect(m_header->sectionViewportPosition(col), (row - topModelRow()) * m_rowHeight,
                 m_header->sectionSize(col), m_rowHeight);
}

QRect StringGrid::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != m_model)
        return QRect();
    QRect r = cellRect(index.row(), index.column());
    if (m_showGrid)
        r.adjust(0, 0, -1, -1); // the grid lines lie on the right and bottom edges
    return r;
}

QModelIndex StringGrid::indexAt(const QPoint& point) const {
    const int row = rowAtY(point.y());
    const int fixed = fixedColAt(point.x());
    const int col = fixed >= 0 ? fixed : m_header->logicalIndexAt(point.x());
    if (point.y() < 0 || row >= m_model->rowCount() || col < 0)
        return QModelIndex();
    return m_model->index(row, col);
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
    setTopRow(newTop + fixedRows());

    const int x = m_header->sectionPosition(index.column());
    const int w = m_header->sectionSize(index.column());
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
    return topModelRow() * m_rowHeight;
}

bool StringGrid::isIndexHidden(const QModelIndex&) const {
    return false;
}

void StringGrid::updateGeometries() {
    if (m_inGeometryUpdate)
        return;
    m_inGeometryUpdate = true;
    const int headerHeight = m_header->isHidden() ? 0 : m_rowHeight;
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect vg = viewport()->geometry();
    m_header->setGeometry(vg.left(), vg.top() - headerHeight, vg.width(), headerHeight);

    const int full = fullRows();
    QScrollBar* v = verticalScrollBar();
    v->setSingleStep(1);
    v->setPageStep(full);
    v->setRange(0, std::max(m_model->rowCount() - full, 0));
    QScrollBar* h = horizontalScrollBar();
    h->setSingleStep(20);
    h->setPageStep(std::max(viewport()->width(), 1));
    h->setRange(0, std::max(m_header->length() - viewport()->width(), 0));
    m_header->setOffset(h->value());

    QAbstractItemView::updateGeometries();
    m_inGeometryUpdate = false;
}

void StringGrid::scrollContentsBy(int dx, int) {
    if (dx != 0)
        m_header->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

// ---- keyboard and selection ----------------------------------------------------------------

QModelIndex StringGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers) {
    const int rows = m_model->rowCount();
    const int cols = m_model->columnCount();
    if (rows == 0 || cols == 0)
        return QModelIndex();
    const int firstCol = fixedCols() < cols ? fixedCols() : 0;
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return m_model->index(0, firstCol);
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
    return m_model->index(std::clamp(row, 0, rows - 1), std::clamp(col, firstCol, cols - 1));
}

void StringGrid::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    const int rows = m_model->rowCount();
    const int cols = m_model->columnCount();
    if (rows == 0 || cols == 0)
        return;
    const QRect r = rect.normalized();
    const auto columnAt = [this, cols](int x) {
        const int c = m_header->logicalIndexAt(x);
        if (c >= 0)
            return c;
        return x < 0 ? 0 : cols - 1;
    };
    const int top = std::clamp(rowAtY(r.top()), 0, rows - 1);
    const int bottom = std::clamp(rowAtY(r.bottom()), 0, rows - 1);
    const int left = columnAt(r.left());
    const int right = columnAt(r.right());
    selectionModel()->select(QItemSelection(m_model->index(top, std::min(left, right)),
                                            m_model->index(bottom, std::max(left, right))),
                             command);
}

QRegion StringGrid::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const int first = topModelRow();
    const int last = first + visibleRowCount();
    for (const QItemSelectionRange& range : selection) {
        const int top = std::max(range.top(), first);
        const int bottom = std::min(range.bottom(), last);
        if (top > bottom)
            continue;
        const int x1 = m_header->sectionViewportPosition(range.left());
        const int x2 =
            m_header->sectionViewportPosition(range.right()) + m_header->sectionSize(range.right());
        region += QRect(x1, (top - first) * m_rowHeight, x2 - x1, (bottom - top + 1) * m_rowHeight);
    }
    return region;
}

// ---- drawing -------------------------------------------------------------------------------

void StringGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int rows = m_model->rowCount();
    const int cols = m_model->columnCount();
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
            const QModelIndex index = m_model->index(row, col);
            QStyleOptionViewItem o = option;
            o.rect = m_showGrid ? cell.adjusted(0, 0, -1, -1) : cell;
            if (selection && selection->isSelected(index))
                o.state |= QStyle::State_Selected;
            if (index == current && hasFocus())
                o.state |= QStyle::State_HasFocus;
            itemDelegate()->paint(&painter, o, index);
        }
    }

    if (!m_showGrid || rows == 0)
        return;
    const QColor line =
        QColor::fromRgba(QRgb(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    painter.setPen(line);
    const int right = std::min(m_header->length() - horizontalOffset(), area.right() + 1) - 1;
    const int bottom = std::min((rows - topModelRow()) * m_rowHeight, area.bottom() + 1) - 1;
    for (int row = first; row <= last; ++row) {
        const int y = (row - topModelRow() + 1) * m_rowHeight - 1;
        painter.drawLine(area.left(), y, right, y);
    }
    for (int col = 0; col < cols; ++col) {
        const int x = m_header->sectionViewportPosition(col) + m_header->sectionSize(col) - 1;
        if (x >= area.left() && x <= area.right())
            painter.drawLine(x, area.top(), x, bottom);
    }
}

// ---- row selection and fixed columns ------------------------------------------------------

int StringGrid::currentRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + fixedRows() : -1;
}

void StringGrid::selectRow(int row, int fromCol, int toCol) {
    const int modelRow = row - fixedRows();
    const int cols = m_model->columnCount();
    if (modelRow < 0 || modelRow >= m_model->rowCount() || cols == 0)
        return;
    fromCol = std::clamp(fromCol, 0, cols - 1);
    toCol = std::clamp(toCol, fromCol, cols - 1);
    selectionModel()->setCurrentIndex(m_model->index(modelRow, fromCol),
                                      QItemSelectionModel::NoUpdate);
    selectionModel()->select(
        QItemSelection(m_model->index(modelRow, fromCol), m_model->index(modelRow, toCol)),
        QItemSelectionModel::ClearAndSelect);
}

int StringGrid::fixedColsWidth() const {
    int width = 0;
    for (int col = 0; col < std::min(fixedCols(), gridColCount()); ++col)
        width += m_header->sectionSize(col);
    return width;
}

int StringGrid::fixedColAt(int x) const {
    if (horizontalOffset() == 0 || x < 0 || x >= fixedColsWidth())
        return -1;
    for (int col = 0, left = 0; col < fixedCols(); ++col) {
        left += m_header->sectionSize(col);
        if (x < left)
            return col;
    }
    return -1;
}

bool StringGrid::viewportEvent(QEvent* event) {
    const bool handled = QAbstractItemView::viewportEvent(event);
    if (event->type() == QEvent::Paint && horizontalOffset() > 0 && fixedCols() > 0)
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
    const int rows = m_model->rowCount();
    const int first = std::max(rowAtY(area.top()), 0);
    const int last = std::min(rowAtY(area.bottom()), rows - 1);
    const QColor line =
        QColor::fromRgba(QRgb(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
    painter.fillRect(QRect(0, area.top(), width, area.height()), palette().base());
    for (int row = first; row <= last; ++row) {
        for (int col = 0, left = 0; col < fixedCols(); left += m_header->sectionSize(col), ++col) {
            const QRect cell(left, (row - topModelRow()) * m_rowHeight, m_header->sectionSize(col),
                             m_rowHeight);
            QStyleOptionViewItem o = option;
            o.rect = m_showGrid ? cell.adjusted(0, 0, -1, -1) : cell;
            itemDelegate()->paint(&painter, o, m_model->index(row, col));
            if (m_showGrid) {
                painter.setPen(line);
                painter.drawLine(cell.right(), cell.top(), cell.right(), cell.bottom());
                painter.drawLine(cell.left(), cell.bottom(), cell.right(), cell.bottom());
            }
        }
    }
}
