#include "stringgridmodel.h"

#include "rangetable.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint64_t kNoRecord = ~std::uint64_t(0); // a row whose cells are all empty
constexpr std::uint32_t kBlockSize = 256 * 1024;
constexpr qint64 kCompactAbove = 1 << 20; // garbage bytes tolerated before compacting

void putVarint(QByteArray& out, std::uint32_t v) {
    while (v >= 0x80) {
        out.append(char(v | 0x80));
        v >>= 7;
    }
    out.append(char(v));
}

std::uint32_t getVarint(const char*& p) {
    std::uint32_t v = 0;
    for (int shift = 0;; shift += 7) {
        const auto b = std::uint8_t(*p++);
        v |= std::uint32_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return v;
    }
}

} // namespace

StringGridModel::StringGridModel(QObject* parent) : QAbstractTableModel(parent) {}

StringGridModel::~StringGridModel() = default;

// ---- records -------------------------------------------------------------------------------

const char* StringGridModel::record(Locator at) const {
    return m_blocks[std::size_t(at >> 32)].bytes.get() + (at & 0xFFFFFFFFu);
}

std::uint32_t StringGridModel::recordSize(const char* rec) {
    const char* p = rec;
    const std::uint32_t n = getVarint(p);
    std::uint32_t bytes = 0;
    for (std::uint32_t i = 0; i < n; ++i)
        bytes += getVarint(p);
    return std::uint32_t(p - rec) + bytes;
}

QByteArrayView StringGridModel::cellOf(const char* rec, int col) {
    const char* p = rec;
    const std::uint32_t n = getVarint(p);
    if (std::uint32_t(col) >= n)
        return {};
    std::uint32_t offset = 0, length = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t l = getVarint(p);
        if (i < std::uint32_t(col))
            offset += l;
        else if (i == std::uint32_t(col))
            length = l;
    }
    return QByteArrayView(p + offset, qsizetype(length));
}

void StringGridModel::cellsOf(int row, std::vector<QByteArrayView>& out) const {
    out.clear();
    const Locator at = m_rows[std::size_t(row)];
    if (at == kNoRecord)
        return;
    const char* p = record(at);
    const std::uint32_t n = getVarint(p);
    const char* lengths = p;
    for (std::uint32_t i = 0; i < n; ++i)
        getVarint(p);
    const char* text = p;
    out.resize(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t l = getVarint(lengths);
        out[i] = QByteArrayView(text, qsizetype(l));
        text += l;
    }
}

void StringGridModel::encode(const std::vector<QByteArrayView>& cells) {
    std::size_t n = cells.size();
    while (n > 0 && cells[n - 1].isEmpty())
        --n;
    m_scratch.clear();
    putVarint(m_scratch, std::uint32_t(n));
    for (std::size_t i = 0; i < n; ++i)
        putVarint(m_scratch, std::uint32_t(cells[i].size()));
    for (std::size_t i = 0; i < n; ++i)
        m_scratch.append(cells[i].data(), cells[i].size());
}

void StringGridModel::release(int row) {
    const Locator at = m_rows[std::size_t(row)];
    if (at == kNoRecord)
        return;
    const std::uint32_t size = recordSize(record(at));
    const std::size_t block = std::size_t(at >> 32);
    const std::uint32_t offset = std::uint32_t(at & 0xFFFFFFFFu);
    m_liveBytes -= size;
    if (block + 1 == m_blocks.size() && offset + size == m_blocks[block].used)
        m_blocks[block].used = offset; // the newest record: its space is reused at once
    else
        m_garbageBytes += size;
    m_rows[std::size_t(row)] = kNoRecord;
}

StringGridModel::Locator StringGridModel::append(const char* bytes, std::uint32_t size) {
    if (m_blocks.empty() || m_blocks.back().size - m_blocks.back().used < size) {
        Block b;
        b.size = std::max(kBlockSize, size);
        b.bytes = std::make_unique<char[]>(b.size);
        m_blocks.push_back(std::move(b));
    }
    Block& b = m_blocks.back();
    std::memcpy(b.bytes.get() + b.used, bytes, size);
    const Locator at = (Locator(m_blocks.size() - 1) << 32) | b.used;
    b.used += size;
    m_liveBytes += size;
    return at;
}

void StringGridModel::store(int row) {
    release(row);
    if (m_scratch.size() > 1) // more than a cell count of 0
        m_rows[std::size_t(row)] = append(m_scratch.constData(), std::uint32_t(m_scratch.size()));
    compactIfWasteful();
}

void StringGridModel::compactIfWasteful() {
    if (m_liveBytes == 0 && !m_blocks.empty())
        compact();
    else if (m_garbageBytes > kCompactAbove && m_garbageBytes > m_liveBytes)
        compact();
}

void StringGridModel::compact() {
    std::vector<Block> old;
    old.swap(m_blocks);
    m_liveBytes = 0;
    m_garbageBytes = 0;
    for (Locator& at : m_rows) {
        if (at == kNoRecord)
            continue;
        const char* rec = old[std::size_t(at >> 32)].bytes.get() + (at & 0xFFFFFFFFu);
        at = append(rec, recordSize(rec));
    }
}

// ---- grid ----------------------------------------------------------------------------------

void StringGridModel::setRowCount(int rows) {
    rows = std::max(rows, 0);
    const int old = gridRowCount();
    if (rows == old)
        return;
    const int viewBefore = std::max(old - m_fixedRows, 0);
    const int viewAfter = std::max(rows - m_fixedRows, 0);
    const bool tell = m_bulkFills == 0;
    if (rows > old) {
        if (tell && viewAfter > viewBefore)
            beginInsertRows(QModelIndex(), viewBefore, viewAfter - 1);
        m_rows.resize(std::size_t(rows), kNoRecord);
        if (tell && viewAfter > viewBefore)
            endInsertRows();
        return;
    }
    if (tell && viewAfter < viewBefore)
        beginRemoveRows(QModelIndex(), viewAfter, viewBefore - 1);
    for (int r = old - 1; r >= rows; --r) // newest first, so their space is reused
        release(r);
    m_rows.resize(std::size_t(rows));
    if (m_rows.capacity() > 2 * m_rows.size() + 4096)
        m_rows.shrink_to_fit();
    compactIfWasteful();
    if (tell && viewAfter < viewBefore)
        endRemoveRows();
    if (tell && rows < m_fixedRows && m_colCount > 0)
        emit headerDataChanged(Qt::Horizontal, 0, m_colCount - 1);
}

void StringGridModel::setColCount(int cols) {
    cols = std::max(cols, 0);
    const int old = m_colCount;
    if (cols == old)
        return;
    if (cols > old) {
        beginInsertColumns(QModelIndex(), old, cols - 1);
        m_colCount = cols;
        endInsertColumns();
        return;
    }
    beginRemoveColumns(QModelIndex(), cols, old - 1);
    std::vector<QByteArrayView> cells;
    for (int r = 0; r < gridRowCount(); ++r) {
        cellsOf(r, cells);
        if (int(cells.size()) <= cols)
            continue;
        cells.resize(std::size_t(cols));
        encode(cells);
        store(r);
    }
    m_colCount = cols;
    endRemoveColumns();
}

void StringGridModel::setFixedRows(int rows) {
    rows = std::clamp(rows, 0, 1);
    if (rows == m_fixedRows)
        return;
    beginResetModel();
    m_fixedRows = rows;
    endResetModel();
}

void StringGridModel::setFixedCols(int cols) {
    cols = std::max(cols, 0);
    if (cols == m_fixedCols)
        return;
    beginResetModel();
    m_fixedCols = cols;
    endResetModel();
}

QString StringGridModel::cells(int col, int row) const {
    if (col < 0 || col >= m_colCount || row < 0 || row >= gridRowCount())
        return QString();
    const Locator at = m_rows[std::size_t(row)];
    if (at == kNoRecord)
        return QString();
    const QByteArrayView cell = cellOf(record(at), col);
    return QString::fromUtf8(cell.data(), cell.size());
}

void StringGridModel::setCells(int col, int row, const QString& text) {
    if (col < 0 || col >= m_colCount || row < 0 || row >= gridRowCount())
        return;
    const QByteArray utf8 = text.toUtf8();
    cellsOf(row, m_cells);
    const QByteArrayView old =
        std::size_t(col) < m_cells.size() ? m_cells[std::size_t(col)] : QByteArrayView();
    if (old.size() == utf8.size() &&
        (old.isEmpty() || std::memcmp(old.data(), utf8.constData(), std::size_t(old.size())) == 0))
        return;
    if (m_cells.size() <= std::size_t(col))
        m_cells.resize(std::size_t(col) + 1);
    m_cells[std::size_t(col)] = utf8;
    encode(m_cells);
    store(row);
    notifyChanged(col, row);
}

void StringGridModel::setRow(int row, const QStringList& cells) {
    if (row < 0 || row >= gridRowCount())
        return;
    const int n = std::min(int(cells.size()), m_colCount);
    std::vector<QByteArray> utf8;
    utf8.resize(std::size_t(n));
    m_cells.assign(std::size_t(n), QByteArrayView());
    for (int i = 0; i < n; ++i) {
        utf8[std::size_t(i)] = cells[i].toUtf8();
        m_cells[std::size_t(i)] = utf8[std::size_t(i)];
    }
    encode(m_cells);
    store(row);
    notifyRowChanged(row);
}

void StringGridModel::setRowUtf8(int row, const std::vector<QByteArrayView>& cells) {
    if (row < 0 || row >= gridRowCount())
        return;
    const std::size_t n = std::min(cells.size(), std::size_t(m_colCount));
    m_cells.assign(cells.begin(), cells.begin() + qsizetype(n));
    encode(m_cells);
    store(row);
    notifyRowChanged(row);
}

void StringGridModel::notifyRowChanged(int row) {
    if (m_colCount == 0 || m_bulkFills > 0)
        return;
    if (row < m_fixedRows)
        emit headerDataChanged(Qt::Horizontal, 0, m_colCount - 1);
    else
        emit dataChanged(index(row - m_fixedRows, 0), index(row - m_fixedRows, m_colCount - 1));
}

StringGridModel::BulkFill::BulkFill(StringGridModel& grid) : m_grid(&grid) {
    if (grid.m_bulkFills++ == 0)
        grid.beginResetModel();
}

StringGridModel::BulkFill::~BulkFill() {
    if (m_grid && --m_grid->m_bulkFills == 0)
        m_grid->endResetModel();
}

void StringGridModel::clearRow(int row) {
    setRow(row, QStringList());
}

void StringGridModel::notifyChanged(int col, int row) {
    if (m_bulkFills > 0)
        return;
    if (row < m_fixedRows)
        emit headerDataChanged(Qt::Horizontal, col, col);
    else {
        const QModelIndex i = index(row - m_fixedRows, col);
        emit dataChanged(i, i);
    }
}

qint64 StringGridModel::memoryBytes() const {
    qint64 bytes = qint64(m_rows.capacity() * sizeof(Locator)) + m_scratch.capacity();
    for (const Block& b : m_blocks)
        bytes += b.size;
    return bytes;
}

// ---- model interface -----------------------------------------------------------------------

int StringGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(gridRowCount() - m_fixedRows, 0);
}

int StringGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_colCount;
}

QVariant StringGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const QString text = cells(index.column(), index.row() + m_fixedRows);
    // Units are shown as the meter's display writes them; the cell keeps its own text.
    return role == Qt::DisplayRole ? RangeTable::displayUnit(text) : text;
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || m_fixedRows == 0)
        return QVariant();
    return cells(section, 0);
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.column() < m_fixedCols)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
