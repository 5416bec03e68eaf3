#include "datetimetext.h"

#include <QLocale>

namespace {

// Applies `edit` to the parts of a date-time format outside quoted literal text.
template <typename Edit> QString editUnquoted(const QString& format, Edit edit) {
    QString out, run;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            if (!quoted) {
                out += edit(run);
                run.clear();
            }
            quoted = !quoted;
            out += c;
        } else if (quoted) {
            out += c;
        } else {
            run += c;
        }
    }
    return out + edit(run);
}

// "yy" (exactly two) becomes "yyyy".
QString widenYear(const QString& format) {
    return editUnquoted(format, [](const QString& part) {
        QString r;
        for (qsizetype i = 0; i < part.size();) {
            qsizetype j = i;
            while (j < part.size() && part[j] == part[i])
                ++j;
            const qsizetype run = j - i;
            r += part[i] == u'y' && run == 2 ? QString(4, u'y') : part.mid(i, run);
            i = j;
        }
        return r;
    });
}

// Removes the time zone ("t") with the blanks before it, and the brackets some locales put
// around it ("H:mm:ss (t)", "Bh:mm:ss [t]"), which would otherwise stay behind empty in every
// time written. A day period "B" (which Qt does not know, and would write as a letter B) becomes
// Qt's AM/PM text, so that a 12-hour time keeps its half of the day.
QString withoutZone(const QString& format) {
    const QString r = editUnquoted(format, [](const QString& part) {
        QString s = part;
        for (qsizetype i = s.indexOf(u't'); i >= 0; i = s.indexOf(u't')) {
            qsizetype start = i, end = i;
            while (end < s.size() && s[end] == u't')
                ++end;
            while (start > 0 && s[start - 1].isSpace())
                --start;
            s.remove(start, end - start);
        }
        for (const QLatin1StringView empty : {QLatin1StringView("()"), QLatin1StringView("[]")}) {
            for (qsizetype i = s.indexOf(empty); i >= 0; i = s.indexOf(empty)) {
                qsizetype start = i;
                while (start > 0 && s[start - 1].isSpace())
                    --start;
                s.remove(start, i + empty.size() - start);
            }
        }
        s.replace(u'B', QStringLiteral("AP"));
        return s;
    });
    return r.trimmed();
}

bool hasTwoDigitYear(const QString& format) {
    return widenYear(format) != format;
}

} // namespace

QString DateTimeText::dateFormat() {
    return widenYear(QLocale().dateFormat(QLocale::ShortFormat));
}

QString DateTimeText::timeFormat() {
    return withoutZone(QLocale().timeFormat(QLocale::LongFormat));
}

QString DateTimeText::dateString(QDate date) {
    return QLocale().toString(date, dateFormat());
}

QString DateTimeText::timeString(QTime time) {
    return QLocale().toString(time, timeFormat());
}

QString DateTimeText::Format(const QDateTime& dateTime) {
    return dateString(dateTime.date()) + u' ' + timeString(dateTime.time());
}

std::optional<QDateTime> DateTimeText::parse(const QString& text) {
    const QLocale locale;
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    const QString longTime = locale.timeFormat(QLocale::LongFormat);
    const bool shortYear = hasTwoDigitYear(shortDate);
    const struct {
        QString format;
        bool twoDigitYear;
    } formats[] = {
        {dateFormat() + u' ' + timeFormat(), false},
        {shortDate + u' ' + longTime, shortYear},
        {shortDate + u' ' + timeFormat(), shortYear},
        {dateFormat() + u' ' + longTime, false},
    };
    const QString trimmed = text.trimmed();
    for (const auto& [format, twoDigitYear] : formats) {
        QDateTime dt = locale.toDateTime(trimmed, format);
        if (!dt.isValid())
            continue;
        if (dt.timeSpec() != Qt::LocalTime)
            dt = dt.toLocalTime();
        QDate date = dt.date();
        if (twoDigitYear) {
            // The parser puts two-digit years into 1900..1999.
            const int oldest = QDate::currentDate().year() - 50;
            while (date.year() < oldest)
                date = date.addYears(100);
        }
        return QDateTime(date, dt.time());
    }
    return std::nullopt;
}
