#pragma once

#include <QFont>

class QPrinter;
class StringGridModel;

// Prints a readings table as lines of fixed-pitch text (GridPrintLayout): the caption row
// first, no title, header or page number. The font is "FixedSys" at 8 points where the system
// has it, else the system's fixed-pitch font at 8 points. The printer must have been set up
// (the print dialog is the caller's). Throws std::runtime_error when the printer cannot be
// started.
class GridPrintout {
public:
    static QFont printerFont();
    static void print(QPrinter& printer, const StringGridModel& grid);
};
