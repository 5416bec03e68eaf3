#pragma once

#include <QString>

class DataFileProgress;
class QIODevice;
class StringGridModel;

// Reads a data file (format in datafileformat.h) into the table of a list window.
//
// A file that starts with the portable format's header (portablecsv.h, the recorder's
// journal) is read as that format instead: each row's local date, time, value and unit fill
// columns 1 to 4 (Date, Time, Value, Range), the row number column 0.
//
// The table is a string grid the caller has laid out (captions in row 0, gridColCount columns);
// line n of the file fills data row n: column 0 gets n, columns 1 .. gridColCount - 1 the fields
// of the line in order, texts unchanged (nothing is parsed as a date or number here). The
// table grows a row for each line that does not fit; rows it already had stay even when the
// file has fewer lines (a fresh list window keeps its one empty row for an empty file).
//
// Fields end at a separator; the text after a line's last separator is a field too (a line
// edited by hand may have lost its final separator). Fields beyond the table's columns are
// dropped; when one of them held text the line is counted in `cutLines`. Lines that are empty
// give no row. A line with text but no separator at all gives no row either and is counted
// in `skippedLines`: that is what a TAB file named .csv looks like, line after line, and what
// a stray note in the middle of a file looks like, which must not lose the rows after it. A
// line longer than DataFileFormat::MaxLineBytes is cut there: its first MaxLineBytes bytes
// are read as a line and reading stops after it (`longLine`), so a file that is no data file
// (a binary, one endless line) costs no more than one line of memory and gives no rows made
// of its fragments. A field written between double quotes is read without them, "" inside it
// as one quote.
//
// The file is read front to back once, in large blocks; time and memory outside the table do
// not grow with its length. The table gains its rows one at a time, so a view attached to it
// hears of every row unless the caller holds a StringGridModel::BulkFill, as the open command
// does for its list window.
class DataFileReader {
public:
    struct Result {
        enum class Status { Read, Cancelled, Failed };
        Status status = Status::Read;
        int rows = 0;                // data rows filled
        qint64 skippedLines = 0;     // lines with text that gave no row
        qint64 firstSkippedLine = 0; // its line number (1 = first), 0 when none
        qint64 cutLines = 0;         // lines with more fields than the table has columns
        qint64 longLine = 0;         // the overlong line reading stopped at, 0 when none
        QString error;               // when Failed: what went wrong, for the user
        // For the user, what was left out of the table (empty when nothing was); shown after
        // an open so that a skipped line never goes unnoticed.
        QString notice;
    };

    // Reads the file at `path`, with the separator its path calls for. Progress, when given,
    // is told of every row before it is placed and may cancel; rows placed stay.
    static Result read(const QString& path, StringGridModel& grid,
                       DataFileProgress* progress = nullptr);
    // The same from an open device with the given separator; the file ends where the device
    // first gives no more bytes (a file or a buffer, not a pipe that is still filling).
    static Result read(QIODevice& in, char separator, StringGridModel& grid,
                       DataFileProgress* progress = nullptr);
};
