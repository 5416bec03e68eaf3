#include "programsettings.h"

#include "recorderschedule.h"

#include "settingsstore.h"

#include <QSettings>

namespace {

const QString kPortNameKey = QStringLiteral("Port/Name");
const QString kPortVendorKey = QStringLiteral("Port/Vendor");
const QString kPortProductKey = QStringLiteral("Port/Product");
const QString kPortSerialKey = QStringLiteral("Port/Serial");
const QString kPortByIdKey = QStringLiteral("Port/ById");
const QString kMainGeometryKey = QStringLiteral("Window/Geometry");
const QString kChildKey = QStringLiteral("Window/%1");
const QString kRecordIntervalKey = QStringLiteral("Recorder/Interval");
const QString kScheduleIntervalKey = QStringLiteral("Schedule/Interval");
const QString kScheduleStartKey = QStringLiteral("Schedule/Start");
const QString kScheduleStopKey = QStringLiteral("Schedule/Stop");
const QString kScheduleStartTextKey = QStringLiteral("Schedule/StartText");
const QString kScheduleStopTextKey = QStringLiteral("Schedule/StopText");
const QString kScheduleArmedKey = QStringLiteral("Schedule/Armed");

constexpr int kLongestInterval = 59 * 60 + 59; // mm:ss

std::optional<int> readInt(QSettings& settings, const QString& key, int lowest, int highest) {
    bool ok = false;
    const int value = settings.value(key).toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

} // namespace

QString ProgramSettings::portName() {
    return settingsStore().value(kPortNameKey).toString();
}

void ProgramSettings::setPortName(const QString& name) {
    settingsStore().setValue(kPortNameKey, name);
}

PortIdentity ProgramSettings::portIdentity() {
    QSettings settings = settingsStore();
    PortIdentity identity;
    const auto vendor = readInt(settings, kPortVendorKey, 0, 0xFFFF);
    const auto product = readInt(settings, kPortProductKey, 0, 0xFFFF);
    if (vendor)
        identity.vendorId = quint16(*vendor);
    if (product)
        identity.productId = quint16(*product);
    identity.serialNumber = settings.value(kPortSerialKey).toString();
    identity.byIdPath = settings.value(kPortByIdKey).toString();
    if (!identity.isKnown())
        return {};
    return identity;
}

void ProgramSettings::setPortIdentity(const PortIdentity& identity) {
    QSettings settings = settingsStore();
    if (!identity.isKnown()) {
        for (const QString& key : {kPortVendorKey, kPortProductKey, kPortSerialKey, kPortByIdKey})
            settings.remove(key);
        return;
    }
    settings.setValue(kPortVendorKey, int(*identity.vendorId));
    settings.setValue(kPortProductKey, int(*identity.productId));
    settings.setValue(kPortSerialKey, identity.serialNumber);
    if (identity.byIdPath.isEmpty())
        settings.remove(kPortByIdKey);
    else
        settings.setValue(kPortByIdKey, identity.byIdPath);
}

QByteArray ProgramSettings::mainGeometry() {
    return settingsStore().value(kMainGeometryKey).toByteArray();
}

void ProgramSettings::setMainGeometry(const QByteArray& geometry) {
    settingsStore().setValue(kMainGeometryKey, geometry);
}

std::optional<QRect> ProgramSettings::childGeometry(const QString& kind) {
    const QRect frame = settingsStore().value(kChildKey.arg(kind)).toRect();
    if (!frame.isValid())
        return std::nullopt;
    return frame;
}

void ProgramSettings::setChildGeometry(const QString& kind, const QRect& frame) {
    settingsStore().setValue(kChildKey.arg(kind), frame);
}

std::optional<int> ProgramSettings::recordInterval() {
    QSettings settings = settingsStore();
    return readInt(settings, kRecordIntervalKey, 0, kLongestInterval);
}

void ProgramSettings::setRecordInterval(int seconds) {
    settingsStore().setValue(kRecordIntervalKey, seconds);
}

void ProgramSettings::readSchedule(RecorderSchedule& schedule, double nowDays) {
    QSettings settings = settingsStore();
    if (const auto interval = readInt(settings, kScheduleIntervalKey, 0, kLongestInterval))
        schedule.setInterval(*interval);
    bool startOk = false, stopOk = false;
    const double start = settings.value(kScheduleStartKey).toDouble(&startOk);
    const double stop = settings.value(kScheduleStopKey).toDouble(&stopOk);
    const QString startText = settings.value(kScheduleStartTextKey).toString();
    const QString stopText = settings.value(kScheduleStopTextKey).toString();
    if (!startOk || !stopOk || start > stop || stop <= nowDays || startText.isEmpty() ||
        stopText.isEmpty())
        return;
    schedule.setTimes(start, stop);
    schedule.setTexts(startText, stopText);
    schedule.setArmed(settings.value(kScheduleArmedKey).toBool());
}

void ProgramSettings::setSchedule(const RecorderSchedule& schedule) {
    QSettings settings = settingsStore();
    settings.setValue(kScheduleIntervalKey, schedule.interval());
    settings.setValue(kScheduleStartKey, schedule.start());
    settings.setValue(kScheduleStopKey, schedule.stop());
    settings.setValue(kScheduleStartTextKey, schedule.startText());
    settings.setValue(kScheduleStopTextKey, schedule.stopText());
    settings.setValue(kScheduleArmedKey, schedule.armed());
}
