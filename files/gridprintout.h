#pragma once

#include <QDateTime>
#include <QFont>
#include <QString>

class DataFileProgress;
class QPrinter;
class StringGridModel;

// Prints a readings table as lines of fixed-pitch text laid out by GridPrintLayout: on every
// page the title line ("<title>   printed <date and time>" and "page n of m"), the captions,
// then the rows. The font is "FixedSys" at 8 points where the system has it, else the
// system's fixed-pitch font at 8 points. The printer must have been set up (the print dialog
// is the caller's); its page range and copies are honoured (Printing::pageSequence()).
//
// `progress` (may be null) hears of every printed line (begin() with the number of lines);
// when it answers false the print is cancelled: the printer aborts, a PDF file is removed
// rather than left half written, and print() returns false. Throws std::runtime_error when
// the printer cannot be started.
class GridPrintout {
public:
    static QFont printerFont();
    static bool print(QPrinter& printer, const StringGridModel& grid, const QString& title,
                      const QDateTime& printedAt, DataFileProgress* progress = nullptr);
};
