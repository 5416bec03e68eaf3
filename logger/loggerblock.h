#pragma once

#include <QByteArray>
#include <QtGlobal>

// One block of a memory dump, meter to PC: the next 64 bytes of the logger memory and a
// checksum byte (their sum modulo 256).
struct LoggerBlock {
    static constexpr int DataSize = 64;
    static constexpr int Size = DataSize + 1;

    static quint8 checksum(const char* data) {
        quint8 sum = 0;
        for (int i = 0; i < DataSize; ++i)
            sum = quint8(sum + quint8(data[i]));
        return sum;
    }
    // True when `block` has Size bytes and its checksum matches its data.
    static bool isGood(const QByteArray& block) {
        return block.size() == Size && checksum(block.constData()) == quint8(block[DataSize]);
    }
};
