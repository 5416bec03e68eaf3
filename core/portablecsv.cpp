#include "portablecsv.h"

#include "daycount.h"
#include "rangetable.h"

#include <QFile>
#include <QLocale>
#include <QTimeZone>

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr char kHeader[] = "row,time,value,unit,si_value,si_unit,function,coupling,range,flags";
// What every file's header starts with, also files written before the last three columns.
constexpr char kRequiredHeader[] = "row,time,value,unit,si_value,si_unit,function";
// The last line is looked for in this many bytes at the end of the file; rows are far shorter.
constexpr qint64 kTailBytes = 4096;

void appendNumber(QByteArray& out, double value) {
    // Ten significant digits hold every reading of a four-digit display times any unit factor
    // without the float's noise (1.234 mV is 0.001234 V, not 0.0012340000000000001); the
    // format is printf's %.10g.
    char digits[32];
    const auto [end, ec] =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 10);
    Q_UNUSED(ec)
    out.append(digits, end - digits);
}

// Two digits (or three, four) of a number into a text, with leading zeros.
char* putDigits(char* p, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        p[i] = char('0' + value % 10);
        value /= 10;
    }
    return p + width;
}

QByteArray lineEndless(QByteArrayView line) {
    while (!line.isEmpty() && (line.back() == '\n' || line.back() == '\r'))
        line.chop(1);
    return line.toByteArray();
}

} // namespace

QByteArray PortableCsv::header() {
    return QByteArray(kHeader) + "\r\n";
}

bool PortableCsv::isHeader(QByteArrayView line) {
    QByteArray text = lineEndless(line);
    if (text.startsWith("\xEF\xBB\xBF")) // a byte-order mark an editor may have added
        text.remove(0, 3);
    const QByteArrayView required(kRequiredHeader);
    return text.startsWith(required) &&
           (text.size() == required.size() || text.at(required.size()) == ',');
}

void PortableCsv::appendField(QByteArray& out, QByteArrayView utf8) {
    bool quote = false;
    for (const char c : utf8) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        out.append(utf8);
        return;
    }
    out.append('"');
    for (const char c : utf8) {
        if (c == '"')
            out.append('"');
        // A line break inside a field would make the file's lines no longer its rows (which
        // the summary and the list window rely on): it becomes a space.
        out.append(c == '\r' || c == '\n' ? ' ' : c);
    }
    out.append('"');
}

QList<QByteArray> PortableCsv::splitLine(QByteArrayView lineIn) {
    const QByteArray line = lineEndless(lineIn);
    QList<QByteArray> fields;
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    field.append('"');
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field.append(c);
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.append(field);
            field.clear();
        } else {
            field.append(c);
        }
    }
    fields.append(field);
    return fields;
}

QByteArray PortableCsv::timeText(double when) {
    char text[kTimeChars];
    return QByteArray(text, writeTime(text, when) - text);
}

char* PortableCsv::writeTime(char* p, double when) {
    QDate date;
    QTime time;
    daysToDateAndTime(when, &date, &time);
    const qint64 hour = qint64(std::floor(when * 24.0));
    if (hour != m_offsetHour) {
        m_offsetHour = hour;
        m_offsetSeconds = QDateTime(date, time).offsetFromUtc();
    }
    // The date's text changes once a day; working it out costs more than the rest of the row.
    if (date.toJulianDay() != m_dateJulianDay) {
        m_dateJulianDay = date.toJulianDay();
        int y = 0, m = 0, d = 0;
        date.getDate(&y, &m, &d);
        char* q = putDigits(m_dateText, y, 4);
        *q++ = '-';
        q = putDigits(q, m, 2);
        *q++ = '-';
        putDigits(q, d, 2);
    }
    std::memcpy(p, m_dateText, 10);
    p += 10;
    *p++ = 'T';
    p = putDigits(p, time.hour(), 2);
    *p++ = ':';
    p = putDigits(p, time.minute(), 2);
    *p++ = ':';
    p = putDigits(p, time.second(), 2);
    *p++ = '.';
    p = putDigits(p, time.msec(), 3);
    const int offsetMinutes = std::abs(m_offsetSeconds) / 60;
    *p++ = m_offsetSeconds < 0 ? '-' : '+';
    p = putDigits(p, offsetMinutes / 60, 2);
    *p++ = ':';
    return putDigits(p, offsetMinutes % 60, 2);
}

std::optional<QDateTime> PortableCsv::parseTime(QByteArrayView text) {
    const QDateTime t = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
    if (!t.isValid())
        return std::nullopt;
    return t;
}

QByteArray PortableCsv::portableValue(const QString& shown, double value) {
    bool plain = !shown.isEmpty();
    bool anyDigit = false;
    for (const QChar c : shown) {
        anyDigit = anyDigit || c.isDigit();
        plain = plain && (c == u'-' || c == u'.' || (c >= u'0' && c <= u'9'));
    }
    if (plain || !anyDigit)
        return shown.toUtf8(); // already portable, or no number at all ("OL")
    // A locale's decimal comma or its own digits: the same number with as many decimals.
    const QString point = QLocale().decimalPoint();
    const qsizetype at = shown.lastIndexOf(point);
    const int decimals = at < 0 ? 0 : int(shown.size() - at - point.size());
    return QByteArray::number(value, 'f', decimals);
}

void PortableCsv::appendRow(QByteArray& out, const Reading& r) {
    // The unit and the function change seldom: their fields and the unit's SI scale are kept
    // from the row before.
    if (r.unit != m_unit || m_unitField.isEmpty()) {
        m_unit = r.unit;
        m_unitField.clear();
        appendField(m_unitField, r.unit.toUtf8());
        m_si = RangeTable::toSi(r.unit);
        m_siUnitField.clear();
        appendField(m_siUnitField, m_si.unit);
    }
    if (r.function != m_function || m_functionField.isEmpty()) {
        m_function = r.function;
        m_functionField.clear();
        appendField(m_functionField, r.function.toUtf8());
    }
    char text[kTimeChars + 48];
    char* p = std::to_chars(text, text + 24, r.row).ptr;
    *p++ = ',';
    p = writeTime(p, r.when);
    *p++ = ',';
    out.append(text, p - text);

    const QByteArray value = portableValue(r.shownValue, r.value);
    appendField(out, value);
    out.append(',');
    out.append(m_unitField);
    out.append(',');
    double v = 0;
    const auto [end, ec] = std::from_chars(value.constBegin(), value.constEnd(), v);
    const bool isNumber = ec == std::errc() && end == value.constEnd() && !value.isEmpty();
    if (isNumber)
        appendNumber(out, v * m_si.factor + m_si.offset);
    out.append(',');
    if (isNumber)
        out.append(m_siUnitField);
    out.append(',');
    out.append(m_functionField);
    for (const QString* text : {&r.coupling, &r.range, &r.flags}) {
        out.append(',');
        if (!text->isEmpty())
            appendField(out, text->toUtf8());
    }
    out.append("\r\n");
}

PortableCsv::Summary PortableCsv::summarize(const QString& path) {
    Summary s;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return s;
    s.bytes = file.size();
    if (!isHeader(file.readLine(1024)))
        return s;
    s.valid = true;
    const QByteArray first = file.readLine(kTailBytes);
    if (!first.endsWith('\n'))
        return s; // no complete row

    const QList<QByteArray> head = splitLine(first);
    if (head.size() >= RequiredColumns) {
        s.start = parseTime(head[Time]);
        s.unit = QString::fromUtf8(head[Unit]);
        s.function = QString::fromUtf8(head[Function]);
    }
    // The last complete line: the one before the final line end.
    const qint64 from = std::max(file.pos(), s.bytes - kTailBytes);
    file.seek(from);
    QByteArray tail = file.readAll();
    if (!tail.endsWith('\n'))
        tail.truncate(tail.lastIndexOf('\n') + 1); // a half-written last line does not count
    tail.chop(1);
    const QByteArray last = tail.mid(tail.lastIndexOf('\n') + 1);
    const QList<QByteArray> row = splitLine(last.isEmpty() ? first : last);
    if (row.size() >= RequiredColumns) {
        s.rows = row[Row].toLongLong();
        s.end = parseTime(row[Time]);
    }
    return s;
}
