#pragma once

#include <QString>

class StringGridModel;

// The grid printout as text: one line per table row (the caption row first), pages of a fixed
// number of lines. Nothing here draws; the printout puts these lines on a printer in a
// fixed-pitch font.
//
// A line holds the cells of columns 0 .. ColCount - 2 (the last column, empty in every table
// the program prints, is left out). Each cell text of length k is followed by two spaces for
// every step of k up to the column's width w (17 for column 2, the time, 10 for any other),
// so a text that fills its width w exactly or runs past it is followed by one space: a
// column always stands apart from the next.
//
// Lines go down a page from one line height below its top edge; a page holds as many lines as
// fit completely, the last line's bottom included, so no line is clipped at the page end.
class GridPrintLayout {
public:
    static constexpr int TimeColumn = 2;
    static constexpr int TimeWidth = 17;
    static constexpr int OtherWidth = 10;

    static QString Line(const StringGridModel& grid, int row);

    // Lines per page for a page and line height in device pixels; at least 1.
    static int LinesPerPage(int pageHeight, int lineHeight);
    // Whether row r starts a new page (never the first row).
    static bool StartsPage(int row, int linesPerPage) { return row > 0 && row % linesPerPage == 0; }
    // The top of row r's line on its page.
    static int LineTop(int row, int linesPerPage, int lineHeight) {
        return (row % linesPerPage + 1) * lineHeight;
    }
};
