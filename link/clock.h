#pragma once

#include <QDateTime>
#include <QtGlobal>

// Days since 30 Dec 1899 (the fraction is the time of day) <-> local date and time.
double DateTimeToDays(const QDateTime& dateTime);
QDateTime DaysToDateTime(double days);
// The date and the time of day alone, without the local date-time's time-zone lookup (which
// costs more than formatting both): for tables of many time stamps.
void DaysToDateAndTime(double days, QDate* date, QTime* time);

// Time as the live link sees it: a monotonic millisecond count for intervals and the wall
// clock (as days since 30 Dec 1899) for time stamps. Tests substitute their own.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 monotonicMs() const;
    virtual double now() const;
};
