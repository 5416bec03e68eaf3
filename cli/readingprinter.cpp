#include "readingprinter.h"

#include "livelink.h"
#include "reading.h"

ReadingOutput::ReadingOutput(std::FILE* out, const ReadingFormatter::Settings& settings)
    : m_out(out), m_formatter(settings) {
    m_clock.start();
}

bool ReadingOutput::put(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return true;
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out) == size_t(bytes.size()) &&
           std::fflush(m_out) == 0;
}

bool ReadingOutput::begin() {
    return put(m_formatter.header());
}

bool ReadingOutput::write(const Reading& reading, const StampedReading& stamp) {
    return put(m_formatter.line(reading, stamp));
}

StampedReading ReadingOutput::stampNow(const QString& meter, qint64 sequence) const {
    return {meter, sequence, QDateTime::currentDateTime(), m_clock.elapsed()};
}

void ReadingPrinter::follow(LiveLink& link) {
    QObject::connect(&link, &LiveLink::updated, &link,
                     [this](const LiveUpdate& update) { print(update.reading); });
    QObject::connect(&link, &LiveLink::statusTextChanged, &link,
                     [this](int panel, const QString& text) { setStatusText(panel, text); });
    QObject::connect(&link, &LiveLink::portMoved, &link,
                     [this](const QString& from, const QString& to) { tellMoved(from, to); });
}

void ReadingPrinter::tellMoved(const QString& from, const QString& to) {
    // The meter's id keeps the name it started with: its readings stay one series.
    std::fprintf(
        stderr, "ql350-cli: %s%s\n",
        m_meterId.isEmpty() ? "" : qPrintable(m_meterId + QStringLiteral(": ")),
        qPrintable(QStringLiteral("the meter's adapter is back as %1 (was %2)").arg(to, from)));
    std::fflush(stderr);
}

void ReadingPrinter::print(const Reading& reading) {
    ++m_readings;
    bool written = true;
    if (m_output || onStamped) {
        StampedReading stamp;
        if (m_output) {
            stamp = m_output->stampNow(m_meterId, m_readings);
        } else {
            stamp.meter = m_meterId;
            stamp.sequence = m_readings;
            stamp.wall = QDateTime::currentDateTime();
        }
        if (onStamped)
            onStamped(reading, stamp);
        if (m_output)
            written = m_output->write(reading, stamp);
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
        if (m_output && text == QLatin1String("No Connection") && m_status1 != text)
            std::fprintf(stderr, "ql350-cli: %s%s; calling the meter again\n",
                         m_meterId.isEmpty() ? "" : qPrintable(m_meterId + QStringLiteral(": ")),
                         "No Connection");
        m_status1 = text;
    }
}
