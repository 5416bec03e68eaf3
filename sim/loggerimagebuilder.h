#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>

// One recording run of the meter's logger, as the meter stores it.
struct LoggerDataSet {
    int function = 11;        // function code 0..15 (11 voltage, 3 resistance, ...)
    int modeBits = 0;         // 0..15; bit 3 is the alternate mode (RPM, Celsius)
    int coupling = 2;         // 0..3: 1 AC, 2 DC (stored in bits 2..3 of the set's byte 6)
    quint32 interval = 10000; // sample interval in units of 100 us (10,000 = 1 s), 24 bits
    QList<quint16> records;   // 2-byte records in time order (see record())

    // A record: sign in bit 15, range code 0..7 in bits 14..12, magnitude 0..4095 below.
    // `count` is the signed reading in counts; its size is clamped to 4095.
    static quint16 record(int range, int count);
    // An overloaded record (magnitude 4000, which the PC shows as OL or -OL).
    static quint16 overload(int range, bool negative = false);
};

// Builds the byte image of the meter's 64 KiB logger memory: a 256-byte header and the data
// sets back to back from address 256.
//
// Header (numbers high byte first): 0..1 unused; 2..8 the time label (century, year in the
// century, month, day, hour, minute, second), the start of the first set; 9..10 the number of
// sets; 11..12 the address of the last used byte (255 with no set); 13..15 the recording
// interval setting (100-us units); 16..255 unused. A set: A5 5A, interval (3 bytes), function
// << 4 | mode bits, coupling << 2, one unused byte, record count (2 bytes), the records, 5A A5.
// Later sets carry no start time of their own: each follows the previous one in time.
//
// Bytes the meter never wrote read 0xFF, as erased memory does. Widget-free and independent of
// the program's own decoding, so the emulator and tests can use it as a second opinion.
class LoggerImageBuilder {
public:
    static constexpr int kMemorySize = 65536;
    static constexpr int kHeaderSize = 256;

    LoggerImageBuilder();

    // Start time of the first set (whole seconds; years 0..9999).
    void setTimeLabel(const QDateTime& start);
    QDateTime timeLabel() const;
    // The interval the meter will use for its next recording (header bytes 13..15).
    void setIntervalSetting(quint32 interval);

    // Appends a set. Returns false and leaves the builder unchanged when a field is out of
    // range or the set does not fit in the memory left; *error says why.
    bool addSet(const LoggerDataSet& set, QString* error = nullptr);
    int setCount() const;
    // Address of the last used byte (255 with no set).
    int endAddress() const;

    // The whole 64 KiB memory.
    QByteArray image() const;

    // An erased memory: no set, last used byte 255, the given time label and interval.
    static QByteArray emptyImage(const QDateTime& timeLabel, quint32 interval);
    // A few realistic sets for trying Load Data without a meter: DC voltage, a resistance that
    // changes range and ends open-circuit (overload), AC voltage, temperature in Celsius and
    // a DC current with a negative swing and an overload; 430 records in all.
    static QByteArray demoImage();
    // `sets` generated sets of `records` records each, cycling through the functions. Returns
    // an empty array when they do not fit in the memory.
    static QByteArray generatedImage(int sets, int records);

    // Image files are the raw memory bytes. Loading accepts 256..65536 bytes (a saved
    // download may stop at the last used block) and pads the rest with 0xFF, as erased.
    static bool load(const QString& path, QByteArray* image, QString* error);
    static bool save(const QString& path, const QByteArray& image, QString* error);

private:
    QDateTime m_timeLabel;
    quint32 m_interval = 10000;
    QList<LoggerDataSet> m_sets;
    int m_used = 0; // bytes of the sets
};
