#include "datasetinfo.h"

#include "clock.h"
#include "loggertext.h"

#include <QLocale>

QString DataSetInfo::functionName() const {
    switch (functionCode) {
    case 1:
        return QStringLiteral("Diode");
    case 2:
        return modeBits / 4 != 0 ? QStringLiteral("RPM") : QStringLiteral("Frequency");
    case 3:
        return QStringLiteral("Ohm");
    case 4:
        return QStringLiteral("Temperature");
    case 5:
        return QStringLiteral("Continuity");
    case 6:
        return QStringLiteral("Capacitance");
    case 9:
    case 13:
    case 15:
        switch (couplingBits / 4) {
        case 1:
            return QStringLiteral("ACA");
        case 2:
            return QStringLiteral("DCA");
        default:
            return QStringLiteral("Current");
        }
    case 11:
        switch (couplingBits / 4) {
        case 1:
            return QStringLiteral("AC Volt");
        case 2:
            return QStringLiteral("DC Volt");
        default:
            return QStringLiteral("Voltage");
        }
    case 12:
        return QStringLiteral("ADP1");
    default: // 0, 7, 8, 10, 14
        return QStringLiteral("ADP0");
    }
}

QString DataSetInfo::RateText() const {
    const auto twoDigits = [](int v) { return QString::number(v).rightJustified(2, u'0'); };
    return twoDigits(intervalSeconds / 60) + u':' + twoDigits(intervalSeconds % 60);
}

QStringList DataSetInfo::listRow(int index) const {
    const QDateTime start = daysToDateTime(startTime);
    return {QString::number(index + 1),
            LoggerText::date(start.date()),
            LoggerText::time(start.time()),
            functionName(),
            RateText(),
            QString::number(recordCount)};
}
