#include "gridprintout.h"

#include "gridprintlayout.h"
#include "stringgridmodel.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QPrinter>

#include <stdexcept>

QFont GridPrintout::printerFont() {
    QFont font(QStringLiteral("FixedSys"), 8);
    // A font the system does not have is replaced by whatever it likes, often a proportional
    // one, which would break the columns.
    if (!QFontInfo(font).exactMatch() || !QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(8);
    }
    return font;
}

void GridPrintout::print(QPrinter& printer, const StringGridModel& grid) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        const QString file = printer.outputFileName();
        throw std::runtime_error(
            (file.isEmpty() ? QStringLiteral("The printer could not be started.")
                            : QStringLiteral("The table could not be printed to %1.").arg(file))
                .toStdString());
    }
    painter.setFont(printerFont());
    const QFontMetrics metrics = painter.fontMetrics();
    const int lineHeight =
        metrics.boundingRect(QStringLiteral("String Grid Printout")).height() + 4;
    const int pageHeight = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    const int perPage = GridPrintLayout::LinesPerPage(pageHeight, lineHeight);
    for (int r = 0; r < grid.RowCount(); ++r) {
        if (GridPrintLayout::StartsPage(r, perPage))
            printer.newPage();
        const int top = GridPrintLayout::LineTop(r, perPage, lineHeight);
        // The line's top at `top`: the text stands on its baseline an ascent lower.
        painter.drawText(1, top + metrics.ascent(), GridPrintLayout::Line(grid, r));
    }
    painter.end();
}
