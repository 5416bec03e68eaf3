#pragma once

#include <QList>
#include <QString>

#include <functional>

class StringGridModel;

// Where the grid printout puts each text: nothing here draws, the printout puts these texts
// on a printer in a fixed-pitch font.
//
// The printed columns are 0 .. gridColCount - 2 (the last column, empty in every table the
// program prints, is left out); a cell is printed as the table shows it (units as the meter's
// display writes them). Each column starts at a measured x: the widest of its texts, the
// caption included, and a gap. (Padding texts with spaces, two for every missing character,
// put the captions and the rows of different lengths out of line.)
//
// Every page starts with HeaderLines lines: the title line (what is printed, when, and "page n
// of m" at its right), an empty line and the caption row; then as many table rows as fit
// completely, so no line is clipped at the page end.
class GridPrintLayout {
public:
    static constexpr int HeaderLines = 3;

    static int printedColumns(const StringGridModel& grid);
    static QString cellText(const StringGridModel& grid, int col, int row);

    // The left edge of each printed column, from 0, given the width of a text and the gap
    // between two columns; one more entry at the end: the right edge of the last column.
    static QList<int> columnLefts(const StringGridModel& grid,
                                  const std::function<int(const QString&)>& textWidth, int gap);

    // Lines per page for a page and line height in device pixels; at least HeaderLines + 1.
    static int linesPerPage(int pageHeight, int lineHeight);
    // Table rows (row 1 onwards) per page, and the pages they fill (at least 1).
    static int rowsPerPage(int linesPerPage) { return linesPerPage - HeaderLines; }
    static int pageCount(int tableRows, int rowsPerPage);
    // The first table row on page `page` (numbered from 0).
    static int firstRow(int page, int rowsPerPage) { return 1 + page * rowsPerPage; }
    // The top of line `line` of a page (0: the title line).
    static int lineTop(int line, int lineHeight) { return line * lineHeight; }
    // "page 2 of 7" for page 1 (numbered from 0).
    static QString pageText(int page, int pageCount);
};
