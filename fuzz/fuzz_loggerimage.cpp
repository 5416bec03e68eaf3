// Fuzz target: an arbitrary logger memory image through ParseLoggerImage and, when it parses,
// DecodeDataSet of every set, with the texts of the data-set list.

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
    const LoggerParse parse = ParseLoggerImage(image, today);
    if (parse.Result != LoggerOutcome::Loaded) {
        require(parse.Sets.isEmpty(), "sets reported for an image that did not load");
        return 0;
    }
    for (int i = 0; i < parse.Sets.size(); ++i) {
        const DataSetInfo& set = parse.Sets[i];
        require(set.Offset >= 0 && set.EndOffset >= set.Offset, "set outside the data area");
        require(image.holds(LoggerImage::HeaderSize + qsizetype(set.Offset),
                            qsizetype(set.EndOffset) - set.Offset + 1),
                "set beyond the bytes of the image");
        (void)set.ListRow(i);
        const DecodedDataSet decoded = DecodeDataSet(image, set);
        require(decoded.count() == set.RecordCount, "one row per record");
        require(decoded.X.size() == decoded.count() && decoded.Y.size() == decoded.count() &&
                    decoded.Overload.size() == decoded.count(),
                "one chart point per record");
        require(decoded.MaxRow >= 0 && decoded.MaxRow <= decoded.count() && decoded.MinRow >= 0 &&
                    decoded.MinRow <= decoded.count(),
                "MAX/MIN row outside the table");
    }
    return 0;
}
