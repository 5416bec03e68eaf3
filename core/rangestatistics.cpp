#include "rangestatistics.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

void RangeStatisticsAccumulator::add(double time, double value, bool overload) {
    if (std::isnan(value)) {
        addGap();
        return;
    }
    RangeStatistics& s = m_result;
    if (overload) {
        ++s.overloads;
        addGap();
        return;
    }
    if (s.count == 0) {
        s.min = s.max = value;
        s.minTime = s.maxTime = s.firstTime = time;
    } else if (value < s.min) {
        s.min = value;
        s.minTime = time;
    } else if (value > s.max) {
        s.max = value;
        s.maxTime = time;
    }
    ++s.count;
    s.lastTime = time;
    const double delta = value - s.mean;
    s.mean += delta / double(s.count);
    m_m2 += delta * (value - s.mean);
    s.standardDeviation = s.count > 1 ? std::sqrt(m_m2 / double(s.count - 1)) : 0.0;
    if (m_hasPrevious) {
        const double dt = time - m_previousTime;
        s.integral += (value + m_previousValue) * 0.5 * dt;
        s.integratedSpan += dt;
    }
    m_hasPrevious = true;
    m_previousTime = time;
    m_previousValue = value;
}

RangeStatistics computeRangeStatistics(std::span<const TimedValue> values, double from,
                                       double to) {
    RangeStatisticsAccumulator sum;
    for (const TimedValue& v : values) {
        if (v.time < from || v.time > to)
            continue;
        if (v.gapBefore)
            sum.addGap();
        sum.add(v.time, v.value, v.overload);
    }
    return sum.result();
}

QString rangeStatisticsText(const RangeStatistics& s, const QString& unit,
                            const std::function<QString(double)>& timeText) {
    // Pasted into a spreadsheet: no group separators, which would split or misread numbers.
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString u = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;
    const auto number = [&locale](double v) { return locale.toString(v, 'g', 7); };
    QStringList lines;
    lines << QStringLiteral("Count\t%1").arg(locale.toString(qlonglong(s.count)));
    if (s.count > 0) {
        lines << QStringLiteral("Minimum\t%1%2\t%3").arg(number(s.min), u, timeText(s.minTime));
        lines << QStringLiteral("Maximum\t%1%2\t%3").arg(number(s.max), u, timeText(s.maxTime));
        lines << QStringLiteral("Mean\t%1%2").arg(number(s.mean), u);
        lines << QStringLiteral("Standard deviation\t%1%2").arg(number(s.standardDeviation), u);
        const QString unitTimes = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit + u'·';
        lines << QStringLiteral("Integral\t%1%2s\t%3%4h")
                     .arg(number(s.integral), unitTimes.isEmpty() ? QStringLiteral(" ") : unitTimes,
                          number(s.integralHours()),
                          unitTimes.isEmpty() ? QStringLiteral(" ") : unitTimes);
        lines << QStringLiteral("From\t%1").arg(timeText(s.firstTime));
        lines << QStringLiteral("To\t%1").arg(timeText(s.lastTime));
    }
    lines << QStringLiteral("Overloads (left out)\t%1").arg(locale.toString(qlonglong(s.overloads)));
    return lines.join(u'\n') + u'\n';
}
