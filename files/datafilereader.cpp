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

// The local date and time texts of the portable format's time fields, at the pace of a
// million rows: the general route (a QDateTime parsed, moved to local time, formatted by the
// locale) costs microseconds per row, most of them in looking up the time zone.
//
// - The field is read by hand in the shape the writers use ("2026-12-08T14:03:02.125+01:00"
//   or "...Z"); any other ISO-8601 text takes the general route.
// - The local offset is looked up once per UTC hour: offsets change on whole hours.
// - The date text is made once per day.
// - The time text is made once per minute, with the positions of its seconds digits found by
//   formatting the minute's :00 and :59; each row then writes its seconds into a copy. A
//   format without two fixed seconds digits takes the locale's formatting every row.
class PortableTimeTexts {
public:
    // False when the field is no time.
    bool texts(QByteArrayView field, QString& date, QString& time) {
        const auto utc = utcMs(field);
        if (!utc)
            return false;
        const qint64 hour = floorDiv(*utc, kHourMs);
        if (hour != m_hour) {
            m_hour = hour;
            m_offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(hour * kHourMs).offsetFromUtc()) *
                         1000;
        }
        const qint64 local = *utc + m_offsetMs;
        const qint64 day = floorDiv(local, kDayMs);
        const qint64 msOfDay = local - day * kDayMs;
        if (day != m_day) {
            m_day = day;
            m_dateText = DateTimeText::dateString(QDate::fromJulianDay(kEpochJulianDay + day));
            m_minute = -1;
        }
        date = m_dateText;
        const int minute = int(msOfDay / 60000);
        const int second = int(msOfDay / 1000 % 60);
        if (minute != m_minute) {
            m_minute = minute;
            m_minuteText = DateTimeText::timeString(QTime(minute / 60, minute % 60, 0));
            const QString last = DateTimeText::timeString(QTime(minute / 60, minute % 60, 59));
            m_secondsAt = -1;
            if (last.size() == m_minuteText.size()) {
                qsizetype differ = 0, at = -1;
                for (qsizetype i = 0; i < last.size(); ++i)
                    if (last[i] != m_minuteText[i] && differ++ == 0)
                        at = i;
                if (differ == 2 && at + 1 < last.size() &&
                    last[at].unicode() == m_minuteText[at].unicode() + 5 &&
                    last[at + 1].unicode() == m_minuteText[at + 1].unicode() + 9 &&
                    m_minuteText[at] == m_minuteText[at + 1])
                    m_secondsAt = at;
            }
        }
        if (m_secondsAt < 0) {
            time = DateTimeText::timeString(QTime::fromMSecsSinceStartOfDay(int(msOfDay)));
            return true;
        }
        time = m_minuteText;
        const char16_t zero = m_minuteText[m_secondsAt].unicode();
        time[m_secondsAt] = QChar(char16_t(zero + second / 10));
        time[m_secondsAt + 1] = QChar(char16_t(zero + second % 10));
        return true;
    }

private:
    static constexpr qint64 kHourMs = 3600000;
    static constexpr qint64 kDayMs = 24 * kHourMs;
    static constexpr qint64 kEpochJulianDay = 2440588; // 1970-01-01

    static qint64 floorDiv(qint64 a, qint64 b) { return a / b - (a % b < 0 ? 1 : 0); }

    static std::optional<qint64> utcMs(QByteArrayView f) {
        const auto digits = [&f](qsizetype at, int n) -> int {
            int v = 0;
            for (int i = 0; i < n; ++i) {
                const char c = f[at + i];
                if (c < '0' || c > '9')
                    return -1;
                v = v * 10 + (c - '0');
            }
            return v;
        };
        const bool zulu = f.size() == 24 && f[23] == 'Z';
        if ((f.size() == 29 || zulu) && f[4] == '-' && f[7] == '-' && f[10] == 'T' &&
            f[13] == ':' && f[16] == ':' && f[19] == '.') {
            const int year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
            const int h = digits(11, 2), m = digits(14, 2), sec = digits(17, 2),
                      ms = digits(20, 3);
            int offsetMinutes = 0;
            bool offsetOk = zulu;
            if (!zulu && (f[23] == '+' || f[23] == '-') && f[26] == ':') {
                const int oh = digits(24, 2), om = digits(27, 2);
                offsetOk = oh >= 0 && om >= 0 && oh < 24 && om < 60;
                offsetMinutes = (f[23] == '-' ? -1 : 1) * (oh * 60 + om);
            }
            const QDate date(year, month, day);
            if (offsetOk && date.isValid() && h >= 0 && h < 24 && m >= 0 && m < 60 &&
                sec >= 0 && sec < 60 && ms >= 0)
                return (date.toJulianDay() - kEpochJulianDay) * kDayMs + h * kHourMs +
                       m * 60000 + sec * 1000 + ms - qint64(offsetMinutes) * 60000;
        }
        const auto t = PortableCsv::parseTime(f);
        if (!t)
            return std::nullopt;
        return t->toMSecsSinceEpoch();
    }

    qint64 m_hour = std::numeric_limits<qint64>::min();
    qint64 m_offsetMs = 0;
    qint64 m_day = std::numeric_limits<qint64>::min();
    QString m_dateText;
    int m_minute = -1;
    QString m_minuteText;
    qsizetype m_secondsAt = -1;
};

// A file in the portable format (a recording's journal): each row's local date and time, value
// and unit go into the list's Date, Time, Value and Range columns, so that the list reads and
// graphs like one of the program's own files. Lines with fewer fields than a row are counted
// as skipped; a row whose time cannot be read keeps its time text in the Date column.
DataFileReader::Result readPortable(QIODevice& in, StringGridModel& grid,
                                    DataFileProgress* progress, bool crOnly) {
    DataFileReader::Result result;
    std::vector<char> line(std::size_t(DataFileFormat::MaxLineBytes) + 1);
    // The next line into `line`, its length with its line end; 0 at the end of the file. A file
    // whose lines end in a lone CR is read byte by byte through the device's buffer: such
    // files are rare, and this keeps the usual path fast.
    const auto nextLine = [&]() -> qint64 {
        if (!crOnly)
            return in.readLine(line.data(), qint64(line.size()));
        qint64 n = 0;
        char c = 0;
        while (n + 1 < qint64(line.size()) && in.getChar(&c)) {
            line[std::size_t(n++)] = c;
            if (c == '\r' || c == '\n')
                break;
        }
        return n;
    };
    nextLine(); // the header
    qint64 lineNo = 1;
    std::vector<Field> fields;
    std::vector<QByteArrayView> cells(std::size_t(std::max(grid.gridColCount(), 5)));
    std::vector<QByteArray> unquoted(cells.size());
    char number[16];
    QString date, time;
    QByteArray dateUtf8, timeUtf8;
    QString lastDate;
    PortableTimeTexts times;
    for (;;) {
        const qint64 got = nextLine();
        if (got <= 0)
            break;
        ++lineNo;
        bool anySeparator = false;
        splitLine(line.data(), line.data() + got, true, DataFileFormat::Comma, crOnly, fields,
                  anySeparator);
        if (fields.size() < std::size_t(PortableCsv::RequiredColumns)) {
            if (QByteArrayView(line.data(), got).trimmed().isEmpty())
                continue;
            if (result.skippedLines++ == 0)
                result.firstSkippedLine = lineNo;
            continue;
        }
        const auto field = [&](int column, std::size_t cell) {
            QByteArrayView text = fields[std::size_t(column)].text;
            if (fields[std::size_t(column)].quoted && text.contains("\"\"")) {
                unquoted[cell] = text.toByteArray().replace("\"\"", "\"");
                text = unquoted[cell];
            }
            return text;
        };
        const int n = result.rows + 1;
        if (progress && !progress->advance(n)) {
            result.status = DataFileReader::Result::Status::Cancelled;
            break;
        }
        if (grid.gridRowCount() <= n)
            grid.setRowCount(n + 1);
        const auto [numberEnd, ec] = std::to_chars(number, number + sizeof number, n);
        Q_UNUSED(ec)
        cells[0] = QByteArrayView(number, numberEnd - number);
        // A row whose time is missing or unreadable keeps its value, its time text in the
        // Date column; the list graph counts it among the rows it could not place.
        if (times.texts(fields[PortableCsv::Time].text, date, time)) {
            if (date != lastDate) {
                lastDate = date;
                dateUtf8 = date.toUtf8();
            }
            timeUtf8 = time.toUtf8();
            cells[1] = dateUtf8;
            cells[2] = timeUtf8;
        } else {
            lastDate.clear();
            cells[1] = field(PortableCsv::Time, 1);
            cells[2] = QByteArrayView();
        }
        cells[3] = field(PortableCsv::Value, 3);
        cells[4] = field(PortableCsv::Unit, 4);
        grid.setRowUtf8(n, cells);
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
    const int lastCol = grid.gridColCount() - 1;
    std::vector<QByteArrayView> cells(std::size_t(std::max(lastCol + 1, 1)));
    std::vector<QByteArray> scratch(cells.size());
    char number[16];
    std::vector<Field> fields;
    QStringDecoder decoder(QStringConverter::System, QStringDecoder::Flag::Stateless);
    // Qt takes the system's 8-bit encoding to be UTF-8 everywhere but on Windows.
#ifdef Q_OS_WIN
    constexpr bool systemIsUtf8 = false;
#else
    constexpr bool systemIsUtf8 = true;
#endif

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
        if (grid.gridRowCount() <= n)
            grid.setRowCount(n + 1);
        // The grid keeps UTF-8, the encoding of the file on every system but Windows: the
        // fields go in as they are, unquoted where they need it.
        const auto [numberEnd, ec] = std::to_chars(number, number + sizeof number, n);
        Q_UNUSED(ec)
        cells[0] = QByteArrayView(number, numberEnd - number);
        for (int c = 1; c <= lastCol; ++c) {
            const std::size_t i = std::size_t(c - 1);
            if (i >= fields.size()) {
                cells[std::size_t(c)] = QByteArrayView();
                continue;
            }
            QByteArrayView text = fields[i].text;
            if (fields[i].quoted && text.contains("\"\"")) {
                scratch[std::size_t(c)] = text.toByteArray().replace("\"\"", "\"");
                text = scratch[std::size_t(c)];
            }
            if (!systemIsUtf8) {
                scratch[std::size_t(c)] = QString(decoder(text)).toUtf8();
                text = scratch[std::size_t(c)];
            }
            cells[std::size_t(c)] = text;
        }
        for (std::size_t i = std::size_t(std::max(lastCol, 0)); i < fields.size(); ++i) {
            if (!fields[i].text.isEmpty()) {
                ++result.cutLines;
                break;
            }
        }
        grid.setRowUtf8(n, cells);
        result.rows = n;
        if (lastLine)
            break;
    }
    result.notice = notice(result, separator);
    return result;
}
