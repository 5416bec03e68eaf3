#pragma once

#include <QDateTime>
#include <QtGlobal>

#include <optional>

class LoggerCommandBuffer;
class TComPort;

// The logger's setup and erase commands over the logger port (open on the meter's device; see
// LoggerPortHandOver), each command echoed by the meter. The meter takes new settings only
// after it is switched off and on again.

enum class LoggerSetupResult {
    Written,      // every write was echoed
    NotOpened,    // the meter did not echo the open command; nothing was written
    NotConfirmed, // some write was not echoed (the others were still sent)
    PortLost,     // the port failed
};

// Writes the recording interval (header bytes 13..15, units of 100 us, high byte first) and
// the start time of the next recording (bytes 2..8: century, year in the century, month, day,
// hour, minute, second), each only when given, after the open command. Every write is tried
// even after one failed, interval first, so the header is never left half written by choice.
LoggerSetupResult WriteLoggerSettings(TComPort& port, LoggerCommandBuffer& commands,
                                      std::optional<quint32> interval,
                                      std::optional<QDateTime> timeLabel);

// Clears the logger memory: the open command (its echo is not required), then the erase
// command. True when the meter echoed the erase command.
bool EraseLoggerMemory(TComPort& port, LoggerCommandBuffer& commands);
