#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The data file: the program's one document format, written from a readings table (recorder,
// data logger, list window) and read back into a list window.
//
// One line per table row; each line holds, for every column after the row number, the cell
// text followed by one separator, so every line ends with a separator; then CR LF, also after
// the last line. No caption line, no byte-order mark. Texts are in the system's 8-bit
// encoding. The separator is a comma for a file whose path ends in "csv" (any case, with or
// without a dot before it) and a TAB for any other path; the file dialog's filter does not
// choose it.
//
// A cell text holding the separator or a line feed is written between double quotes, with
// its own double quotes doubled; so is a text that starts with a double quote. Everything
// else is written as it stands. Without this, a value such as "1,234" (a decimal-comma locale)
// saved as CSV would come back as two fields, shifting the unit into the wrong column.
class DataFileFormat {
public:
    static constexpr char Comma = ',';
    static constexpr char Tab = '\t';

    // Comma for a path ending in "csv" (case ignored), TAB otherwise.
    static char separatorFor(const QString& path);

    // Whether a cell text (already encoded) has to be written between quotes.
    static bool needsQuotes(QByteArrayView text, char separator);
    // Appends a cell text (already encoded) and its separator to a line, quoted if need be.
    static void appendField(QByteArray& line, QByteArrayView text, char separator);

    // The longest line an open accepts, line end included. Lines of real tables are far
    // shorter; the limit keeps a file that is not a data file (no line ends in megabytes of
    // bytes) from being held in memory.
    static constexpr qsizetype MaxLineBytes = 64 * 1024;
};
