#include "listdatetimereader.h"

#include "datetimetext.h"
#include "stringgridmodel.h"

#include <QLocale>

namespace {

constexpr double kMsPerDay = 86400000.0;
const qint64 kEpochJulianDay = QDate(1899, 12, 30).toJulianDay();

double toDays(QDate date, int msecs) {
    return double(date.toJulianDay() - kEpochJulianDay) + msecs / kMsPerDay;
}

} // namespace

ListDateTimeReader::ListDateTimeReader() {
    const QLocale locale;
    m_am = locale.amText();
    m_pm = locale.pmText();
    const QString format = DateTimeText::timeFormat();
    const bool twelveHour = format.contains(u'a', Qt::CaseInsensitive);
    m_quick = true;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        qsizetype j = i;
        while (j < format.size() && format[j] == c)
            ++j;
        const qsizetype run = j - i;
        if (c == u'h' && run <= 2)
            m_tokens.push_back({twelveHour ? Token::Hour12 : Token::Hour24, {}});
        else if (c == u'H' && run <= 2)
            m_tokens.push_back({Token::Hour24, {}});
        else if (c == u'm' && run <= 2)
            m_tokens.push_back({Token::Minute, {}});
        else if (c == u's' && run <= 2)
            m_tokens.push_back({Token::Second, {}});
        else if ((c == u'a' || c == u'A') && run <= 2)
            m_tokens.push_back({Token::AmPm, {}});
        else if (c.isLetter() || c == u'\'')
            m_quick = false; // milliseconds, quoted text: left to the general parser
        else
            m_tokens.push_back({Token::Literal, format.mid(i, run)});
        i = j;
    }
}

std::optional<int> ListDateTimeReader::quickTime(const QString& time) const {
    int hour = -1, minute = 0, second = 0;
    int pm = -1; // -1 none, 0 am, 1 pm
    qsizetype at = 0;
    const auto number = [&](int& out) {
        int digits = 0, v = 0;
        while (at < time.size() && digits < 2 && time[at].isDigit() && time[at].unicode() < 128) {
            v = v * 10 + (time[at].unicode() - '0');
            ++at;
            ++digits;
        }
        out = v;
        return digits > 0;
    };
    bool twelve = false;
    for (const Token& t : m_tokens) {
        switch (t.kind) {
        case Token::Hour12:
        case Token::Hour24:
            twelve = t.kind == Token::Hour12;
            if (!number(hour))
                return std::nullopt;
            break;
        case Token::Minute:
            if (!number(minute))
                return std::nullopt;
            break;
        case Token::Second:
            if (!number(second))
                return std::nullopt;
            break;
        case Token::AmPm:
            if (QStringView(time).mid(at).startsWith(m_am, Qt::CaseInsensitive)) {
                pm = 0;
                at += m_am.size();
            } else if (QStringView(time).mid(at).startsWith(m_pm, Qt::CaseInsensitive)) {
                pm = 1;
                at += m_pm.size();
            } else {
                return std::nullopt;
            }
            break;
        case Token::Literal:
            if (!QStringView(time).mid(at).startsWith(t.literal))
                return std::nullopt;
            at += t.literal.size();
            break;
        }
    }
    if (at != time.size() || hour < 0)
        return std::nullopt;
    if (twelve) {
        if (pm < 0 || hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return (hour * 3600 + minute * 60 + second) * 1000;
}

std::optional<double> ListDateTimeReader::readSlowly(const QString& text) {
    const auto dt = DateTimeText::parse(text);
    if (!dt)
        return std::nullopt;
    return toDays(dt->date(), dt->time().msecsSinceStartOfDay());
}

void ListDateTimeReader::learnDates(const StringGridModel& table) {
    QString previous;
    for (int i = 1; i < table.gridRowCount(); ++i) {
        const QString& date = table.cells(1, i);
        if (date != previous) {
            m_any.learnDate(date);
            previous = date;
        }
    }
    // Dates the user's own order cannot be (14/5 where the month comes first) come from
    // another locale: every row is read that way, the ones that would fit both too.
    if (!m_any.ownOrderChosen())
        m_foreign = true;
}

std::optional<double> ListDateTimeReader::readInAnyLocale(const QString& date,
                                                         const QString& time) {
    if (date != m_lastAnyDate || m_lastAnyDate.isNull()) {
        m_lastAnyDate = date;
        m_lastAnyDateValue = m_any.date(date);
    }
    if (m_lastAnyDateValue) {
        if (const auto ms = m_any.time(time))
            return toDays(*m_lastAnyDateValue, *ms);
    }
    // One ISO-8601 text, or a date the column-wise reading does not take.
    if (const auto dt = m_any.dateTime(date, time))
        return toDays(dt->date(), dt->time().msecsSinceStartOfDay());
    return std::nullopt;
}

std::optional<double> ListDateTimeReader::read(const QString& date, const QString& time) {
    if (m_foreign)
        return readInAnyLocale(date, time);
    const auto own = readInOwnLocale(date, time);
    if (own)
        return own;
    // Not the user's formats: from here on, if another locale's reading takes it.
    const auto any = readInAnyLocale(date, time);
    if (any)
        m_foreign = true;
    return any;
}

std::optional<double> ListDateTimeReader::readInOwnLocale(const QString& date,
                                                          const QString& time) {
    if (!m_quick)
        return readSlowly(date + u' ' + time);
    if (date != m_lastDate || m_lastDate.isNull()) {
        // A new date text: read the row the general way, and check the quick time reading
        // against it.
        m_lastDate = date;
        m_lastDateValue.reset();
        const auto dt = DateTimeText::parse(date + u' ' + time);
        if (!dt) {
            // The date may be sound and the time not: the next row tells.
            m_lastDate = QString();
            return std::nullopt;
        }
        m_lastDateValue = dt->date();
        const int ms = dt->time().msecsSinceStartOfDay();
        if (quickTime(time) != ms)
            m_quick = false;
        return toDays(dt->date(), ms);
    }
    const auto ms = quickTime(time);
    if (!ms || !m_lastDateValue)
        return readSlowly(date + u' ' + time);
    return toDays(*m_lastDateValue, *ms);
}
