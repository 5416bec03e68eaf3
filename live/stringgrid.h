#pragma once

#include "stringgridmodel.h"

#include <QColor>
#include <QTableView>

// A string grid: RowCount x ColCount cell texts addressed as Cells(col, row), a fixed row 0 of
// column captions that stays in place while the rows scroll, fixed columns (by convention
// column 0 holds the row number) drawn in FixedColor, rows of one height and columns of
// adjustable width. The texts live in a StringGridModel; the grid draws only the rows it
// shows, so millions of rows are fine. Read only.
class StringGrid : public QTableView {
    Q_OBJECT
public:
    explicit StringGrid(QWidget* parent = nullptr);
    ~StringGrid() override;

    StringGridModel* gridModel() const { return mModel; }

    int RowCount() const { return mModel->RowCount(); }
    void setRowCount(int rows) { mModel->setRowCount(rows); }
    int ColCount() const { return mModel->ColCount(); }
    void setColCount(int cols) { mModel->setColCount(cols); }
    QString Cells(int col, int row) const { return mModel->Cells(col, row); }
    void setCells(int col, int row, const QString& text) { mModel->setCells(col, row, text); }
    void setRow(int row, const QStringList& cells) { mModel->setRow(row, cells); }
    void clearRow(int row) { mModel->clearRow(row); }

    // 0 or 1; with 1, row 0 is the caption row at the top.
    int FixedRows() const { return mModel->FixedRows(); }
    void setFixedRows(int rows);
    int FixedCols() const { return mModel->FixedCols(); }
    void setFixedCols(int cols);
    QColor FixedColor() const { return mFixedColor; }
    void setFixedColor(const QColor& color);

    // Height of every row (the caption row included), in pixels.
    int DefaultRowHeight() const { return mRowHeight; }
    void setDefaultRowHeight(int height);
    // Width of columns not sized individually.
    int DefaultColWidth() const;
    void setDefaultColWidth(int width);
    int ColWidths(int col) const;
    void setColWidths(int col, int width);

    // The first data row shown below the fixed row (a grid row number, FixedRows..).
    int TopRow() const;
    // Scrolls so that `row` is the first data row shown (as far as the rows below allow).
    void setTopRow(int row);
    // Data rows that fit into the grid completely.
    int VisibleRowCount() const;

private:
    void applyHeaderLook();

    StringGridModel* mModel;
    QColor mFixedColor = Qt::white;
    int mRowHeight = 24;
};
