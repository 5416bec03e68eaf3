#include "datafilewriter.h"

#include "datafileformat.h"
#include "datafileprogress.h"
#include "listdatetimereader.h"
#include "portablecsv.h"
#include "rangetable.h"
#include "safefile.h"
#include "stringgridmodel.h"

#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <limits>

namespace {

// Lines are gathered and handed to the device in blocks of about this size.
constexpr qsizetype kFlushBytes = 1 << 20;

std::optional<qint64> decimalInteger(const QString& text) {
    bool ok = false;
    const qint64 v = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

// The quantity a unit measures, for the function column of a table saved portably.
QString quantityOf(const QString& unit) {
    const QByteArray si = RangeTable::toSi(unit).unit;
    if (si == "V")
        return QStringLiteral("Voltage");
    if (si == "A")
        return QStringLiteral("Current");
    if (si == "Ohm")
        return QStringLiteral("Resistance");
    if (si == "Hz")
        return QStringLiteral("Frequency");
    if (si == "F")
        return QStringLiteral("Capacitance");
    if (si == "rpm")
        return QStringLiteral("RPM");
    if (si == "\xc2\xb0" "C")
        return QStringLiteral("Temperature");
    return QString();
}

// A value text of any locale as the portable format writes it: ASCII digits and a dot (the
// program writes no group separators, so one ',', '.' or U+066B is the decimal point); a text
// that is no number (an overload's "OL") as it stands. `value` gets the number, 0 for none.
QString plainValue(const QString& shown, double& value) {
    QString text = AnyLocaleText::normalized(shown).trimmed();
    value = 0;
    QByteArray ascii;
    ascii.reserve(text.size());
    int points = 0;
    int digits = 0;
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9') {
            ++digits;
            ascii.append(char(c.unicode()));
        } else if (c == u'.' || c == u',' || c == QChar(0x066B)) {
            ++points;
            ascii.append('.');
        } else if (c == u'-' && ascii.isEmpty()) {
            ascii.append('-');
        } else {
            return text;
        }
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(ascii.constBegin(), ascii.constEnd(), v);
    if (digits == 0 || points > 1 || ec != std::errc() || end != ascii.constEnd())
        return text;
    value = v;
    return QString::fromLatin1(ascii);
}

// Where the rows of a save go: gathered into blocks of about kFlushBytes, each handed to the
// device at once; a write that fails is told in the result.
struct BlockOut {
    QIODevice& out;
    DataFileWriter::Result& result;
    QByteArray block = reserved();

    static QByteArray reserved() {
        QByteArray b;
        b.reserve(kFlushBytes + 4096);
        return b;
    }
    bool flush() {
        if (block.isEmpty())
            return true;
        if (out.write(block) != block.size()) {
            result.status = DataFileWriter::Result::Status::Failed;
            result.error = out.errorString();
            return false;
        }
        block.clear();
        return true;
    }
    // The last block, then the file's own buffer: a full disk is reported here, not lost when
    // the caller closes the file.
    void finish() {
        if (!flush())
            return;
        if (auto* file = qobject_cast<QFileDevice*>(&out); file && !file->flush()) {
            result.status = DataFileWriter::Result::Status::Failed;
            result.error = file->errorString();
        }
    }
};

QString failure(const QString& path, const QString& reason) {
    return QStringLiteral("Could not save %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

std::optional<DataFileWriter::RowRange>
DataFileWriter::rangeFromTexts(const QString& fromText, const QString& toText, int lastRow) {
    const auto fromValue = decimalInteger(fromText);
    const auto toValue = decimalInteger(toText);
    if (!fromValue || !toValue)
        return std::nullopt;
    // The smallest 64-bit integer has no positive counterpart; it is beyond any table anyway.
    const auto magnitude = [](qint64 v) {
        return v == std::numeric_limits<qint64>::min() ? std::numeric_limits<qint64>::max()
                                                       : std::abs(v);
    };
    qint64 from = magnitude(*fromValue);
    qint64 to = magnitude(*toValue);
    if (to < from)
        std::swap(from, to);
    to = std::min<qint64>(to, lastRow);
    from = std::max<qint64>(from, 1);
    // A start beyond the end stays beyond it, within int.
    return RowRange{int(std::min<qint64>(from, qint64(lastRow) + 1)), int(to)};
}

DataFileWriter::Result DataFileWriter::write(QIODevice& out, char separator,
                                             const StringGridModel& grid, RowRange range,
                                             DataFileProgress* progress) {
    range.first = std::max(range.first, 1);
    range.last = std::min(range.last, grid.gridRowCount() - 1);
    const int lastCol = grid.gridColCount() - 1;
    if (progress)
        progress->begin(range.count());

    Result result;
    QStringEncoder encoder(QStringConverter::System, QStringEncoder::Flag::Stateless);
    BlockOut sink{out, result};
    QByteArray& block = sink.block;
    const auto flush = [&sink] { return sink.flush(); };

    for (qint64 r = range.first; r <= range.last; ++r) {
        for (int c = 1; c <= lastCol; ++c) {
            // Encoded straight into the block: no buffer of its own per cell.
            const QString text = grid.cells(c, int(r));
            const qsizetype at = block.size();
            block.resize(at + encoder.requiredSpace(text.size()));
            const char* end = encoder.appendToBuffer(block.data() + at, text);
            block.resize(end - block.constData());
            const QByteArrayView encoded(block.constData() + at, block.size() - at);
            if (DataFileFormat::needsQuotes(encoded, separator)) {
                const QByteArray plain = encoded.toByteArray();
                block.truncate(at);
                DataFileFormat::appendField(block, plain, separator);
            } else {
                block.append(separator);
            }
        }
        block.append("\r\n", 2);
        ++result.rows;
        if (block.size() >= kFlushBytes && !flush())
            return result;
        if (progress && !progress->advance(result.rows)) {
            result.status = Result::Status::Cancelled;
            break;
        }
    }
    sink.finish();
    return result;
}

DataFileWriter::Result DataFileWriter::writePortable(QIODevice& out, const StringGridModel& grid,
                                                     RowRange range, DataFileProgress* progress,
                                                     qint64* unreadableTimes) {
    range.first = std::max(range.first, 1);
    range.last = std::min(range.last, grid.gridRowCount() - 1);
    if (progress)
        progress->begin(range.count());
    Result result;
    if (unreadableTimes)
        *unreadableTimes = 0;
    BlockOut sink{out, result};
    QByteArray& block = sink.block;
    block.append(PortableCsv::header());
    const auto flush = [&sink] { return sink.flush(); };
    ListDateTimeReader dates;
    dates.learnDates(grid);
    PortableCsv writer;
    QString lastUnit;
    QString function;
    for (qint64 r = range.first; r <= range.last; ++r) {
        PortableCsv::Reading reading;
        reading.row = result.rows + 1;
        const auto when = dates.read(grid.cells(1, int(r)), grid.cells(2, int(r)));
        reading.when = when.value_or(0);
        reading.shownValue = plainValue(grid.cells(3, int(r)), reading.value);
        reading.unit = grid.cells(4, int(r)).trimmed();
        if (reading.unit != lastUnit || r == range.first) {
            lastUnit = reading.unit;
            function = quantityOf(reading.unit);
        }
        reading.function = function;
        const qsizetype at = block.size();
        writer.appendRow(block, reading);
        if (!when) {
            // The time field is the second: left empty, the row keeps its value.
            const qsizetype timeStart = block.indexOf(',', at) + 1;
            const qsizetype timeEnd = block.indexOf(',', timeStart);
            block.remove(timeStart, timeEnd - timeStart);
            if (unreadableTimes)
                ++*unreadableTimes;
        }
        ++result.rows;
        if (block.size() >= kFlushBytes && !flush())
            return result;
        if (progress && !progress->advance(result.rows)) {
            result.status = Result::Status::Cancelled;
            break;
        }
    }
    sink.finish();
    return result;
}

DataFileWriter::Result DataFileWriter::save(const QString& path, const StringGridModel& grid,
                                            RowRange range, DataFileProgress* progress,
                                            OnCancel onCancel, Layout layout) {
    // Rows written before a Cancel replace nothing: a file that existed keeps its content.
    const bool existed = QFileInfo::exists(path);
    SafeFile file(path);
    if (!file.open()) {
        Result r;
        r.status = Result::Status::Failed;
        r.error = failure(path, file.error());
        return r;
    }
    Result r = layout == Layout::Portable
                   ? writePortable(file.device(), grid, range, progress)
                   : write(file.device(), DataFileFormat::separatorFor(path), grid, range, progress);
    const bool keep = r.status == Result::Status::Cancelled && onCancel == OnCancel::KeepWritten &&
                      !existed;
    if (r.status != Result::Status::Saved && !keep) {
        file.discard();
        if (r.status == Result::Status::Failed)
            r.error = failure(path, r.error);
        return r;
    }
    if (!file.commit()) {
        r.status = Result::Status::Failed;
        r.error = failure(path, file.error());
        return r;
    }
    r.keptPartial = keep;
    return r;
}
