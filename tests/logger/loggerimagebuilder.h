#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// Builds logger memory images byte by byte for tests: a header (start time 19 Jul 2016
// 10:30:00) and data sets with their markers. The header's set count and end address follow
// the sets unless a test overrides them to model a damaged header.
class LoggerImageBuilder {
public:
    QByteArray header = QByteArray::fromHex("000014100713"
                                            "0a1e00")
                            .leftJustified(256, 0);
    QByteArray sets;
    QList<int> setAddress;
    int count = -1, end = -1;

    // A set: interval in units of 100 us, set bytes 5 and 6, the 2-byte records.
    LoggerImageBuilder& addSet(quint32 interval, quint8 byte5, quint8 byte6,
                               const QList<quint16>& records) {
        setAddress += 256 + int(sets.size());
        const auto n = records.size();
        sets += QByteArray::fromHex("a55a") + char(interval >> 16) + char(interval >> 8) +
                char(interval) + char(byte5) + char(byte6) + char(0) + char(n >> 8) + char(n);
        for (quint16 r : records)
            sets += QByteArray{} + char(r >> 8) + char(r);
        sets += QByteArray::fromHex("5aa5");
        return *this;
    }
    // The used bytes padded with 0xFF to whole 64-byte blocks, as the meter sends them.
    QByteArray blocks() const {
        QByteArray b = header + sets;
        const int c = count >= 0 ? count : int(setAddress.size());
        const int e = end >= 0 ? end : 255 + int(sets.size());
        b[9] = char(c >> 8);
        b[10] = char(c);
        b[11] = char(e >> 8);
        b[12] = char(e);
        return b.leftJustified((b.size() + 63) / 64 * 64, char(0xFF));
    }
};
