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
    if (r.Overload)
        return std::nullopt;
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    const RangeTable::SiScale si = RangeTable::ToSi(r.UnitText);
    return v * si.factor + si.offset;
}

} // namespace

ReadingFormatter::ReadingFormatter(const Settings& settings) : m_settings(settings) {}

QString ReadingFormatter::ValueText(const Reading& r) {
    if (r.Overload)
        return r.Negative ? QStringLiteral("-OL") : QStringLiteral("OL");
    const int decimals = FrameDecoder::DecimalsFor(r.Divisor);
    return decimals >= 0 ? QString::number(double(r.Count) / r.Divisor, 'f', decimals)
                         : QString::number(double(r.Value), 'g', 6);
}

QString ReadingFormatter::CouplingText(const Reading& r) {
    return r.AC ? QStringLiteral("AC") : r.DC ? QStringLiteral("DC") : QString();
}

QString ReadingFormatter::FlagsText(const Reading& r) {
    QStringList flags;
    if (r.Overload)
        flags += QStringLiteral("overload");
    if (r.PeakHold || (r.Annunciators & (1u << annHOLD)))
        flags += QStringLiteral("hold");
    const struct {
        AnnunciatorBit bit;
        const char* word;
    } marks[] = {{annREL, "relative"},    {annMAX, "max"},  {annMIN, "min"},
                 {annPMAX, "peak-max"},   {annPMIN, "peak-min"},
                 {annLBT, "low-battery"}};
    for (const auto& m : marks) {
        if (r.Annunciators & (1u << m.bit))
            flags += QLatin1String(m.word);
    }
    return flags.join(u' ');
}

QByteArray ReadingFormatter::InfluxEscape(const QString& text, bool measurement) {
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
                       ValueText(r),
                       r.UnitText,
                       r.FunctionName,
                       CouplingText(r),
                       r.Auto ? QStringLiteral("auto") : QStringLiteral("manual"),
                       r.PeakHold ? QStringLiteral("hold") : QString(),
                       r.Overload ? QStringLiteral("OL") : QString()};
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
    row.when = DateTimeToDays(stamp.wall.toLocalTime());
    row.shownValue = ValueText(r);
    row.value = row.shownValue.toDouble();
    row.unit = r.UnitText;
    row.function = r.FunctionName;
    row.coupling = CouplingText(r);
    row.range = r.Auto ? QStringLiteral("auto") : QStringLiteral("manual");
    row.flags = FlagsText(r);
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
    const QString value = ValueText(r);
    const std::optional<double> si = siValue(r, value);
    const QString coupling = CouplingText(r);
    QByteArray out = "{\"time\":" + jsonString(timeText(stamp.wall));
    out += ",\"monotonic_ms\":" + QByteArray::number(stamp.monotonicMs);
    out += ",\"meter\":" + jsonString(stamp.meter);
    out += ",\"seq\":" + QByteArray::number(stamp.sequence);
    // The meter's digits as they are: a JSON number may end in zeros.
    out += ",\"value\":" + (r.Overload ? QByteArray("null") : value.toLatin1());
    out += ",\"unit\":" + jsonString(r.UnitText);
    out += ",\"si_value\":" + (si ? numberText(*si) : QByteArray("null"));
    out += ",\"si_unit\":" + (si ? jsonString(QString::fromUtf8(RangeTable::ToSi(r.UnitText).unit))
                                 : QByteArray("null"));
    out += ",\"function\":" + jsonString(r.FunctionName);
    out += ",\"coupling\":" + (coupling.isEmpty() ? QByteArray("null") : jsonString(coupling));
    out += ",\"auto\":" + jsonBool(r.Auto);
    out += ",\"hold\":" + jsonBool(r.PeakHold);
    out += ",\"overload\":" + jsonBool(r.Overload);
    out += ",\"negative\":" + jsonBool(r.Negative);
    out += ",\"flags\":" + jsonString(FlagsText(r));
    return out + "}\n";
}

QByteArray ReadingFormatter::influxLine(const Reading& r, const StampedReading& stamp) const {
    QByteArray out = InfluxEscape(QStringLiteral("ql350"), true);
    // A tag with an empty value is not allowed: it is left out.
    const std::pair<const char*, QString> tags[] = {{"meter", stamp.meter},
                                                    {"function", r.FunctionName},
                                                    {"coupling", CouplingText(r)},
                                                    {"unit", r.UnitText}};
    for (const auto& [key, value] : tags) {
        if (!value.isEmpty())
            out += ',' + QByteArray(key) + '=' + InfluxEscape(value, false);
    }
    const QString value = ValueText(r);
    out += ' ';
    if (const std::optional<double> si = siValue(r, value))
        out += "value=" + value.toLatin1() + ",si_value=" + numberText(*si) + ',';
    out += "overload=" + jsonBool(r.Overload);
    out += ' ' + QByteArray::number(stamp.wall.toMSecsSinceEpoch()) + "000000\n";
    return out;
}
