#pragma once

#include "loggerdownload.h"
#include "loggertiming.h"

class LiveLinkControl;
class LoggerProgress;
class MeterPort;

// What the user chooses after a failed download ("Fixed the error ", "Try Again", "Cancel").
enum class LoggerErrorChoice { Fixed, TryAgain, Cancel };

// Whoever answers for the user during loadLoggerData: the data-logger window's error dialog
// and message boxes, or a command-line tool's options.
class LoadLoggerDataUser {
public:
    virtual ~LoadLoggerDataUser() = default;
    // A download ended with a result that another try may mend (see isRetryable); the
    // result, the bad set and the last good address are in `download`.
    virtual LoggerErrorChoice downloadFailed(const LoggerDownload& download) = 0;
    // After Fixed for a bad data set: the header was cut back to the good sets (`confirmed`:
    // the meter echoed every write; the user should power-cycle the meter before it records),
    // or the meter did not confirm it.
    virtual void headerRepaired(bool confirmed) = 0;
};

// Load Data without the window: refuses when no meter is connected (NotConnected) or the
// meter records on its own (meterRecording), sending nothing; otherwise borrows the device from the
// live side, downloads the logger memory until it loads, holds no data, or the user gives up, and
// gives the device back.
//
// A failed download goes to `user`: Fixed repairs the header first when a data set was bad and
// downloads again, Try Again downloads again, Cancel ends with that failure. A cancelled
// transfer, a lost port and a device the live side did not let go of end it at once (the
// result tells which). Each try is one downloadLoggerMemory over the one hand-over. Never
// throws for port faults.
LoggerDownload loadLoggerData(LiveLinkControl& live, MeterPort& loggerPort, LoggerProgress* progress,
                              LoadLoggerDataUser& user, double today,
                              const LoggerTiming& timing = {});
