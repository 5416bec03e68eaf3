#include "clock.h"

#include <QDateTime>
#include <QElapsedTimer>

qint64 Clock::monotonicMs() const {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

double Clock::now() const {
    return dateTimeToDays(QDateTime::currentDateTime());
}
