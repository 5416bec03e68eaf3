#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// Dates and times as text in the user's regional formats (QLocale()), written so that they
// read back to the same date-time: the short date with a four-digit year (a two-digit year
// would come back in the wrong century) and the long time to the second without the time
// zone (the text means local wall-clock time).
class DateTimeText {
public:
    // The locale's short date format with the year widened to four digits.
    static QString dateFormat();
    // The locale's long time format without the time zone (and without the brackets that held
    // it).
    static QString timeFormat();

    static QString dateString(QDate date);
    static QString timeString(QTime time);
    // dateString + " " + timeString.
    static QString Format(const QDateTime& dateTime);

    // Reads a text written by Format, or the locale's plain short date + " " + long time
    // (two-digit years are taken within 50 years of today, a time zone name is honoured).
    // The result is local time; nothing when the text is not a date and time.
    static std::optional<QDateTime> parse(const QString& text);
};
