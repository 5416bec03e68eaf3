#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QByteArrayView>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

// The cells of a string grid: gridRowCount x gridColCount texts addressed as cells(col, row). With a
// fixed row (fixedRows 1), row 0 holds the column captions and is offered to views as the
// horizontal header; the data rows 1.. are the model's rows 0... Fixed columns (fixedCols)
// are ordinary columns that cannot be selected; by convention column 0 holds the row number.
// Any text may go into any cell.
//
// Storage is built for tables of millions of rows: each row's texts are packed as UTF-8 into
// one record (cell count, cell lengths, then the bytes), records sit one after another in
// large blocks, and a row is an 8-byte locator of its record. A row of recorder texts (number,
// date, time, value, unit) takes about 50 bytes. Appending a row and writing its cells costs
// O(1) amortized: rewriting the newest record happens in place, a rewritten older record
// leaves its old bytes behind, and the blocks are compacted when such garbage outweighs the
// live texts. Views read only the cells they show.
class StringGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit StringGridModel(QObject* parent = nullptr);
    ~StringGridModel() override;

    int gridRowCount() const { return int(m_rows.size()); }
    // New rows are empty; rows cut off lose their texts.
    void setRowCount(int rows);
    int gridColCount() const { return m_colCount; }
    // New columns are empty; columns cut off lose their texts.
    void setColCount(int cols);
    // 0 or 1.
    int fixedRows() const { return m_fixedRows; }
    void setFixedRows(int rows);
    int fixedCols() const { return m_fixedCols; }
    void setFixedCols(int cols);

    // The text of a cell; empty outside the grid.
    QString cells(int col, int row) const;
    // Writes a cell; writes outside the grid are ignored.
    void setCells(int col, int row, const QString& text);
    // Writes row `row` from column 0 on: cells[i] into column i, the rest of the row empty.
    // Cheaper than writing the cells one by one.
    void setRow(int row, const QStringList& cells);
    // The same from texts already in UTF-8 (a file read into the grid): no conversion to
    // QString and back.
    void setRowUtf8(int row, const std::vector<QByteArrayView>& cells);
    // Empties every cell of a row.
    void clearRow(int row);

    // Fills the grid with many rows at once (a file opened into a list). While a BulkFill
    // lives, views hear nothing row by row: adding and writing a million rows one at a time
    // would have the view work out a million inserts and repaints it never shows. They hear
    // one reset when the last BulkFill ends, and must not read the grid before: the list
    // window keeps its table's updates off while a file fills it.
    class BulkFill {
    public:
        explicit BulkFill(StringGridModel& grid);
        // Ends the fill unless the grid is gone.
        ~BulkFill();
        BulkFill(const BulkFill&) = delete;
        BulkFill& operator=(const BulkFill&) = delete;

    private:
        QPointer<StringGridModel> m_grid; // the grid may go with its window meanwhile
    };

    // Bytes held for the texts and the row locators (capacity, not just what is used).
    qint64 memoryBytes() const;

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Block {
        std::unique_ptr<char[]> bytes;
        std::uint32_t size = 0;
        std::uint32_t used = 0;
    };
    using Locator = std::uint64_t; // block index << 32 | offset in the block

    const char* record(Locator at) const;
    static std::uint32_t recordSize(const char* rec);
    static QByteArrayView cellOf(const char* rec, int col);
    // The cells of a row as byte views into its record (valid until the next write).
    void cellsOf(int row, std::vector<QByteArrayView>& out) const;
    // Encodes cells (trailing empty ones dropped) into m_scratch.
    void encode(const std::vector<QByteArrayView>& cells);
    // Replaces the record of a row with m_scratch.
    void store(int row);
    void release(int row);
    Locator append(const char* bytes, std::uint32_t size);
    void compactIfWasteful();
    void compact();
    void notifyChanged(int col, int row);
    void notifyRowChanged(int row);

    std::vector<Locator> m_rows;
    std::vector<Block> m_blocks;
    qint64 m_liveBytes = 0;
    qint64 m_garbageBytes = 0;
    int m_colCount = 0;
    int m_fixedRows = 0;
    int m_fixedCols = 0;
    QByteArray m_scratch;
    int m_bulkFills = 0; // BulkFills alive: no per-row signals
    mutable std::vector<QByteArrayView> m_cells;
};
