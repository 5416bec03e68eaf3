#include "chartprint.h"

#include "chart.h"
#include "printing.h"

#include <QScopeGuard>

void PrintChartInPaperColours(Printing& printing, Chart* chart, QWidget* parent) {
    const PEColor subset[3] = {chart->SubsetColors(0), chart->SubsetColors(1),
                               chart->SubsetColors(2)};
    const PEColor back = chart->GraphBackColor();
    const PEColor desk = chart->DeskColor();
    const PEColor text = chart->TextColor();
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
    printing.print(parent, [chart](QPrinter& printer) { chart->printPage(printer); });
}
