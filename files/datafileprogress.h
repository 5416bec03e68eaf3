#pragma once

#include <QtGlobal>

// What a data file save or open tells its progress window, and how the window stops it.
//
// The file code calls advance() once per table row, so a cancel takes effect after the row in
// hand; a million-row file means a million calls, so an implementation keeps advance() cheap
// and throttles its own repainting and event processing (by elapsed time, not by count).
// Nothing here knows about windows: the progress dialog, a command-line tool or a test each
// implement it as they need.
class DataFileProgress {
public:
    virtual ~DataFileProgress() = default;

    // Called once before the first row with the number of rows to come, or -1 when that is not
    // known in advance (an open reads until the end of the file).
    virtual void begin(qint64 total) { Q_UNUSED(total) }
    // Called for every row with the number of rows handled so far, this one included (a save:
    // after writing it; an open: before placing it). Returning false stops the work; an open
    // then does not place the row.
    virtual bool advance(qint64 done) = 0;
};
