#pragma once

#include <QByteArray>
#include <QtGlobal>

// The logger memory of the meter as one byte image, address 0 upwards: a 256-byte header and
// the data sets behind it. Holds what arrived, which may be less than the whole memory; every
// accessor is bounds-checked so that a damaged header can never make a reader step past the
// end of the bytes.
//
// Header fields (unsigned, high byte first): 2..8 the start time of the first set (century,
// year, month, day, hour, minute, second), 9..10 `dataSetCount`, 11..12 `endAddress` (the
// last used byte), 13..15 the recording interval setting in units of 100 us.
class LoggerImage {
public:
    static constexpr int MemorySize = 65536;
    static constexpr int HeaderSize = 256;
    static constexpr int MaxDataSets = 4000;

    LoggerImage() = default;
    explicit LoggerImage(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    const QByteArray& bytes() const { return m_bytes; }
    QByteArray& bytes() { return m_bytes; }
    int size() const { return int(m_bytes.size()); }

    // True when the `count` bytes from `address` on are all present.
    bool holds(qsizetype address, qsizetype count) const {
        return address >= 0 && count >= 0 && address + count <= m_bytes.size();
    }
    // The byte at `address`; 0 past the end.
    quint8 byte(qsizetype address) const {
        return holds(address, 1) ? quint8(m_bytes[address]) : 0;
    }
    // Big-endian values at `address`; 0 when any byte is missing.
    quint32 u16(qsizetype address) const {
        return holds(address, 2) ? quint32(byte(address)) << 8 | byte(address + 1) : 0;
    }
    quint32 u24(qsizetype address) const {
        return holds(address, 3) ? quint32(byte(address)) << 16 | u16(address + 1) : 0;
    }

    int dataSetCount() const { return int(u16(9)); }
    int endAddress() const { return int(u16(11)); }
    int recordingInterval() const { return int(u24(13)); }
    // The records the used memory holds, worked out from the header alone: every set takes
    // 12 bytes besides its 2-byte records, and the sets follow each other without gaps from
    // the end of the header to endAddress. -1 when the header's two counts do not add up.
    int heldRecords() const {
        const int dataBytes = endAddress() + 1 - HeaderSize - 12 * dataSetCount();
        return dataBytes >= 0 && dataBytes % 2 == 0 ? dataBytes / 2 : -1;
    }

    // The start time of the first data set as days since 30 Dec 1899. An impossible date is
    // replaced by today's date and an impossible time by the current time of day (the meter's
    // clock was never set); `today` is the date-time to take them from.
    double timeLabel(double today) const;

    // The byte Setup writes over the time label's seconds (byte 8) before anything else and
    // replaces with the real seconds as its very last write (writeLoggerSetup). No second is
    // 165, and the value is neither erased memory (0xFF) nor cleared memory (0): a header that
    // still holds it was left behind by a Setup that never finished, so its interval and start
    // time may be a mix of old and new bytes.
    static constexpr quint8 SetupUnfinishedMark = 0xA5;
    bool setupUnfinished() const { return holds(8, 1) && byte(8) == SetupUnfinishedMark; }

private:
    QByteArray m_bytes;
};
