#include "stringgrid.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

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

StringGrid::StringGrid(QWidget* parent) : QTableView(parent), mModel(new StringGridModel(this)) {
    setModel(mModel);
    setItemDelegate(new FixedColumnDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setShowGrid(true);

    // Column 0 is an ordinary (fixed) column: no row header.
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultSectionSize(kDefaultColWidth);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    setDefaultRowHeight(mRowHeight);
    setFixedRows(0);
}

StringGrid::~StringGrid() = default;

void StringGrid::setFixedRows(int rows) {
    mModel->setFixedRows(rows);
    horizontalHeader()->setVisible(mModel->FixedRows() > 0);
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
    verticalHeader()->setDefaultSectionSize(mRowHeight);
    horizontalHeader()->setFixedHeight(mRowHeight);
    applyHeaderLook();
}

void StringGrid::applyHeaderLook() {
    // The caption row looks like the fixed cells: the fixed colour, grid lines, no relief.
    horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: black;"
                       " border: none; border-right: 1px solid #a0a0a0;"
                       " border-bottom: 1px solid #a0a0a0; padding: 0px 2px; }")
            .arg(mFixedColor.name()));
}

int StringGrid::DefaultColWidth() const {
    return horizontalHeader()->defaultSectionSize();
}

void StringGrid::setDefaultColWidth(int width) {
    horizontalHeader()->setDefaultSectionSize(std::max(width, 1));
}

int StringGrid::ColWidths(int col) const {
    return horizontalHeader()->sectionSize(col);
}

void StringGrid::setColWidths(int col, int width) {
    horizontalHeader()->resizeSection(col, std::max(width, 0));
}

int StringGrid::TopRow() const {
    return FixedRows() + verticalScrollBar()->value();
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
