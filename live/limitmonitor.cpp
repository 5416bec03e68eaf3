#include "limitmonitor.h"

#include "clock.h"
#include "livelink.h"
#include "liveupdate.h"
#include "rangetable.h"
#include "recorder.h"
#include "settingsstore.h"

#include <QSettings>

namespace {

QString groupOf(const QString& function) {
    QString key = function.isEmpty() ? QStringLiteral("none") : function;
    key.replace(u'/', u'_');
    return QStringLiteral("Limits/") + key;
}

std::optional<double> readNumber(const QSettings& store, const QString& key) {
    bool ok = false;
    const double v = store.value(key).toDouble(&ok);
    if (!store.contains(key) || !ok)
        return std::nullopt;
    return v;
}

QString numberText(double v) {
    return QString::number(v, 'g', 10);
}

} // namespace

LimitMonitor::LimitMonitor(LiveLink& link, Recorder* recorder, QObject* parent)
    : QObject(parent), m_link(link), m_recorder(recorder) {
    connect(&link, &LiveLink::updated, this, &LimitMonitor::onUpdated);
}

Limits LimitMonitor::storedLimits(const QString& function) {
    QSettings store = settingsStore();
    store.beginGroup(groupOf(function));
    Limits limits;
    limits.high = readNumber(store, QStringLiteral("high"));
    limits.low = readNumber(store, QStringLiteral("low"));
    limits.hysteresis = readNumber(store, QStringLiteral("hysteresis")).value_or(0);
    limits.beep = store.value(QStringLiteral("beep"), false).toBool();
    limits.stopRecording = store.value(QStringLiteral("stopRecording"), false).toBool();
    return limits;
}

void LimitMonitor::storeLimits(const QString& function, const Limits& limits) {
    QSettings store = settingsStore();
    store.remove(groupOf(function));
    store.beginGroup(groupOf(function));
    if (limits.high)
        store.setValue(QStringLiteral("high"), *limits.high);
    if (limits.low)
        store.setValue(QStringLiteral("low"), *limits.low);
    store.setValue(QStringLiteral("hysteresis"), limits.hysteresis);
    store.setValue(QStringLiteral("beep"), limits.beep);
    store.setValue(QStringLiteral("stopRecording"), limits.stopRecording);
}

void LimitMonitor::setLimits(const QString& function, const Limits& limits) {
    storeLimits(function, limits);
    if (function != m_function)
        return;
    const bool wasOutside = m_watch.zone() != LimitWatch::Zone::Inside;
    m_watch.setLimits(limits);
    if (m_recorder)
        m_recorder->markLimit(QString());
    if (wasOutside)
        Q_EMIT zoneChanged(LimitWatch::Zone::Inside, QString());
}

QString LimitMonitor::describe(LimitWatch::Zone zone, const Limits& limits,
                               const QByteArray& unit, const QString& shown) {
    const QString u = QString::fromUtf8(unit);
    switch (zone) {
    case LimitWatch::Zone::Above:
        return QStringLiteral("above the high limit of %1 %2: %3")
            .arg(numberText(limits.high.value_or(0)), u, shown);
    case LimitWatch::Zone::Below:
        return QStringLiteral("below the low limit of %1 %2: %3")
            .arg(numberText(limits.low.value_or(0)), u, shown);
    case LimitWatch::Zone::Inside:
        break;
    }
    return QString();
}

void LimitMonitor::onUpdated(const LiveUpdate& update) {
    const Reading& r = update.reading;
    if (r.functionName != m_function || update.functionChanged) {
        const bool wasOutside = m_watch.zone() != LimitWatch::Zone::Inside;
        m_function = r.functionName;
        m_watch.setLimits(storedLimits(m_function));
        if (m_recorder)
            m_recorder->markLimit(QString());
        if (wasOutside)
            Q_EMIT zoneChanged(LimitWatch::Zone::Inside, QString());
    }
    const RangeTable::SiScale si = RangeTable::toSi(r.unitText);
    m_unit = si.unit;
    if (!m_watch.limits().any())
        return;
    std::optional<double> value;
    if (!r.overload)
        value = double(r.value) * si.factor + si.offset;
    if (!m_watch.feed(value, r.negative))
        return;
    const LimitWatch::Zone zone = m_watch.zone();
    if (m_recorder)
        m_recorder->markLimit(zone == LimitWatch::Zone::Above   ? QStringLiteral("above")
                              : zone == LimitWatch::Zone::Below ? QStringLiteral("below")
                                                                : QString());
    const QString shown = r.valueText + u' ' + r.unitText;
    Q_EMIT zoneChanged(zone, describe(zone, m_watch.limits(), m_unit, shown));
    if (zone != LimitWatch::Zone::Inside && m_watch.limits().stopRecording && m_recorder &&
        m_recorder->recording()) {
        // The crossing reading is the test's last sample.
        m_recorder->takeSample(m_link.clock().now());
        m_recorder->stop();
    }
}
