#include "loggerimage.h"

#include "clock.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

double LoggerImage::timeLabel(double today) const {
    const QDateTime fallback = daysToDateTime(today);
    QDate date(byte(2) * 100 + byte(3), byte(4), byte(5));
    QTime time(byte(6), byte(7), byte(8));
    if (!date.isValid())
        date = fallback.date();
    if (!time.isValid())
        time = fallback.time();
    return dateTimeToDays(QDateTime(date, time));
}
