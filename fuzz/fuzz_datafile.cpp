// Fuzz target: arbitrary bytes read as a data file, TAB-separated (.txt) or comma-separated
// (.csv, with quoted fields). The first byte chooses the separator and the table's columns.

#include "datafilereader.h"
#include "fuzzinput.h"
#include "stringgridmodel.h"

#include <QBuffer>

#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_datafile: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t setup = in.byte();
    const char separator = (setup & 1) ? ',' : '\t';
    const int columns = 1 + (setup >> 1) % 8;

    StringGridModel grid;
    grid.setColCount(columns);
    grid.setRowCount(2);
    grid.setFixedRows(1);
    QByteArray bytes = in.rest();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const DataFileReader::Result result = DataFileReader::read(buffer, separator, grid);

    require(result.status == DataFileReader::Result::Status::Read, "a buffer failed to read");
    require(result.rows >= 0 && result.rows <= grid.gridRowCount(), "rows outside the table");
    require(grid.gridColCount() == columns, "the table's columns changed");
    require((result.skippedLines == 0) == (result.firstSkippedLine == 0),
            "skipped lines without the first one's number");
    require((result.skippedLines == 0 && result.cutLines == 0) == result.notice.isEmpty(),
            "lines left out without a notice");
    // Data rows number their lines in column 0.
    for (int row = 1; row <= result.rows; ++row)
        require(grid.cells(0, row) == QString::number(row), "row without its number");
    return 0;
}
