// Fuzz target: an arbitrary logger memory image through parseLoggerImage and, when it parses,
// decodeDataSet of every set, with the texts of the data-set list.

#include "decodeddataset.h"
#include "loggerparse.h"

#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_loggerimage: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const LoggerImage image(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const double today = 46000.5;
    const LoggerParse parse = parseLoggerImage(image, today);
    if (parse.result != LoggerOutcome::Loaded) {
        require(parse.sets.isEmpty(), "sets reported for an image that did not load");
        return 0;
    }
    for (int i = 0; i < parse.sets.size(); ++i) {
        const DataSetInfo& set = parse.sets[i];
        require(set.offset >= 0 && set.endOffset >= set.offset, "set outside the data area");
        require(image.holds(LoggerImage::HeaderSize + qsizetype(set.offset),
                            qsizetype(set.endOffset) - set.offset + 1),
                "set beyond the bytes of the image");
        (void)set.listRow(i);
        const DecodedDataSet decoded = decodeDataSet(image, set);
        require(decoded.count() == set.recordCount, "one row per record");
        require(decoded.x.size() == decoded.count() && decoded.y.size() == decoded.count() &&
                    decoded.overload.size() == decoded.count(),
                "one chart point per record");
        require(decoded.maxRow >= 0 && decoded.maxRow <= decoded.count() && decoded.minRow >= 0 &&
                    decoded.minRow <= decoded.count(),
                "MAX/MIN row outside the table");
    }
    return 0;
}
