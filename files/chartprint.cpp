#include "chartprint.h"

#include "chart.h"
#include "printing.h"

#include <QDateTime>
#include <QLocale>
#include <QScopeGuard>

void printChartInPaperColours(Printing& printing, Chart* chart, QWidget* parent,
                              const QString& title) {
    const PEColor subset[3] = {chart->subsetColors(0), chart->subsetColors(1),
                               chart->subsetColors(2)};
    const PEColor back = chart->graphBackColor();
    const PEColor desk = chart->deskColor();
    const PEColor text = chart->textColor();
    const auto restore = qScopeGuard([&] {
        for (int s = 0; s < 3; ++s)
            chart->setSubsetColors(s, subset[s]);
        chart->setGraphBackColor(back);
        chart->setDeskColor(desk);
        chart->setTextColor(text);
        chart->setSubsetLineTypes(1, 0);
        chart->setSubsetLineTypes(2, 0);
    });
    for (int s = 0; s < 3; ++s)
        chart->setSubsetColors(s, 0x000000);
    chart->setGraphBackColor(0xFFFFFF);
    chart->setDeskColor(0xFFFFFF);
    chart->setTextColor(0x000000);
    chart->setSubsetLineTypes(1, 2);
    chart->setSubsetLineTypes(2, 1);
    printing.print(parent, [&](QPrinter& printer) {
        const QString heading =
            title.isEmpty() ? QString()
                            : QStringLiteral("%1   printed %2")
                                  .arg(title, QLocale().toString(QDateTime::currentDateTime(),
                                                                 QLocale::ShortFormat));
        chart->printPage(printer, heading, int(Printing::pageSequence(printer, 1).size()));
    });
}
