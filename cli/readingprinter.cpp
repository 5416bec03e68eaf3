#include "readingprinter.h"

#include "framedecoder.h"
#include "livelink.h"
#include "reading.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The value with the decimals its divisor gives, in the C locale so that every consumer
// reads it; "OL" or "-OL" when overloaded.
QString valueText(const Reading& r) {
    if (r.Overload)
        return r.Negative ? QStringLiteral("-OL") : QStringLiteral("OL");
    const int decimals = FrameDecoder::DecimalsFor(r.Divisor);
    return decimals >= 0 ? QString::number(double(r.Count) / r.Divisor, 'f', decimals)
                         : QString::number(double(r.Value), 'g', 6);
}

QString couplingText(const Reading& r) {
    return r.AC ? QStringLiteral("AC") : r.DC ? QStringLiteral("DC") : QString();
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

} // namespace

void ReadingPrinter::setOutput(std::FILE* out, CliOptions::Format format) {
    m_out = out;
    m_format = format;
}

QByteArray ReadingPrinter::Line(const Reading& r, const QDateTime& when,
                                CliOptions::Format format) {
    const QDateTime local = when.toOffsetFromUtc(when.offsetFromUtc());
    const QString time = local.toString(Qt::ISODateWithMs);
    if (format == CliOptions::Format::Json) {
        QJsonObject o;
        o.insert("time", time);
        if (r.Overload)
            o.insert("value", QJsonValue::Null);
        else
            o.insert("value", valueText(r).toDouble());
        o.insert("unit", r.UnitText);
        o.insert("function", r.FunctionName);
        o.insert("coupling", r.AC ? QJsonValue("AC") : r.DC ? QJsonValue("DC") : QJsonValue());
        o.insert("auto", r.Auto);
        o.insert("hold", r.PeakHold);
        o.insert("overload", r.Overload);
        if (r.Overload)
            o.insert("negative", r.Negative);
        return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    }
    const QStringList fields{time,
                             valueText(r),
                             r.UnitText,
                             r.FunctionName,
                             couplingText(r),
                             r.Auto ? QStringLiteral("auto") : QStringLiteral("manual"),
                             r.PeakHold ? QStringLiteral("hold") : QString(),
                             r.Overload ? QStringLiteral("OL") : QString()};
    if (format == CliOptions::Format::Csv) {
        QStringList quoted;
        for (const QString& f : fields)
            quoted += csvField(f);
        return quoted.join(u',').toUtf8() + '\n';
    }
    return fields.join(u'\t').toUtf8() + '\n';
}

void ReadingPrinter::follow(LiveLink& link) {
    QObject::connect(&link, &LiveLink::updated, &link,
                     [this](const LiveUpdate& update) { print(update.reading); });
    QObject::connect(&link, &LiveLink::statusTextChanged, &link,
                     [this](int panel, const QString& text) { setStatusText(panel, text); });
}

void ReadingPrinter::print(const Reading& reading) {
    ++m_readings;
    bool written = true;
    if (m_out) {
        const QByteArray line = Line(reading, QDateTime::currentDateTime(), m_format);
        written =
            std::fwrite(line.constData(), 1, size_t(line.size()), m_out) == size_t(line.size()) &&
            std::fflush(m_out) == 0;
    }
    if (onReading)
        onReading(written);
}

void ReadingPrinter::setStatusText(int panel, const QString& text) {
    if (panel == 0) {
        m_status0 = text;
    } else if (panel == 1) {
        // The link watch gave up on the meter and calls it again once a second: while lines
        // are printed, the user hears why they stopped.
        if (m_out && text == QLatin1String("No Connection") && m_status1 != text)
            std::fprintf(stderr, "ql350-cli: No Connection; calling the meter again\n");
        m_status1 = text;
    }
}
