#pragma once

#include "loggeroutcome.h"

#include <QString>

// The logger operations, as far as what the user is told depends on which one ran.
enum class LoggerOperation { LoadData, Setup, EraseMemory, FactoryCheck };

// Words the logger operations share with the user.
namespace LoggerMessages {
// The busy note while the meter's memory is read or written.
inline const QString readingData = QStringLiteral("Reading data from multimer.....");
inline const QString writingData = QStringLiteral("Writing data to multimer.....");
// A logger command was asked for while another one still holds the meter.
inline const QString stillBusy =
    QStringLiteral("Another DataLogger command is still talking to the meter. Please wait until "
                   "it has finished.");
// Setup found the mark of an earlier Setup that never finished in the meter's header.
inline const QString setupUnfinished = QStringLiteral(
    "An earlier Setup did not finish: the meter's interval and start time may be incomplete. "
    "Please set them again.");
} // namespace LoggerMessages

// Where a logger operation was when the meter was lost (the port failed or vanished), as far
// as what is left on the meter depends on it.
enum class LoggerStep {
    ReadingSettings,  // Setup, before anything was written
    WritingInterval,  // Setup, writing the interval (or the mark that goes first)
    WritingStartTime, // Setup, writing the start time
    ReadingHeader,    // Erase Memory, before the question
    BeforeErase,      // Erase Memory, Yes given, the erase command not sent yet
    Erasing,          // Erase Memory, the erase command sent, its echo not seen
};

// What the user is told when the meter was lost at `step`: what happened and what the meter
// may hold now, from one table.
QString portLostMessage(LoggerStep step);

// The error dialog's text after a failed download (`outcome`; `errors`: blocks rejected;
// `unechoed`: the letters of the open and dump commands the meter did not echo; `received`:
// bytes of the memory that arrived), one text for each way it fails.
QString downloadFailureMessage(LoggerOutcome outcome, int errors, const QString& unechoed,
                               int received);
// True when the download failed on the memory header, so that "Fixed the error " (cutting the
// header back to the good data sets) can mend it.
bool headerCanBeFixed(LoggerOutcome outcome);

class LoggerImage;

// The erase question for a meter whose memory header is `header` (nullptr when the meter did
// not send it): what the memory holds ("The meter holds 5 data sets, 430 records. Erase
// them?"), with "not downloaded yet" when `notDownloaded`.
QString eraseQuestion(const LoggerImage* header, bool notDownloaded);

// What the user is told when `operation` ends with `outcome`, from one table; empty for the
// outcomes that pass in silence (a cancel, a lost port, a busy device, and the failed downloads,
// which the error dialog has already put to the user). The factory check, a production test,
// speaks Chinese.
QString loggerMessage(LoggerOperation operation, LoggerOutcome outcome);
