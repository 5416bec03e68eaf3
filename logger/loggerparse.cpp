#include "loggerparse.h"

#include <algorithm>

LoggerParse parseLoggerImage(const LoggerImage& image, double today) {
    LoggerParse parse;
    if (image.size() < LoggerImage::HeaderSize) {
        parse.result = LoggerOutcome::TooShort;
        return parse;
    }
    const int used = image.endAddress() + 1;
    if (image.size() < used) {
        parse.result = LoggerOutcome::Incomplete;
        return parse;
    }
    const int count = image.dataSetCount();
    if (count == 0) {
        parse.result = LoggerOutcome::NoData;
        return parse;
    }
    if (count > LoggerImage::MaxDataSets) {
        parse.result = LoggerOutcome::TooManySets;
        return parse;
    }

    // Bytes past the end address are the padding of the last block, never data.
    const int limit = std::min(image.size(), used);
    QList<DataSetInfo> sets;
    sets.reserve(count);
    double runningTime = image.timeLabel(today);
    int s = LoggerImage::HeaderSize;
    for (int k = 0; k < count; ++k) {
        const int n = s + 10 <= limit ? int(image.u16(s + 8)) : 0;
        const int end = s + 12 + 2 * n; // one past the set's last byte
        const bool good = s + 10 <= limit && image.byte(s) == 0xA5 && image.byte(s + 1) == 0x5A &&
                          end <= limit && image.byte(end - 2) == 0x5A &&
                          image.byte(end - 1) == 0xA5;
        if (!good) {
            parse.result = LoggerOutcome::BadDataSet;
            parse.badSetIndex = k;
            parse.lastGoodAddress = s - 1;
            return parse;
        }
        DataSetInfo info;
        info.startTime = runningTime;
        info.intervalTicks = int(image.u24(s + 2));
        info.intervalSeconds = info.intervalTicks / 10000;
        info.recordCount = n;
        info.functionCode = image.byte(s + 5) >> 4;
        info.modeBits = image.byte(s + 5) & 0x0F;
        info.couplingBits = image.byte(s + 6) & 0x0F;
        info.offset = s - LoggerImage::HeaderSize;
        info.endOffset = info.offset + 11 + 2 * n;
        sets.append(info);
        runningTime += double(n) * info.intervalSeconds / 86400.0;
        s = end;
    }
    parse.result = LoggerOutcome::Loaded;
    parse.sets = std::move(sets);
    return parse;
}
