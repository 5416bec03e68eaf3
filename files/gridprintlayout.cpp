#include "gridprintlayout.h"

#include "stringgridmodel.h"

#include <algorithm>

QString GridPrintLayout::Line(const StringGridModel& grid, int row) {
    QString line;
    for (int c = 0; c <= grid.ColCount() - 2; ++c) {
        const QString text = grid.Cells(c, row);
        const qsizetype w = c == TimeColumn ? TimeWidth : OtherWidth;
        line += text;
        line += text.size() < w ? QString(2 * (w - text.size()), u' ') : QStringLiteral(" ");
    }
    return line;
}

int GridPrintLayout::LinesPerPage(int pageHeight, int lineHeight) {
    if (lineHeight <= 0)
        return 1;
    // The first line's top is one line height down; the last line's bottom stays on the page.
    return std::max(1, pageHeight / lineHeight - 1);
}
