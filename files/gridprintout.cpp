#include "gridprintout.h"

#include "datafileprogress.h"
#include "gridprintlayout.h"
#include "printing.h"
#include "stringgridmodel.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLocale>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
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

bool GridPrintout::print(QPrinter& printer, const StringGridModel& grid, const QString& title,
                         const QDateTime& printedAt, DataFileProgress* progress) {
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
    const int lineHeight = metrics.height() + metrics.height() / 4;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int perPage = GridPrintLayout::linesPerPage(page.height(), lineHeight);
    const int rowsPerPage = GridPrintLayout::rowsPerPage(perPage);
    const int tableRows = std::max(grid.gridRowCount() - 1, 0);
    const int pageCount = GridPrintLayout::pageCount(tableRows, rowsPerPage);
    const QList<int> lefts = GridPrintLayout::columnLefts(
        grid, [&metrics](const QString& text) { return metrics.horizontalAdvance(text); },
        metrics.horizontalAdvance(QStringLiteral("  ")));
    const QString heading = QStringLiteral("%1   printed %2")
                                .arg(title, QLocale().toString(printedAt, QLocale::ShortFormat));

    const auto drawRow = [&](int row, int line) {
        const int baseline = GridPrintLayout::lineTop(line, lineHeight) + metrics.ascent();
        for (int c = 0; c + 1 < lefts.size(); ++c)
            painter.drawText(lefts[c], baseline, GridPrintLayout::cellText(grid, c, row));
    };

    const QList<int> pages = Printing::pageSequence(printer, pageCount);
    const auto rowsOn = [&](int p) {
        const int firstRow = GridPrintLayout::firstRow(p, rowsPerPage);
        return std::max(std::min(firstRow + rowsPerPage, grid.gridRowCount()) - firstRow, 0);
    };
    if (progress) {
        qint64 total = 0;
        for (const int p : pages)
            total += rowsOn(p);
        progress->begin(total);
    }
    qint64 linesDone = 0;
    bool first = true;
    for (const int p : pages) {
        if (!first)
            printer.newPage();
        first = false;
        const int baseline = metrics.ascent();
        painter.drawText(0, baseline, heading);
        const QString pageText = GridPrintLayout::pageText(p, pageCount);
        painter.drawText(page.width() - metrics.horizontalAdvance(pageText) - 1, baseline,
                         pageText);
        drawRow(0, GridPrintLayout::HeaderLines - 1);
        const int firstRow = GridPrintLayout::firstRow(p, rowsPerPage);
        const int endRow = firstRow + rowsOn(p);
        for (int r = firstRow; r < endRow; ++r) {
            drawRow(r, GridPrintLayout::HeaderLines + (r - firstRow));
            if (progress && !progress->advance(++linesDone)) {
                printer.abort();
                painter.end();
                // A file cut off in the middle is no printout.
                if (printer.outputFormat() == QPrinter::PdfFormat &&
                    !printer.outputFileName().isEmpty())
                    QFile::remove(printer.outputFileName());
                return false;
            }
        }
    }
    painter.end();
    return true;
}
