#pragma once

#include "loggeroutcome.h"

#include <QString>

// The logger operations, as far as what the user is told depends on which one ran.
enum class LoggerOperation { LoadData, Setup, EraseMemory, FactoryCheck };

// Words the logger operations share with the user.
namespace LoggerMessages {
// The busy note while the meter's memory is read or written.
inline const QString ReadingData = QStringLiteral("Reading data from multimer.....");
inline const QString WritingData = QStringLiteral("Writing data to multimer.....");
// A logger command was asked for while another one still holds the meter.
inline const QString StillBusy =
    QStringLiteral("Another DataLogger command is still talking to the meter. Please wait until "
                   "it has finished.");
} // namespace LoggerMessages

class LoggerImage;

// The erase question for a meter whose memory header is `header` (nullptr when the meter did
// not send it): what the memory holds ("The meter holds 5 data sets, 430 records. Erase
// them?"), with "not downloaded yet" when `notDownloaded`.
QString EraseQuestion(const LoggerImage* header, bool notDownloaded);

// What the user is told when `operation` ends with `outcome`, from one table; empty for the
// outcomes that pass in silence (a cancel, a lost port, a busy device, and the failed downloads,
// which the error dialog has already put to the user). The factory check, a production test,
// speaks Chinese.
QString LoggerMessage(LoggerOperation operation, LoggerOutcome outcome);
