#include "loggerimagebuilder.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kSetOverhead = 12; // markers, interval, function, coupling, spare, count, markers
constexpr quint32 kMaxInterval = 0xFFFFFF;
constexpr int kOverloadMagnitude = 4000;

void putBigEndian(QByteArray& image, int address, quint32 value, int size) {
    for (int i = size - 1; i >= 0; --i) {
        image[address + i] = char(value & 0xFF);
        value >>= 8;
    }
}

// A smooth, repeatable wobble in -1..1 (the demo must be the same on every run).
double wobble(int i, double phase = 0) {
    return 0.6 * std::sin(i * 0.37 + phase) + 0.4 * std::sin(i * 1.91 + 2 * phase);
}

} // namespace

quint16 LoggerDataSet::record(int range, int count) {
    const int magnitude = std::min(std::abs(count), 0x0FFF);
    return quint16((count < 0 ? 0x8000 : 0) | ((range & 0x07) << 12) | magnitude);
}

quint16 LoggerDataSet::overload(int range, bool negative) {
    return record(range, negative ? -kOverloadMagnitude : kOverloadMagnitude);
}

LoggerImageBuilder::LoggerImageBuilder() : m_timeLabel(QDate(2024, 1, 1), QTime(8, 0)) {}

void LoggerImageBuilder::setTimeLabel(const QDateTime& start) {
    m_timeLabel = start;
}

QDateTime LoggerImageBuilder::timeLabel() const {
    return m_timeLabel;
}

void LoggerImageBuilder::setIntervalSetting(quint32 interval) {
    m_interval = std::min(interval, kMaxInterval);
}

bool LoggerImageBuilder::addSet(const LoggerDataSet& set, QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (set.function < 0 || set.function > 15)
        return fail(QStringLiteral("function code %1 is not 0..15").arg(set.function));
    if (set.modeBits < 0 || set.modeBits > 15)
        return fail(QStringLiteral("mode bits %1 are not 0..15").arg(set.modeBits));
    if (set.coupling < 0 || set.coupling > 3)
        return fail(QStringLiteral("coupling %1 is not 0..3").arg(set.coupling));
    if (set.interval > kMaxInterval)
        return fail(QStringLiteral("interval %1 does not fit in 24 bits").arg(set.interval));
    if (set.records.size() > 0xFFFF)
        return fail(QStringLiteral("%1 records do not fit in one set").arg(set.records.size()));
    const qsizetype size = kSetOverhead + 2 * set.records.size();
    if (kHeaderSize + m_used + size > kMemorySize)
        return fail(QStringLiteral("the set of %1 records does not fit in the memory left")
                        .arg(set.records.size()));
    m_sets.append(set);
    m_used += int(size);
    return true;
}

int LoggerImageBuilder::setCount() const {
    return int(m_sets.size());
}

int LoggerImageBuilder::endAddress() const {
    return kHeaderSize + m_used - 1;
}

QByteArray LoggerImageBuilder::image() const {
    QByteArray image(kMemorySize, char(0xFF));
    const QDate date = m_timeLabel.date();
    const QTime time = m_timeLabel.time();
    image[2] = char(date.year() / 100);
    image[3] = char(date.year() % 100);
    image[4] = char(date.month());
    image[5] = char(date.day());
    image[6] = char(time.hour());
    image[7] = char(time.minute());
    image[8] = char(time.second());
    putBigEndian(image, 9, quint32(m_sets.size()), 2);
    putBigEndian(image, 11, quint32(endAddress()), 2);
    putBigEndian(image, 13, m_interval, 3);

    int at = kHeaderSize;
    for (const LoggerDataSet& set : m_sets) {
        image[at] = char(0xA5);
        image[at + 1] = char(0x5A);
        putBigEndian(image, at + 2, set.interval, 3);
        image[at + 5] = char(set.function << 4 | set.modeBits);
        image[at + 6] = char(set.coupling << 2);
        image[at + 7] = 0;
        putBigEndian(image, at + 8, quint32(set.records.size()), 2);
        at += 10;
        for (const quint16 r : set.records) {
            putBigEndian(image, at, r, 2);
            at += 2;
        }
        image[at] = char(0x5A);
        image[at + 1] = char(0xA5);
        at += 2;
    }
    return image;
}

QByteArray LoggerImageBuilder::emptyImage(const QDateTime& timeLabel, quint32 interval) {
    LoggerImageBuilder b;
    b.setTimeLabel(timeLabel);
    b.setIntervalSetting(interval);
    return b.image();
}

QByteArray LoggerImageBuilder::demoImage() {
    LoggerImageBuilder b;
    b.setTimeLabel(QDateTime(QDate(2024, 5, 14), QTime(9, 30)));
    b.setIntervalSetting(10000);

    // A car battery under load for two minutes, 1 s apart: 12.72 V sagging to about 12.1 V.
    LoggerDataSet battery;
    battery.function = 11;
    battery.coupling = 2;
    battery.interval = 10000;
    for (int i = 0; i < 120; ++i)
        battery.records.append(
            LoggerDataSet::record(2, int(std::lround(1272 - i * 0.52 + 2 * wobble(i)))));
    b.addSet(battery);

    // A thermistor cooling down, 2 s apart: 2.850 kOhm up past 4 kOhm, where the meter moves
    // from its 4 kOhm range to its 40 kOhm range; then the probes are lifted (open circuit).
    LoggerDataSet thermistor;
    thermistor.function = 3;
    thermistor.coupling = 0;
    thermistor.interval = 20000;
    for (int i = 0; i < 84; ++i) {
        const double ohms = 2850.0 * std::exp(i * 0.015) + 4 * wobble(i, 1);
        if (ohms < 3990)
            thermistor.records.append(LoggerDataSet::record(1, int(std::lround(ohms))));
        else
            thermistor.records.append(LoggerDataSet::record(2, int(std::lround(ohms / 10))));
    }
    for (int i = 0; i < 6; ++i)
        thermistor.records.append(LoggerDataSet::overload(5));
    b.addSet(thermistor);

    // The mains for five minutes, 5 s apart: about 230 V AC.
    LoggerDataSet mains;
    mains.function = 11;
    mains.coupling = 1;
    mains.interval = 50000;
    for (int i = 0; i < 60; ++i)
        mains.records.append(LoggerDataSet::record(3, int(std::lround(2302 + 25 * wobble(i, 2)))));
    b.addSet(mains);

    // An oven warming up in Celsius, 10 s apart: 21 C to about 68 C.
    LoggerDataSet oven;
    oven.function = 4;
    oven.modeBits = 8;
    oven.coupling = 0;
    oven.interval = 100000;
    for (int i = 0; i < 100; ++i)
        oven.records.append(LoggerDataSet::record(
            0, int(std::lround(21 + 48 * (1 - std::exp(-i / 35.0)) + 0.6 * wobble(i, 3)))));
    b.addSet(oven);

    // A small motor's current, 1 s apart: braking pulls it below zero, a stall overloads the
    // 40 mA range for one reading.
    LoggerDataSet motor;
    motor.function = 9;
    motor.coupling = 2;
    motor.interval = 10000;
    for (int i = 0; i < 60; ++i) {
        if (i == 41)
            motor.records.append(LoggerDataSet::overload(0));
        else
            motor.records.append(LoggerDataSet::record(
                0, int(std::lround(1500 + 2000 * std::sin(i * 0.21) + 40 * wobble(i, 4)))));
    }
    b.addSet(motor);
    return b.image();
}

QByteArray LoggerImageBuilder::generatedImage(int sets, int records) {
    struct Kind {
        int function, modeBits, coupling, range, centre, swing;
    };
    // DC volts, AC volts, ohms, Celsius, frequency, capacitance, DC milliamps.
    static const Kind kinds[] = {{11, 0, 2, 2, 1250, 300}, {11, 0, 1, 3, 2300, 40},
                                 {3, 0, 0, 1, 1800, 600},  {4, 8, 0, 0, 45, 20},
                                 {2, 0, 0, 2, 500, 100},   {6, 0, 0, 4, 2200, 200},
                                 {9, 0, 2, 0, 1200, 1500}};
    if (sets < 0 || records < 0 || records > 0xFFFF)
        return QByteArray();
    LoggerImageBuilder b;
    for (int s = 0; s < sets; ++s) {
        const Kind& k = kinds[s % std::size(kinds)];
        LoggerDataSet set;
        set.function = k.function;
        set.modeBits = k.modeBits;
        set.coupling = k.coupling;
        set.interval = quint32(10000 * (1 + s % 3));
        set.records.reserve(records);
        for (int i = 0; i < records; ++i)
            set.records.append(LoggerDataSet::record(
                k.range, int(std::lround(k.centre + k.swing * wobble(i, s)))));
        if (!b.addSet(set))
            return QByteArray();
    }
    return b.image();
}

bool LoggerImageBuilder::load(const QString& path, QByteArray* image, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    // One byte more than the memory tells a too-long file from a full one.
    const QByteArray bytes = file.read(kMemorySize + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    if (bytes.size() < kHeaderSize || bytes.size() > kMemorySize) {
        *error = QStringLiteral("%1 is not a logger image: %2 bytes, not 256..65536")
                     .arg(path)
                     .arg(bytes.size() > kMemorySize ? QStringLiteral("more than 65536")
                                                     : QString::number(bytes.size()));
        return false;
    }
    *image = bytes + QByteArray(kMemorySize - bytes.size(), char(0xFF));
    return true;
}

bool LoggerImageBuilder::save(const QString& path, const QByteArray& image, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
