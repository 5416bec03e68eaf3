#include "gridprintlayout.h"

#include "rangetable.h"
#include "stringgridmodel.h"

#include <algorithm>

int GridPrintLayout::printedColumns(const StringGridModel& grid) {
    return std::max(grid.gridColCount() - 1, 0);
}

QString GridPrintLayout::cellText(const StringGridModel& grid, int col, int row) {
    return RangeTable::displayUnit(grid.cells(col, row));
}

QList<int> GridPrintLayout::columnLefts(const StringGridModel& grid,
                                        const std::function<int(const QString&)>& textWidth,
                                        int gap) {
    const int columns = printedColumns(grid);
    QList<int> lefts{0};
    for (int c = 0; c < columns; ++c) {
        // Texts of one length have one width in a fixed-pitch font, but a sign the font lacks
        // (Ω, µ) comes from another: each length is measured once per text that has it.
        int widest = 0;
        QList<qsizetype> measuredLengths;
        for (int r = 0; r < grid.gridRowCount(); ++r) {
            const QString text = cellText(grid, c, r);
            const bool plain =
                std::all_of(text.cbegin(), text.cend(), [](QChar ch) { return ch.unicode() < 128; });
            if (plain && measuredLengths.contains(text.size()))
                continue;
            if (plain)
                measuredLengths << text.size();
            widest = std::max(widest, textWidth(text));
        }
        lefts << lefts.last() + widest + gap;
    }
    return lefts;
}

int GridPrintLayout::linesPerPage(int pageHeight, int lineHeight) {
    if (lineHeight <= 0)
        return HeaderLines + 1;
    return std::max(HeaderLines + 1, pageHeight / lineHeight);
}

int GridPrintLayout::pageCount(int tableRows, int rowsPerPage) {
    if (tableRows <= 0 || rowsPerPage <= 0)
        return 1;
    return (tableRows + rowsPerPage - 1) / rowsPerPage;
}

QString GridPrintLayout::pageText(int page, int pageCount) {
    return QStringLiteral("page %1 of %2").arg(page + 1).arg(pageCount);
}
