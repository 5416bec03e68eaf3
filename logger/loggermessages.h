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
} // namespace LoggerMessages

// What the user is told when `operation` ends with `outcome`, from one table; empty for the
// outcomes that pass in silence (a cancel, a lost port, a busy device, and the failed downloads,
// which the error dialog has already put to the user). The factory check, a production test,
// speaks Chinese.
QString LoggerMessage(LoggerOperation operation, LoggerOutcome outcome);
