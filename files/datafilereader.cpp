#include "datafilereader.h"

#include "datafileformat.h"
#include "datafileprogress.h"
#include "datetimetext.h"
#include "portablecsv.h"
#include "stringgridmodel.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// The file is read in blocks of this size.
constexpr qsizetype kChunk = 1 << 20;
constexpr qsizetype kWindow = DataFileFormat::MaxLineBytes;

struct Field {
    QByteArrayView text; // between the quotes for a quoted field
    bool quoted = false;
};

QByteArrayView span(const char* from, const char* to) {
    return QByteArrayView(from, to - from);
}

// Splits the line at p into fields. [p, end) holds either the rest of the file (fileEnds) or
// kWindow bytes of it. Returns the length of the line with its line end, or -1 when the line
// does not end within those bytes (too long). anySeparator tells whether the line holds a
// separator outside quotes. Lines end in LF or CR LF; with crEnds (a file whose lines end in a
// lone CR) a lone CR ends a line too.
qsizetype splitLine(const char* p, const char* end, bool fileEnds, char sep, bool crEnds,
                    std::vector<Field>& fields, bool& anySeparator) {
    fields.clear();
    anySeparator = false;
    // After a separator: does the line end here (the separator closed its last field)? Returns
    // the line's length, 0 when a further field follows, -1 when the bytes ran out.
    const auto endAfterSeparator = [&](const char* q) -> qsizetype {
        if (q == end)
            return fileEnds ? end - p : -1;
        if (*q == '\n')
            return q + 1 - p;
        if (*q == '\r') {
            if (q + 1 == end)
                return fileEnds ? end - p : -1;
            if (q[1] == '\n')
                return q + 2 - p;
            if (crEnds)
                return q + 1 - p;
        }
        return 0;
    };

    const char* q = p;
    for (;;) {
        if (q < end && *q == '"') {
            // A quoted field ends at a lone quote; "" stands for one quote. A quote that is
            // not followed by a separator or a line end was no quoting: the field is then read
            // as plain text, quotes and all.
            const char* close = nullptr;
            for (const char* r = q + 1; r < end;) {
                const auto* c = static_cast<const char*>(std::memchr(r, '"', size_t(end - r)));
                if (!c)
                    break;
                if (c + 1 < end && c[1] == '"') {
                    r = c + 2;
                    continue;
                }
                close = c;
                break;
            }
            if (close) {
                const char* after = close + 1;
                const Field field{span(q + 1, close), true};
                if (after == end) {
                    if (!fileEnds)
                        return -1;
                    fields.push_back(field);
                    return end - p;
                }
                if (*after == sep) {
                    anySeparator = true;
                    fields.push_back(field);
                    q = after + 1;
                    if (const qsizetype n = endAfterSeparator(q))
                        return n;
                    continue;
                }
                if (*after == '\n' || *after == '\r') {
                    if (const qsizetype n = endAfterSeparator(after); n != 0) {
                        fields.push_back(field);
                        return n;
                    }
                }
            }
        }
        // A plain field: up to the separator or the line end.
        const char* r = q;
        while (r < end && *r != sep && *r != '\n' && !(crEnds && *r == '\r'))
            ++r;
        if (r == end && !fileEnds)
            return -1;
        if (r < end && *r == sep) {
            anySeparator = true;
            fields.push_back({span(q, r), false});
            q = r + 1;
            if (const qsizetype n = endAfterSeparator(q))
                return n;
            continue;
        }
        // The line ends without a separator after this field.
        const char* stop = r > q && r[-1] == '\r' ? r - 1 : r;
        fields.push_back({span(q, stop), false});
        return (r < end ? r + 1 : r) - p;
    }
}

// Decodes a field into `cell`, reusing its buffer: a million rows of five cells would
// otherwise allocate five million strings only to copy them into the table.
void setCell(QString& cell, const Field& f, QStringDecoder& decoder) {
    QByteArray unquoted;
    QByteArrayView text = f.text;
    if (f.quoted && text.contains("\"\"")) {
        unquoted = text.toByteArray().replace("\"\"", "\"");
        text = unquoted;
    }
    cell.resize(decoder.requiredSpace(text.size()));
    const QChar* end = decoder.appendToBuffer(cell.data(), text);
    cell.resize(end - cell.constData());
}

void setNumber(QString& cell, int n) {
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, n);
    Q_UNUSED(ec)
    cell.resize(end - digits);
    for (qsizetype i = 0; i < cell.size(); ++i)
        cell[i] = QLatin1Char(digits[i]);
}

QString notice(const DataFileReader::Result& r, char sep) {
    QStringList parts;
    const QString separator =
        sep == DataFileFormat::Comma ? QStringLiteral("comma") : QStringLiteral("TAB");
    if (r.skippedLines == 1)
        parts << QStringLiteral("Line %1 holds no %2; it was left out.")
                     .arg(r.firstSkippedLine)
                     .arg(separator);
    else if (r.skippedLines > 1)
        parts << QStringLiteral("%1 lines hold no %2; they were left out (the first is line %3).")
                     .arg(r.skippedLines)
                     .arg(separator)
                     .arg(r.firstSkippedLine);
    if (r.longLine > 0)
        parts << QStringLiteral("Line %1 is longer than %2 bytes; it was cut there and the file "
                                "was read no further.")
                     .arg(r.longLine)
                     .arg(DataFileFormat::MaxLineBytes);
    if (r.cutLines > 0)
        parts << QStringLiteral("%1 line(s) had more fields than the list has columns; their extra "
                                "fields were left out.")
                     .arg(r.cutLines);
    return parts.join(u' ');
}

// A file in the portable format (a recording's journal): each row's local date and time, value
// and unit go into the list's Date, Time, Value and Range columns, so that the list reads and
// graphs like one of the program's own files. Lines that are not rows are counted as skipped.
// One line of a file whose lines end in a lone CR, without it; empty at the end of the file.
// Byte by byte through the device's buffer: such files are rare and this keeps the LF path fast.
QByteArray readCrLine(QIODevice& in, qint64 maxBytes) {
    QByteArray line;
    char c = 0;
    while (line.size() < maxBytes && in.getChar(&c)) {
        line.append(c);
        if (c == '\r' || c == '\n')
            break;
    }
    return line;
}

DataFileReader::Result readPortable(QIODevice& in, StringGridModel& grid,
                                    DataFileProgress* progress, bool crOnly) {
    DataFileReader::Result result;
    const auto nextLine = [&] {
        return crOnly ? readCrLine(in, DataFileFormat::MaxLineBytes)
                      : in.readLine(DataFileFormat::MaxLineBytes);
    };
    nextLine(); // the header
    qint64 lineNo = 1;
    QStringList row(std::max(grid.ColCount(), 5));
    for (;;) {
        const QByteArray line = nextLine();
        if (line.isEmpty())
            break;
        ++lineNo;
        const QList<QByteArray> fields = PortableCsv::splitLine(line);
        const auto when = fields.size() >= PortableCsv::ColumnCount
                              ? PortableCsv::parseTime(fields[PortableCsv::Time])
                              : std::nullopt;
        if (!when) {
            if (line.trimmed().isEmpty())
                continue;
            if (result.skippedLines++ == 0)
                result.firstSkippedLine = lineNo;
            continue;
        }
        const int n = result.rows + 1;
        if (progress && !progress->advance(n)) {
            result.status = DataFileReader::Result::Status::Cancelled;
            break;
        }
        if (grid.RowCount() <= n)
            grid.setRowCount(n + 1);
        const QDateTime local = when->toLocalTime();
        row[0] = QString::number(n);
        row[1] = DateTimeText::DateString(local.date());
        row[2] = DateTimeText::TimeString(local.time());
        row[3] = QString::fromUtf8(fields[PortableCsv::Value]);
        row[4] = QString::fromUtf8(fields[PortableCsv::Unit]);
        grid.setRow(n, row.mid(0, grid.ColCount()));
        result.rows = n;
    }
    result.notice = notice(result, DataFileFormat::Comma);
    return result;
}

} // namespace

DataFileReader::Result DataFileReader::read(const QString& path, StringGridModel& grid,
                                            DataFileProgress* progress) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Result r;
        r.status = Result::Status::Failed;
        r.error = QStringLiteral("Could not open %1: %2")
                      .arg(QDir::toNativeSeparators(path), file.errorString());
        return r;
    }
    Result r = read(file, DataFileFormat::separatorFor(path), grid, progress);
    if (r.status == Result::Status::Failed)
        r.error =
            QStringLiteral("Could not read %1: %2").arg(QDir::toNativeSeparators(path), r.error);
    return r;
}

DataFileReader::Result DataFileReader::read(QIODevice& in, char separator, StringGridModel& grid,
                                            DataFileProgress* progress) {
    if (progress)
        progress->begin(-1);
    const QByteArray start = in.peek(DataFileFormat::MaxLineBytes);
    const qsizetype firstLf = start.indexOf('\n');
    const qsizetype firstCr = start.indexOf('\r');
    // Lines that end in a lone CR (files from old Macs and some programs' exports): CRs and no
    // LF in the first block. The program's own files end their lines in CR LF and may hold a
    // lone CR inside a field, so a file with any LF keeps LF as its line end.
    const bool crOnly = firstCr >= 0 && firstLf < 0;
    const qsizetype firstEnd = crOnly ? firstCr : firstLf;
    if (PortableCsv::isHeader(firstEnd < 0 ? start : start.left(firstEnd)))
        return readPortable(in, grid, progress, crOnly);
    Result result;
    const int lastCol = grid.ColCount() - 1;
    QStringList row;
    row.resize(std::max(lastCol + 1, 1));
    std::vector<Field> fields;
    QStringDecoder decoder(QStringConverter::System, QStringDecoder::Flag::Stateless);

    QByteArray buf;
    qsizetype pos = 0;
    bool eof = false;
    qint64 lineNo = 0;
    // The table counts rows in int, its caption row included.
    constexpr int kMaxRows = std::numeric_limits<int>::max() - 1;

    for (;;) {
        if (!eof && buf.size() - pos < kWindow) {
            buf.remove(0, pos);
            pos = 0;
            const qsizetype had = buf.size();
            buf.resize(had + kChunk);
            const qint64 got = in.read(buf.data() + had, kChunk);
            buf.resize(had + std::max<qint64>(got, 0));
            if (got < 0) {
                result.status = Result::Status::Failed;
                result.error = in.errorString();
                break;
            }
            eof = got == 0;
            continue;
        }
        if (pos >= buf.size())
            break;
        const char* p = buf.constData() + pos;
        const qsizetype avail = buf.size() - pos;
        ++lineNo;
        const qsizetype window = std::min(avail, kWindow);
        bool anySeparator = false;
        const qsizetype length =
            splitLine(p, p + window, eof && window == avail, separator, crOnly, fields,
                      anySeparator);
        bool lastLine = false;
        if (length < 0) {
            // No line end within the limit: the bytes up to it are the line, and the file is
            // read no further (what follows is the rest of that line, not a line of its own).
            splitLine(p, p + window, true, separator, crOnly, fields, anySeparator);
            result.longLine = lineNo;
            lastLine = true;
            if (!anySeparator)
                break;
        } else if (!anySeparator) {
            pos += length;
            if (fields.size() == 1 && fields[0].text.isEmpty() && !fields[0].quoted)
                continue; // an empty line
            if (result.skippedLines++ == 0)
                result.firstSkippedLine = lineNo;
            continue;
        } else {
            pos += length;
        }

        if (result.rows == kMaxRows) {
            result.status = Result::Status::Failed;
            result.error = QStringLiteral("the file has more lines than a list can hold; the "
                                          "first %1 were read")
                               .arg(kMaxRows);
            break;
        }
        const int n = result.rows + 1;
        if (progress && !progress->advance(n)) {
            result.status = Result::Status::Cancelled;
            break;
        }
        if (grid.RowCount() <= n)
            grid.setRowCount(n + 1);
        setNumber(row[0], n);
        for (int c = 1; c <= lastCol; ++c) {
            if (std::size_t(c - 1) < fields.size())
                setCell(row[c], fields[std::size_t(c - 1)], decoder);
            else
                row[c].resize(0);
        }
        for (std::size_t i = std::size_t(std::max(lastCol, 0)); i < fields.size(); ++i) {
            if (!fields[i].text.isEmpty()) {
                ++result.cutLines;
                break;
            }
        }
        grid.setRow(n, row);
        result.rows = n;
        if (lastLine)
            break;
    }
    result.notice = notice(result, separator);
    return result;
}
