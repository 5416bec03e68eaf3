#pragma once

#include "stringgridmodel.h"

#include <QAbstractItemView>
#include <QColor>

class QHeaderView;

// A string grid: gridRowCount x gridColCount cell texts addressed as cells(col, row), a fixed row 0 of
// column captions that stays in place while the rows scroll, fixed columns (by convention
// column 0 holds the row number) drawn in fixedColor, rows of one height and columns of
// adjustable width. Read only; rows can be selected.
//
// The texts live in a StringGridModel. The view draws only the rows it shows and, since all
// rows have one height, finds them by arithmetic: it keeps nothing per row (a QTableView keeps
// a header section per row and measures them all again after each row added), so appending
// a row costs the same at a million rows as at ten. The caption row is a QHeaderView over the
// model's columns.
class StringGrid : public QAbstractItemView {
    Q_OBJECT
public:
    explicit StringGrid(QWidget* parent = nullptr);
    ~StringGrid() override;

    StringGridModel* gridModel() const { return m_model; }
    // The caption row.
    QHeaderView* horizontalHeader() const { return m_header; }

    int gridRowCount() const { return m_model->gridRowCount(); }
    void setRowCount(int rows) { m_model->setRowCount(rows); }
    int gridColCount() const { return m_model->gridColCount(); }
    void setColCount(int cols) { m_model->setColCount(cols); }
    QString cells(int col, int row) const { return m_model->cells(col, row); }
    void setCells(int col, int row, const QString& text) { m_model->setCells(col, row, text); }
    void setRow(int row, const QStringList& cells) { m_model->setRow(row, cells); }
    void clearRow(int row) { m_model->clearRow(row); }

    // 0 or 1; with 1, row 0 is the caption row at the top.
    int fixedRows() const { return m_model->fixedRows(); }
    void setFixedRows(int rows);
    int fixedCols() const { return m_model->fixedCols(); }
    void setFixedCols(int cols);
    QColor fixedColor() const { return m_fixedColor; }
    void setFixedColor(const QColor& color);

    // Height of every row (the caption row included), in pixels.
    int defaultRowHeight() const { return m_rowHeight; }
    void setDefaultRowHeight(int height);
    // Width of columns not sized individually.
    int defaultColWidth() const;
    void setDefaultColWidth(int width);
    int colWidths(int col) const;
    void setColWidths(int col, int width);

    // The first data row shown below the fixed row (a grid row number, fixedRows..).
    int topRow() const;
    // Scrolls so that `row` is the first data row shown (as far as the rows below allow).
    void setTopRow(int row);
    // Data rows that fit into the grid completely.
    int visibleRowCount() const;

    bool showGrid() const { return m_showGrid; }
    void setShowGrid(bool show);

    // The row of the current cell in grid-row numbers (the first data row is fixedRows), or
    // -1 when no cell is current.
    int currentRow() const;
    // Makes columns fromCol..toCol of grid row `row` the selection and its first cell the
    // current one; rows outside the data rows are ignored. Scrolls as little as the view
    // would for the current cell; callers that want the row elsewhere set topRow afterwards.
    void selectRow(int row, int fromCol, int toCol);

    // QAbstractItemView
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void paintEvent(QPaintEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;

private:
    // Fixed columns stay at the left edge while the others scroll sideways: they are drawn
    // again over the scrolled cells, and clicks on them find them there.
    int fixedColsWidth() const;
    int fixedColAt(int x) const;
    void paintFixedCols(const QRect& area);

    void applyHeaderLook();
    int topModelRow() const;
    // Model rows that fit completely (at least 1).
    int fullRows() const;
    // The model row at a viewport y, unclamped.
    int rowAtY(int y) const;
    QRect cellRect(int row, int col) const;

    StringGridModel* m_model;
    QHeaderView* m_header;
    QColor m_fixedColor = Qt::white;
    int m_rowHeight = 24;
    bool m_showGrid = true;
    bool m_inGeometryUpdate = false;
};
