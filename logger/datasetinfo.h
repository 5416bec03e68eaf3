#pragma once

#include <QString>
#include <QStringList>

// One data set of the logger memory: one recording run with its own interval, function and
// record count. Positions are in the data area, the image without its 256-byte header.
struct DataSetInfo {
    double startTime = 0;    // days since 30 Dec 1899
    int intervalSeconds = 0; // the set's interval (units of 100 us) in whole seconds
    int intervalTicks = 0;   // the set's interval as stored, in units of 100 us
    int recordCount = 0;     // n
    int functionCode = 0;    // high nibble of set byte 5
    int modeBits = 0;        // low nibble of set byte 5; bit 3 is altMode
    int couplingBits = 0;    // low nibble of set byte 6; bits 2..3: 1 AC, 2 DC
    int offset = 0;          // the set's first byte (start marker 0xA5)
    int endOffset = 0;       // the set's last byte (end marker 0xA5) = offset + 11 + 2n

    bool altMode() const { return (modeBits & 0x8) != 0; }
    // Data-area position of record i (0-based).
    int recordOffset(int i) const { return offset + 10 + 2 * i; }

    // The name in the data-set list: "Diode", "RPM", "Frequency", "Ohm", ... A current set
    // whose coupling is neither AC nor DC is called "Current".
    QString functionName() const;
    // The interval as minutes ":" seconds, each at least two digits: 1 s "00:01", 300 s
    // "05:00"; intervals of an hour or more keep counting minutes ("60:00").
    QString RateText() const;
    // The row of the data-set list for set `index` (0-based): "Set" (index + 1), "DATE" (the
    // short date), "TIME" ("hh:mm:ss"), "Function", "Rate", "Nums".
    QStringList listRow(int index) const;
};
