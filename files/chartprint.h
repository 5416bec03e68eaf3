#pragma once

#include <QString>

class Chart;
class Printing;
class QWidget;

// Prints a chart in colours for paper: black series on white, with series 1 and 2 drawn
// dotted and dashed so that three series stay apart in black, through the program's printing
// (its print dialog, then the chart's page). Afterwards the chart has its screen colours back
// and series 1 and 2 are drawn solid, whatever happened: a cancelled dialog, a printer that
// could not be started (that error is passed on after the colours are back). The page has
// `title` and the time of printing on its first line (none without a title), the chart in the
// rest of the printable area, and as many copies as the print dialog asked for.
void printChartInPaperColours(Printing& printing, Chart* chart, QWidget* parent,
                              const QString& title = QString());
