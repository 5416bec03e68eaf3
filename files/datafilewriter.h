#pragma once

#include <QString>

#include <optional>

class DataFileProgress;
class QIODevice;
class StringGridModel;

// Saves rows of a readings table as a data file (format in datafileformat.h): the save command
// of the main window and the command-line tool both come here.
//
// The table is a string grid: row 0 captions and column 0 row numbers are not written; each
// saved row gives the texts of columns 1 .. gridColCount - 1, unchanged. The table is only read.
//
// save() writes beside the target and replaces it only at the end (SafeFile): a failed save
// leaves an existing file as it was and creates no new one. A cancelled save does the same;
// when asked to keep what was written (the save command: Cancel in its progress window stops
// the save and keeps the rows written so far), a NEW file keeps those rows, but an existing
// file is never replaced by a part of the table: it stays as it was (keptPartial says which).
class DataFileWriter {
public:
    // Data rows first .. last of a table; empty when first > last.
    struct RowRange {
        int first = 1;
        int last = 0;
        qint64 count() const { return last >= first ? qint64(last) - first + 1 : 0; }
    };

    struct Result {
        enum class Status { Saved, Cancelled, Failed };
        Status status = Status::Saved;
        qint64 rows = 0; // rows written
        QString error;   // what went wrong, for the user, when Failed
        bool keptPartial = false; // Cancelled, and the rows written so far are in a new file
        bool saved() const { return status == Status::Saved; }
    };

    // The rows the range dialog asks for, from the texts of its two boxes, on a table whose
    // last data row is lastRow: each text is read as a decimal integer and made positive; the
    // bounds are swapped when the end comes first, the end is cut at the last row and a start
    // of 0 becomes 1. A start beyond the last row gives an empty range (an empty file).
    // Nothing when either text is not an integer.
    static std::optional<RowRange> rangeFromTexts(const QString& fromText, const QString& toText,
                                                  int lastRow);
    // Every data row of a table with rowCount rows (caption row included).
    static RowRange allRows(int rowCount) { return {1, rowCount - 1}; }

    // Writes the rows of `range` (cut to the table's data rows) to the file at `path`, with
    // the separator its path calls for. Progress, when given, is told of every row and may
    // cancel.
    enum class OnCancel { Discard, KeepWritten };
    // The program's own TXT/CSV (separator by the path), or the portable format
    // (portablecsv.h) whatever the path says.
    enum class Layout { Plain, Portable };
    static Result save(const QString& path, const StringGridModel& grid, RowRange range,
                       DataFileProgress* progress = nullptr, OnCancel onCancel = OnCancel::Discard,
                       Layout layout = Layout::Plain);

    // The same lines written to an open device with the given separator (a command-line tool
    // writing to its standard output). On Cancelled or Failed the device holds the lines
    // written so far.
    static Result write(QIODevice& out, char separator, const StringGridModel& grid, RowRange range,
                        DataFileProgress* progress = nullptr);

    // The rows in the portable format, its header first. A readings table holds texts in the
    // user's formats (Date, Time, Value and Range/unit in columns 1 to 4; the list of a file
    // from another locale in that locale's): each row's date and time are read as the list
    // graph reads them and written as ISO-8601 local time, the value with a dot. The table
    // does not say which function the meter was in, so the function column names the
    // quantity of the unit (Voltage, Current, Resistance, ...). A row whose date or time
    // cannot be read keeps an empty time field rather than being left out; `unreadableTimes`
    // counts them.
    static Result writePortable(QIODevice& out, const StringGridModel& grid, RowRange range,
                                DataFileProgress* progress = nullptr,
                                qint64* unreadableTimes = nullptr);
};
