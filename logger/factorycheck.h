#pragma once

#include "loggeroutcome.h"
#include "loggertiming.h"

#include <QDateTime>
#include <QString>
#include <QtGlobal>

class Clock;
class LiveLinkControl;
class MeterPort;

// The factory check of the meter's logger memory: reads the memory header to show the logging
// interval and the stored start time, then writes a test byte to fifteen addresses (0x10F0,
// 0x20F0, ..., 0xF0F0) and reads each back. A production test: its texts are Chinese.
namespace FactoryCheck {

constexpr int Steps = 15;

// The result lines; `high` is the address's high byte (0x10..0xF0), `testByte` the byte written.
// Bytes appear as two upper-case hexadecimal digits.
QString readingLine();    // the first line of every check
QString openFailedLine(); // the open or dump command was not echoed
QString noHeaderLine();   // fewer than 64 bytes of the memory image arrived
QString stepLine(int high, quint8 testByte);
QString passSuffix();              // appended to a step's line once it read back right
QString writeFailedLine(int high); // the write was not echoed
QString readFailedLine(int high);  // the read was not echoed, or no byte or a wrong one came
QString portLostLine();            // the port failed or vanished during the check
QString passedLine();              // all steps passed and the interval is 1 or 2 s
QString wrongSettingsLine();       // all steps passed but the interval is not 1 or 2 s
// The texts of the two header boxes: the interval in seconds, and the start time in the
// locale's short date and a time with seconds (the date alone at exactly midnight).
QString intervalText(int seconds);
QString timeLabelText(const QDateTime& timeLabel);

// Where the check shows its progress: the check window, or a command-line printer.
class View {
public:
    virtual ~View() = default;
    // Empties both header boxes and the result lines.
    virtual void clear() = 0;
    virtual void showHeader(const QString& interval, const QString& timeLabel) = 0;
    // Adds a result line at the end (and keeps it in sight), or rewrites the last one.
    virtual void addLine(const QString& line) = 0;
    virtual void rewriteLastLine(const QString& line) = 0;
    // A message the user must see (the check cannot start).
    virtual void tell(const QString& message) = 0;
};

// Runs the check. Refuses without a connection or while the meter records (telling why through
// the view, sending nothing). Otherwise clears the view and borrows the device from the live
// side over `loggerPort` (without the usual quiet pause: the check is for a meter on the bench),
// reads the header, runs the fifteen steps and gives the device back. The test byte of each
// step is the milliseconds of `clock`'s time of day, modulo 256; the waits use its monotonic
// count. The first failure stops the check with its line; only a check that ran all steps
// resumes the live readings (its resume command carrying the last read's parameter bytes,
// 02 41 F0 F0 00 03). Never throws for port faults: a lost port ends the check with
// portLostLine (PortLost); the device is given back on every path. A header with the mark of
// an unfinished Setup fails the settings (WrongSettings).
//
// Ends Passed, WrongSettings, NotOpened (the open or dump command was not echoed, or the port
// would not open), NoHeader, NotWritten or ReadFailed, or with a failure of the hand-over:
// NotConnected, meterRecording, DeviceBusy or PortLost.
LoggerOutcome Run(LiveLinkControl& live, MeterPort& loggerPort, View& view, const Clock& clock,
                  const LoggerTiming& timing = {});

} // namespace FactoryCheck
