#pragma once

#include <QDate>
#include <QString>
#include <QTime>

// The texts of the logger's tables, in the user's regional formats (QLocale()).
namespace LoggerText {
// The locale's short date.
QString date(QDate date);
// "hh:mm:ss", 24 hours.
QString time(QTime time);
// A record's value with `decimals` decimals and the locale's decimal separator, without
// group separators (the table is read back by the data file reader).
QString value(float value, int decimals);
} // namespace LoggerText
