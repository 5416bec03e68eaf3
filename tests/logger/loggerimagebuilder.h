#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// Builds logger memory images byte by byte for tests: a header and data sets with their
// markers. The header's set count and end address follow the sets unless a test overrides
// them to model a damaged header.
class LoggerImageBuilder {
public:
    LoggerImageBuilder() : m_header(256, '\0') { timeLabel(20, 16, 7, 19, 10, 30, 0); }

    LoggerImageBuilder& timeLabel(int century, int year, int month, int day, int hour, int minute,
                                  int second) {
        const int v[] = {century, year, month, day, hour, minute, second};
        for (int i = 0; i < 7; ++i)
            m_header[2 + i] = char(v[i]);
        return *this;
    }
    // A set: interval in units of 100 us, set bytes 5 and 6, the 2-byte records.
    LoggerImageBuilder& addSet(quint32 interval, quint8 byte5, quint8 byte6,
                               const QList<quint16>& records) {
        QByteArray s;
        s += char(0xA5);
        s += char(0x5A);
        s += char(interval >> 16);
        s += char(interval >> 8);
        s += char(interval);
        s += char(byte5);
        s += char(byte6);
        s += char(0);
        s += char(records.size() >> 8);
        s += char(records.size());
        for (quint16 r : records) {
            s += char(r >> 8);
            s += char(r);
        }
        s += char(0x5A);
        s += char(0xA5);
        m_setAddresses += 256 + int(m_sets.size());
        m_sets += s;
        return *this;
    }
    LoggerImageBuilder& setCount(int count) {
        m_count = count;
        return *this;
    }
    LoggerImageBuilder& endAddress(int address) {
        m_end = address;
        return *this;
    }

    int setAddress(int k) const { return m_setAddresses.at(k); }

    // The used bytes: header and sets, with the header filled in.
    QByteArray used() const {
        QByteArray h = m_header;
        const int count = m_count >= 0 ? m_count : int(m_setAddresses.size());
        const int end = m_end >= 0 ? m_end : 255 + int(m_sets.size());
        h[9] = char(count >> 8);
        h[10] = char(count);
        h[11] = char(end >> 8);
        h[12] = char(end);
        return h + m_sets;
    }
    // The used bytes padded with 0xFF to whole 64-byte blocks, as the meter sends them.
    QByteArray blocks() const {
        QByteArray b = used();
        while (b.size() % 64 != 0)
            b += char(0xFF);
        return b;
    }

private:
    QByteArray m_header;
    QByteArray m_sets;
    QList<int> m_setAddresses;
    int m_count = -1;
    int m_end = -1;
};
