#pragma once

#include <QDateTime>

// Date-times as a day count: days since 30 Dec 1899, the fraction being the time of day (one
// second is 1/86400). Time stamps of readings, schedule times and the chart's time axis all
// use it, so every conversion goes through here and they agree to the millisecond.
//
// A day count means wall-clock time: the date and time a person reads, with no time zone. It
// is not an instant, so a day count never moves when the time zone or summer time changes.

inline constexpr double kSecondsPerDay = 86400.0;
inline constexpr double kMsPerDay = 86400000.0;

constexpr double SecondsToDays(double seconds) {
    return seconds / kSecondsPerDay;
}

constexpr double DaysToSeconds(double days) {
    return days * kSecondsPerDay;
}

// The wall-clock date and time of `dateTime` (its own date() and time()) as a day count.
// Days before 30 Dec 1899 are negative, the fraction still counting forward from midnight
// (29 Dec 1899 06:00 is -0.75).
double dateTimeToDays(const QDateTime& dateTime);

// A day count as local date and time, rounded to the nearest millisecond. A time of day that
// rounds up to midnight becomes the start of the next day.
QDateTime daysToDateTime(double days);
// The date and the time of day alone, without the local date-time's time-zone lookup (which
// costs more than formatting both): for tables of many time stamps.
void daysToDateAndTime(double days, QDate* date, QTime* time);

// The same wall-clock date and time, but in UTC: free of summer-time gaps, for labels of a
// time axis whose keys come from DaysToEpochSeconds.
QDateTime daysToUtcDateTime(double days);

// A day count as seconds since 1 Jan 1970 00:00 UTC with the wall-clock time taken as UTC
// (the key QCustomPlot's date-time axis expects), and back.
constexpr double DaysToEpochSeconds(double days) {
    return DaysToSeconds(days - 25569.0); // 30 Dec 1899 .. 1 Jan 1970
}

constexpr double EpochSecondsToDays(double seconds) {
    return SecondsToDays(seconds) + 25569.0;
}
