#include "readingformatter.h"

#include "daycount.h"
#include "framedecoder.h"
#include "rangetable.h"
#include "reading.h"

#include <QStringList>

#include <charconv>

namespace {

QString timeText(const QDateTime& when) {
    return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// A CSV field: quoted when it holds a comma, a quote or a line end.
QString csvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// A JSON string with its quotes; control characters as \u escapes.
QByteArray jsonString(const QString& text) {
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (uchar(c) < 0x20) {
            out += QByteArray("\\u00") + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
        } else {
            out += c;
        }
    }
    return out + '"';
}

QByteArray jsonBool(bool b) {
    return b ? "true" : "false";
}

// Ten significant digits, as the portable format's SI column.
QByteArray numberText(double value) {
    char digits[32];
    const auto [end, ec] =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 10);
    Q_UNUSED(ec)
    return QByteArray(digits, end - digits);
}

// The value in the SI unit of its quantity, when the reading has a number.
std::optional<double> siValue(const Reading& r, const QString& value) {
    if (r.overload)
        return std::nullopt;
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    const RangeTable::SiScale si = RangeTable::toSi(r.unitText);
    return v * si.factor + si.offset;
}

} // namespace

ReadingFormatter::ReadingFormatter(const Settings& settings) : m_settings(settings) {}

QString ReadingFormatter::valueText(const Reading& r) {
    if (r.overload)
        return r.negative ? QStringLiteral("-OL") : QStringLiteral("OL");
    const int decimals = FrameDecoder::decimalsFor(r.divisor);
    return decimals >= 0 ? QString::number(double(r.count) / r.divisor, 'f', decimals)
                         : QString::number(double(r.value), 'g', 6);
}

QString ReadingFormatter::couplingText(const Reading& r) {
    return r.ac ? QStringLiteral("AC") : r.dc ? QStringLiteral("DC") : QString();
}

QString ReadingFormatter::flagsText(const Reading& r) {
    QStringList flags;
    if (r.overload)
        flags += QStringLiteral("overload");
    if (r.peakHold || (r.annunciators & (1u << annHOLD)))
        flags += QStringLiteral("hold");
    const struct {
        AnnunciatorBit bit;
        const char* word;
    } marks[] = {{annREL, "relative"},    {annMAX, "max"},  {annMIN, "min"},
                 {annPMAX, "peak-max"},   {annPMIN, "peak-min"},
                 {annLBT, "low-battery"}};
    for (const auto& m : marks) {
        if (r.annunciators & (1u << m.bit))
            flags += QLatin1String(m.word);
    }
    return flags.join(u' ');
}

QByteArray ReadingFormatter::influxEscape(const QString& text, bool measurement) {
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == ',' || c == ' ' || (!measurement && c == '='))
            out += '\\';
        // Line protocol has no escape for a line end: it would end the line.
        out += (c == '\n' || c == '\r') ? ' ' : c;
    }
    return out;
}

QByteArray ReadingFormatter::header() const {
    using Format = CliOptions::Format;
    const Format format = m_settings.format;
    if (format == Format::Csv && !m_settings.legacyColumns) {
        QByteArray h = PortableCsv::header();
        if (m_settings.severalMeters)
            h.insert(h.size() - 2, ",meter,monotonic_ms");
        return h;
    }
    if (!m_settings.header || (format != Format::Tsv && format != Format::Csv))
        return {};
    QStringList names{"time",     "value",   "unit", "function",
                      "coupling", "ranging", "hold", "overload"};
    if (m_settings.severalMeters)
        names += {QStringLiteral("meter"), QStringLiteral("monotonic_ms")};
    return names.join(format == Format::Tsv ? u'\t' : u',').toUtf8() + '\n';
}

QByteArray ReadingFormatter::line(const Reading& r, const StampedReading& stamp) {
    switch (m_settings.format) {
    case CliOptions::Format::Json:
        return jsonLine(r, stamp);
    case CliOptions::Format::Influx:
        return influxLine(r, stamp);
    case CliOptions::Format::Csv:
        if (!m_settings.legacyColumns)
            return portableLine(r, stamp);
        break;
    default:
        break;
    }
    return separatedLine(r, stamp);
}

QByteArray ReadingFormatter::separatedLine(const Reading& r, const StampedReading& stamp) const {
    QStringList fields{timeText(stamp.wall),
                       valueText(r),
                       r.unitText,
                       r.functionName,
                       couplingText(r),
                       r.autoRange ? QStringLiteral("auto") : QStringLiteral("manual"),
                       r.peakHold ? QStringLiteral("hold") : QString(),
                       r.overload ? QStringLiteral("OL") : QString()};
    if (m_settings.severalMeters)
        fields += {stamp.meter, QString::number(stamp.monotonicMs)};
    if (m_settings.format == CliOptions::Format::Csv) {
        for (QString& f : fields)
            f = csvField(f);
        return fields.join(u',').toUtf8() + '\n';
    }
    return fields.join(u'\t').toUtf8() + '\n';
}

QByteArray ReadingFormatter::portableLine(const Reading& r, const StampedReading& stamp) {
    PortableCsv::Reading row;
    row.row = ++m_rows;
    row.when = dateTimeToDays(stamp.wall.toLocalTime());
    row.shownValue = valueText(r);
    row.value = row.shownValue.toDouble();
    row.unit = r.unitText;
    row.function = r.functionName;
    row.coupling = couplingText(r);
    row.range = r.autoRange ? QStringLiteral("auto") : QStringLiteral("manual");
    row.flags = flagsText(r);
    QByteArray out;
    m_portable.appendRow(out, row);
    if (m_settings.severalMeters) {
        out.chop(2);
        out += ',';
        PortableCsv::appendField(out, stamp.meter.toUtf8());
        out += ',' + QByteArray::number(stamp.monotonicMs) + "\r\n";
    }
    return out;
}

QByteArray ReadingFormatter::jsonLine(const Reading& r, const StampedReading& stamp) const {
    const QString value = valueText(r);
    const std::optional<double> si = siValue(r, value);
    const QString coupling = couplingText(r);
    QByteArray out = "{\"time\":" + jsonString(timeText(stamp.wall));
    out += ",\"monotonic_ms\":" + QByteArray::number(stamp.monotonicMs);
    out += ",\"meter\":" + jsonString(stamp.meter);
    out += ",\"seq\":" + QByteArray::number(stamp.sequence);
    // The meter's digits as they are: a JSON number may end in zeros.
    out += ",\"value\":" + (r.overload ? QByteArray("null") : value.toLatin1());
    out += ",\"unit\":" + jsonString(r.unitText);
    out += ",\"si_value\":" + (si ? numberText(*si) : QByteArray("null"));
    out += ",\"si_unit\":" + (si ? jsonString(QString::fromUtf8(RangeTable::toSi(r.unitText).unit))
                                 : QByteArray("null"));
    out += ",\"function\":" + jsonString(r.functionName);
    out += ",\"coupling\":" + (coupling.isEmpty() ? QByteArray("null") : jsonString(coupling));
    out += ",\"auto\":" + jsonBool(r.autoRange);
    out += ",\"hold\":" + jsonBool(r.peakHold);
    out += ",\"overload\":" + jsonBool(r.overload);
    out += ",\"negative\":" + jsonBool(r.negative);
    out += ",\"flags\":" + jsonString(flagsText(r));
    return out + "}\n";
}

QByteArray ReadingFormatter::influxLine(const Reading& r, const StampedReading& stamp) const {
    QByteArray out = influxEscape(QStringLiteral("ql350"), true);
    // A tag with an empty value is not allowed: it is left out.
    const std::pair<const char*, QString> tags[] = {{"meter", stamp.meter},
                                                    {"function", r.functionName},
                                                    {"coupling", couplingText(r)},
                                                    {"unit", r.unitText}};
    for (const auto& [key, value] : tags) {
        if (!value.isEmpty())
            out += ',' + QByteArray(key) + '=' + influxEscape(value, false);
    }
    const QString value = valueText(r);
    out += ' ';
    if (const std::optional<double> si = siValue(r, value))
        out += "value=" + value.toLatin1() + ",si_value=" + numberText(*si) + ',';
    out += "overload=" + jsonBool(r.overload);
    out += ' ' + QByteArray::number(stamp.wall.toMSecsSinceEpoch()) + "000000\n";
    return out;
}
