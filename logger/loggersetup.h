#pragma once

#include "loggermessages.h"
#include "loggeroutcome.h"
#include "loggertiming.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QtGlobal>

#include <optional>

class Clock;
class LiveLinkControl;
class LoggerCommandBuffer;
class MeterPort;

// The logger's settings as the meter keeps them in its memory header: the start time it gives
// its next recording (bytes 2..8) and the recording interval (bytes 13..15, in 100-us units as
// stored, and in whole seconds).
struct LoggerSettings {
    QDateTime timeLabel;
    int intervalSeconds = 0;
    quint32 intervalUnits = 0;
};

// What the user chose in the setup dialog: the interval box's text as typed or picked, and the
// start time's date and time.
struct LoggerSetupChoice {
    QString intervalText;
    QDate date;
    QTime time;
};

// The result of reading the settings: the settings when the meter sent them, otherwise why
// not (NotOpened, DumpRefused or NoHeader). `Unfinished`: the header carries the mark of a
// Setup that never finished (LoggerImage::setupUnfinished), so the settings may be torn.
struct LoggerSettingsRead {
    std::optional<LoggerSettings> settings;
    LoggerOutcome failure = LoggerOutcome::NotOpened;
    bool unfinished = false;
};


// Reads the settings over `port` (the logger port, open on the meter's device): the open and
// dump commands with echo, then the header block (readLoggerHeaderBlocks). A time label that
// is no valid date or time is replaced by `today`'s (days since 30 Dec 1899). Port faults are
// thrown as the port throws them.
LoggerSettingsRead readLoggerSetup(MeterPort& port, LoggerCommandBuffer& commands, double today,
                                   const Clock& clock, const LoggerTiming& timing = {});

// Writes the settings over `port` with eleven echoed memory writes, one byte each. The meter
// takes them one at a time, so a meter switched off or unplugged in between keeps a mix of old
// and new bytes (an interval of 19,984 s from 10,000 and 20,000). To make that visible at the
// next header read, the first write puts LoggerImage::SetupUnfinishedMark over the seconds
// (address 8); then come the interval `units` (100-us units, at most 24 bits) to 13, 14, 15,
// the date's century, year in the century, month and day to 2..5, hour and minute to 6, 7, and
// last the real seconds to 8, which clears the mark. A header read that finds the mark knows
// the settings are torn (LoggerSettingsRead::Unfinished) instead of using them.
//
// All eleven are sent even when one is not echoed; true only when every one was. `step`, when
// given, follows the writes (for the message when the port fails). The command buffer is left
// holding the last write (address 8 and the seconds). Port faults are thrown as the port
// throws them.
bool writeLoggerSetup(MeterPort& port, LoggerCommandBuffer& commands, quint32 units, QDate date,
                      QTime time, const LoggerTiming& timing = {},
                      LoggerStep* step = nullptr);

// Whoever answers for the user during runLoggerSetup: the setup dialog, the busy note and the
// message boxes, or a command-line tool.
class LoggerSetupUser {
public:
    virtual ~LoggerSetupUser() = default;
    // Shows the busy note with `text` ("Reading data from multimer.....", "Writing data to
    // multimer....."); an empty text hides it. runLoggerSetup always hides it before it returns.
    virtual void showBusy(const QString& text) = 0;
    // The settings read from the meter; the user's new ones, or std::nullopt for Cancel.
    virtual std::optional<LoggerSetupChoice> chooseSettings(const LoggerSettings& current) = 0;
    // A message the user must see.
    virtual void tell(const QString& message) = 0;
};

// The DataLogger menu's Setup without the windows: refuses without a connection or while the
// meter records (telling why, sending nothing); otherwise borrows the device from the live side
// over `loggerPort`, reads the settings, lets `user` change them, writes them, and gives the
// device back.
//
// The live readings are resumed (the resume command carrying the last write's parameter bytes,
// or zeros) once the meter has shown its settings, whatever the user chose; when the meter did
// not take part (no echo of the open or dump command, no header) the device is given back
// without it. The meter's own interval text (RecordingInterval::text of what it holds, also an
// interval none of the dialog's choices stands for) writes that interval back unchanged; any
// other text that RecordingInterval::parse refuses is told to the user with its reason, and
// nothing is written. A header with the mark of an unfinished Setup is told to the user
// before the dialog, which then offers today's time. Never throws for port faults (PortLost,
// told with the step it was in); the device is given back on every path. `clock` gives today's date and the monotonic times.
//
// Ends Written, NotWritten, Cancelled, IntervalRefused, NotOpened, DumpRefused or NoHeader, or
// with a failure of the hand-over: NotConnected, meterRecording, DeviceBusy or PortLost.
LoggerOutcome runLoggerSetup(LiveLinkControl& live, MeterPort& loggerPort, LoggerSetupUser& user,
                             const Clock& clock, const LoggerTiming& timing = {});

// The time format of the user's locale with seconds and without a time zone (the long format
// less its zone), for time pickers and texts that show a meter's clock to the second.
QString localeTimeFormatWithSeconds();
