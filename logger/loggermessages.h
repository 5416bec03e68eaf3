#pragma once

#include <QString>

// Words the logger operations share with the user.
namespace LoggerMessages {
inline const QString NoConnection = QStringLiteral("There is no connection with multimeter !");
// The busy note while the meter's memory is read or written.
inline const QString ReadingData = QStringLiteral("Reading data from multimer.....");
inline const QString WritingData = QStringLiteral("Writing data to multimer.....");
} // namespace LoggerMessages
