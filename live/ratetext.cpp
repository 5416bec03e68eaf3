#include "ratetext.h"

namespace {

// One part of the rate: 0..60, or false when it is not a decimal number.
bool convertPart(QStringView part, int& value) {
    qsizetype i = 0;
    while (i < part.size() && part[i] == u' ')
        ++i;
    if (i == part.size())
        return false;
    int v = 0;
    for (; i < part.size(); ++i) {
        const QChar c = part[i];
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    value = v;
    return true;
}

// Reads one part and corrects it in place; returns whether it had to be corrected.
bool readPart(QStringView part, int& value, QString& text) {
    if (!convertPart(part, value)) {
        value = 0;
        text = QStringLiteral("00");
        return true;
    }
    if (value > 60) {
        value = 60;
        text = QStringLiteral("60");
        return true;
    }
    text = part.toString();
    return false;
}

QString twoDigits(int n) {
    return QString(u'0' + QString::number(n)).right(2);
}

} // namespace

RateText RateText::parse(const QString& text) {
    const QStringView all(text);
    RateText r;
    QString minutes, seconds;
    const bool m = readPart(all.mid(2, 2), r.minutes, minutes);
    const bool s = readPart(all.mid(7, 2), r.seconds, seconds);
    r.corrected = m || s;
    r.text = QStringLiteral("  ") + minutes + QStringLiteral(" : ") + seconds + QStringLiteral(" ");
    return r;
}

QString RateText::Format(int seconds) {
    seconds = qMax(0, seconds);
    return QStringLiteral("  ") + twoDigits(seconds / 60) + QStringLiteral(" : ") +
           twoDigits(seconds % 60) + QStringLiteral(" ");
}
