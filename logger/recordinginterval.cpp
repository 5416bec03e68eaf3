#include "recordinginterval.h"

namespace RecordingInterval {

namespace {

struct Choice {
    const char* text;
    int seconds;
};

constexpr Choice kChoices[] = {
    {"1 second", 1},    {"2 seconds", 2},    {"5 seconds", 5},
    {"10 seconds", 10}, {"30 seconds", 30},  {"1 minute", 60},
    {"5 minutes", 300}, {"10 minutes", 600}, {"20 minutes", 1200},
};

} // namespace

QStringList items() {
    QStringList items;
    for (const Choice& c : kChoices)
        items += QString::fromLatin1(c.text);
    return items;
}

QString text(quint32 units) {
    const quint32 seconds = units / UnitsPerSecond;
    if (seconds == 0)
        return QString();
    for (const Choice& c : kChoices) {
        if (quint32(c.seconds) == seconds)
            return QString::fromLatin1(c.text);
    }
    if (seconds % 60 == 0)
        return QStringLiteral("%1 minutes").arg(seconds / 60);
    return QStringLiteral("%1 seconds").arg(seconds);
}

std::optional<quint32> parse(const QString& text, QString* refusal) {
    const QString trimmed = text.trimmed();
    const qsizetype space = trimmed.indexOf(u' ');
    const QString number = space < 0 ? trimmed : trimmed.left(space);
    const QString unit = space < 0 ? QString() : trimmed.mid(space + 1).trimmed().toLower();

    auto refuse = [refusal](const QString& why) -> std::optional<quint32> {
        if (refusal)
            *refusal = why;
        return std::nullopt;
    };

    bool digits = !number.isEmpty();
    for (QChar c : number)
        digits = digits && c >= u'0' && c <= u'9';
    quint32 perUnit = 0;
    if (unit == u"second" || unit == u"seconds")
        perUnit = UnitsPerSecond;
    else if (unit == u"minute" || unit == u"minutes")
        perUnit = UnitsPerMinute;
    if (!digits || perUnit == 0)
        return refuse(QStringLiteral("\"%1\" is not a recording interval. Enter a whole number, a "
                                     "space and a unit, for example \"10 seconds\" or "
                                     "\"5 minutes\". Nothing was written to the meter.")
                          .arg(text));

    bool ok = false;
    const qulonglong count = number.toULongLong(&ok); // fails only for numbers beyond 64 bits
    if (ok && count == 0)
        return refuse(QStringLiteral("The recording interval cannot be zero. Nothing was written "
                                     "to the meter."));
    if (!ok || count > MaxUnits / perUnit)
        return refuse(QStringLiteral("\"%1\" is longer than the meter can record at: the longest "
                                     "recording interval is %2 seconds (%3 minutes %4 seconds). "
                                     "Nothing was written to the meter.")
                          .arg(text)
                          .arg(MaxSeconds)
                          .arg(MaxSeconds / 60)
                          .arg(MaxSeconds % 60));
    return quint32(count) * perUnit;
}

} // namespace RecordingInterval
