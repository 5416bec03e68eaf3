#include "clock.h"

#include <QElapsedTimer>

#include <cmath>

namespace {
const qint64 kEpochJulianDay = QDate(1899, 12, 30).toJulianDay();
constexpr double kMsPerDay = 86400000.0;
} // namespace

double DateTimeToDays(const QDateTime& dateTime) {
    const double days = double(dateTime.date().toJulianDay() - kEpochJulianDay);
    return days + dateTime.time().msecsSinceStartOfDay() / kMsPerDay;
}

QDateTime DaysToDateTime(double days) {
    QDate date;
    QTime time;
    DaysToDateAndTime(days, &date, &time);
    return QDateTime(date, time);
}

void DaysToDateAndTime(double days, QDate* date, QTime* time) {
    const double whole = std::floor(days);
    qint64 ms = qint64(std::llround((days - whole) * kMsPerDay));
    qint64 julian = kEpochJulianDay + qint64(whole);
    if (ms >= qint64(kMsPerDay)) {
        ms -= qint64(kMsPerDay);
        ++julian;
    }
    *date = QDate::fromJulianDay(julian);
    *time = QTime::fromMSecsSinceStartOfDay(int(ms));
}

qint64 Clock::monotonicMs() const {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

double Clock::now() const {
    return DateTimeToDays(QDateTime::currentDateTime());
}
