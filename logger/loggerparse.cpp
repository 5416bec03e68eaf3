#include "loggerparse.h"

#include <algorithm>

LoggerParse ParseLoggerImage(const LoggerImage& image, double today) {
    LoggerParse parse;
    if (image.size() < LoggerImage::HeaderSize) {
        parse.Result = LoggerOutcome::TooShort;
        return parse;
    }
    const int used = image.EndAddress() + 1;
    if (image.size() < used) {
        parse.Result = LoggerOutcome::Incomplete;
        return parse;
    }
    const int count = image.DataSetCount();
    if (count == 0) {
        parse.Result = LoggerOutcome::NoData;
        return parse;
    }
    if (count > LoggerImage::MaxDataSets) {
        parse.Result = LoggerOutcome::TooManySets;
        return parse;
    }

    // Bytes past the end address are the padding of the last block, never data.
    const int limit = std::min(image.size(), used);
    QList<DataSetInfo> sets;
    sets.reserve(count);
    double runningTime = image.TimeLabel(today);
    int s = LoggerImage::HeaderSize;
    for (int k = 0; k < count; ++k) {
        const int n = s + 10 <= limit ? int(image.u16(s + 8)) : 0;
        const int end = s + 12 + 2 * n; // one past the set's last byte
        const bool good = s + 10 <= limit && image.byte(s) == 0xA5 && image.byte(s + 1) == 0x5A &&
                          end <= limit && image.byte(end - 2) == 0x5A &&
                          image.byte(end - 1) == 0xA5;
        if (!good) {
            parse.Result = LoggerOutcome::BadDataSet;
            parse.BadSetIndex = k;
            parse.LastGoodAddress = s - 1;
            return parse;
        }
        DataSetInfo info;
        info.StartTime = runningTime;
        info.IntervalTicks = int(image.u24(s + 2));
        info.IntervalSeconds = info.IntervalTicks / 10000;
        info.RecordCount = n;
        info.FunctionCode = image.byte(s + 5) >> 4;
        info.ModeBits = image.byte(s + 5) & 0x0F;
        info.CouplingBits = image.byte(s + 6) & 0x0F;
        info.Offset = s - LoggerImage::HeaderSize;
        info.EndOffset = info.Offset + 11 + 2 * n;
        sets.append(info);
        runningTime += double(n) * info.IntervalSeconds / 86400.0;
        s = end;
    }
    parse.Result = LoggerOutcome::Loaded;
    parse.Sets = std::move(sets);
    return parse;
}
