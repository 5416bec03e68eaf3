#include "daycount.h"

#include <QTimeZone>

#include <cmath>

namespace {

const qint64 kEpochJulianDay = QDate(1899, 12, 30).toJulianDay();

// The Julian day and the milliseconds into it of a day count, rounded to the millisecond.
std::pair<qint64, int> splitDays(double days) {
    const double whole = std::floor(days);
    qint64 ms = qint64(std::llround((days - whole) * kMsPerDay));
    qint64 julian = kEpochJulianDay + qint64(whole);
    if (ms >= qint64(kMsPerDay)) {
        ms -= qint64(kMsPerDay);
        ++julian;
    }
    return {julian, int(ms)};
}

} // namespace

double dateTimeToDays(const QDateTime& dateTime) {
    const double days = double(dateTime.date().toJulianDay() - kEpochJulianDay);
    return days + dateTime.time().msecsSinceStartOfDay() / kMsPerDay;
}

QDateTime daysToDateTime(double days) {
    const auto [julian, ms] = splitDays(days);
    return QDateTime(QDate::fromJulianDay(julian), QTime::fromMSecsSinceStartOfDay(ms));
}

void daysToDateAndTime(double days, QDate* date, QTime* time) {
    const auto [julian, ms] = splitDays(days);
    *date = QDate::fromJulianDay(julian);
    *time = QTime::fromMSecsSinceStartOfDay(ms);
}

QDateTime daysToUtcDateTime(double days) {
    const auto [julian, ms] = splitDays(days);
    return QDateTime(QDate::fromJulianDay(julian), QTime::fromMSecsSinceStartOfDay(ms),
                     QTimeZone::utc());
}
