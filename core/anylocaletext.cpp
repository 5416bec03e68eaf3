#include "anylocaletext.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The locales whose month names and AM/PM texts are recognised, besides the user's own: the
// languages the program's users write in most, and every script the tests write in.
const char* const kKnownLocales[] = {
    "en_US", "en_GB", "de_DE", "fr_FR", "es_ES", "it_IT", "pt_BR", "nl_NL", "sv_SE", "da_DK",
    "nb_NO", "fi_FI", "pl_PL", "cs_CZ", "hu_HU", "ro_RO", "ru_RU", "uk_UA", "bg_BG", "el_GR",
    "tr_TR", "he_IL", "ar_SA", "fa_IR", "ur_PK", "hi_IN", "th_TH", "zh_CN", "zh_TW", "ja_JP",
    "ko_KR", "vi_VN", "id_ID"};

// Letters of a name or marker as compared: lower case, without dots, blanks and format marks.
QString compact(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'.' || c.isSpace() || c.category() == QChar::Other_Format)
            continue;
        out += c.toLower();
    }
    return out;
}

struct Names {
    std::vector<std::pair<QString, int>> months; // compact name, month 1..12
    std::vector<std::pair<QString, bool>> marks;  // compact AM/PM text, true for PM
};

const Names& names() {
    static const Names table = [] {
        Names t;
        std::vector<QLocale> locales{QLocale(), QLocale::c()};
        for (const char* name : kKnownLocales)
            locales.emplace_back(QString::fromLatin1(name));
        for (const QLocale& l : locales) {
            for (int m = 1; m <= 12; ++m) {
                for (const QString& n :
                     {l.monthName(m, QLocale::LongFormat), l.monthName(m, QLocale::ShortFormat),
                      l.standaloneMonthName(m, QLocale::LongFormat),
                      l.standaloneMonthName(m, QLocale::ShortFormat)}) {
                    const QString c = compact(n);
                    // A name made of digits (ja "1月") is read as a number.
                    if (c.isEmpty() || c.front().isDigit())
                        continue;
                    const bool known = std::any_of(t.months.begin(), t.months.end(),
                                                   [&](const auto& e) { return e.first == c; });
                    if (!known)
                        t.months.emplace_back(c, m);
                }
            }
            for (const bool pm : {false, true}) {
                const QString c = compact(pm ? l.pmText() : l.amText());
                const bool known = std::any_of(t.marks.begin(), t.marks.end(),
                                               [&](const auto& e) { return e.first == c; });
                if (!c.isEmpty() && !known)
                    t.marks.emplace_back(c, pm);
            }
        }
        // Longest first, so that a marker inside a longer one of the other half never wins.
        std::stable_sort(t.marks.begin(), t.marks.end(),
                         [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
        return t;
    }();
    return table;
}

bool isDecimalSeparator(QChar c) {
    return c == u'.' || c == u',' || c == QChar(0x066B);
}

} // namespace

AnyLocaleText::AnyLocaleText() {
    // The user's own order first, then day-month-year, month-day-year, year-month-day.
    const QString format = QLocale().dateFormat(QLocale::ShortFormat);
    const qsizetype d = format.indexOf(u'd'), m = format.indexOf(u'M'), y = format.indexOf(u'y');
    Order own = DayMonthYear;
    if (y >= 0 && d >= 0 && m >= 0) {
        if (y < m && m < d)
            own = YearMonthDay;
        else if (m < d && d < y)
            own = MonthDayYear;
    }
    m_preference[0] = own;
    m_ownTwoDigitYearFirst = own == YearMonthDay && !format.contains(QLatin1String("yyy"));
    int k = 1;
    for (const Order o : {DayMonthYear, MonthDayYear, YearMonthDay})
        if (o != own)
            m_preference[std::size_t(k++)] = o;
}

QString AnyLocaleText::normalized(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Format)
            continue; // bidi marks, zero-width joiners
        if (c.category() == QChar::Number_DecimalDigit && c.unicode() > 127)
            out += QChar(u'0' + c.digitValue());
        else if (c == QChar(0x2212))
            out += u'-';
        else
            out += c;
    }
    return out;
}

std::optional<double> AnyLocaleText::number(const QString& text) {
    QString n = normalized(text).trimmed();
    qsizetype separators = 0;
    for (QChar& c : n) {
        if (isDecimalSeparator(c)) {
            c = u'.';
            ++separators;
        }
    }
    if (separators > 1 || n.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(n, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

AnyLocaleText::Numbers AnyLocaleText::scanDate(const QString& text) const {
    Numbers n;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype j = i;
        if (text[i].isDigit()) {
            int v = 0;
            while (j < text.size() && text[j].isDigit() && j - i < 9)
                v = v * 10 + (text[j++].unicode() - u'0');
            n.values.push_back(v);
            n.digits.push_back(int(j - i));
        } else if (text[i].isLetter()) {
            while (j < text.size() && (text[j].isLetter() || text[j].isMark() || text[j] == u'.'))
                ++j;
            const QString word = compact(text.mid(i, j - i));
            for (const auto& [name, month] : names().months) {
                if (name == word) {
                    n.month = month;
                    break;
                }
            }
        } else {
            ++j;
        }
        i = j;
    }
    return n;
}

std::optional<QDate> AnyLocaleText::make(int year, int yearDigits, int month, int day) {
    if (yearDigits <= 2) {
        const int oldest = QDate::currentDate().year() - 50;
        year += 1900;
        while (year < oldest)
            year += 100;
    }
    const QDate d(year, month, day);
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

void AnyLocaleText::learnDate(const QString& text) {
    const Numbers n = scanDate(normalized(text));
    if (n.month || n.values.size() != 3 || n.digits[0] > 2)
        return; // a month name or a leading four-digit year leaves no doubt
    if (m_preference[0] == YearMonthDay && !m_ownTwoDigitYearFirst)
        m_ownOrderUsable = false; // "24/5/6" is not how this locale writes a year first
    const int a = n.values[0], b = n.values[1], c = n.values[2];
    const std::array<std::optional<QDate>, OrderCount> dates = {
        make(c, n.digits[2], b, a), make(c, n.digits[2], a, b), make(a, n.digits[0], b, c)};
    std::array<bool, OrderCount> narrowed{};
    for (std::size_t i = 0; i < dates.size(); ++i)
        narrowed[i] = m_fits[i] && dates[i].has_value();
    // A file whose dates no single order fits is read date by date.
    if (std::find(narrowed.begin(), narrowed.end(), true) == narrowed.end())
        return;
    m_fits = narrowed;
    for (std::size_t i = 0; i < dates.size(); ++i) {
        if (!dates[i])
            continue;
        const qint64 day = dates[i]->toJulianDay();
        m_first[i] = m_learned ? std::min(m_first[i], day) : day;
        m_last[i] = m_learned ? std::max(m_last[i], day) : day;
    }
    m_learned = true;
}

AnyLocaleText::Order AnyLocaleText::chosen() const {
    std::array<Order, OrderCount> order = m_preference;
    if (!m_ownOrderUsable)
        std::rotate(order.begin(), order.begin() + 1, order.end()); // own order last
    std::optional<Order> best;
    for (const Order o : order) {
        if (!m_fits[o])
            continue;
        if (!best || (m_learned && m_last[o] - m_first[o] < m_last[*best] - m_first[*best]))
            best = o;
    }
    return best.value_or(order[0]);
}

std::optional<QDate> AnyLocaleText::date(const QString& text) const {
    const QString t = normalized(text).trimmed();
    if (t.size() >= 10 && t[4] == u'-' && t[7] == u'-') {
        const QDate iso = QDate::fromString(t.left(10), Qt::ISODate);
        if (iso.isValid())
            return iso;
    }
    const Numbers n = scanDate(t);
    if (n.month) {
        // A day and a year around a month name: the year is the one that cannot be a day.
        if (n.values.size() != 2)
            return std::nullopt;
        const bool firstIsYear = n.digits[0] > 2 || n.values[0] > 31;
        const int day = firstIsYear ? n.values[1] : n.values[0];
        const int year = firstIsYear ? n.values[0] : n.values[1];
        return make(year, firstIsYear ? n.digits[0] : n.digits[1], n.month, day);
    }
    if (n.values.size() != 3)
        return std::nullopt;
    const int a = n.values[0], b = n.values[1], c = n.values[2];
    if (n.digits[0] > 2)
        return make(a, n.digits[0], b, c);
    const auto byOrder = [&](Order o) {
        switch (o) {
        case DayMonthYear:
            return make(c, n.digits[2], b, a);
        case MonthDayYear:
            return make(c, n.digits[2], a, b);
        default:
            return make(a, n.digits[0], b, c);
        }
    };
    if (const auto d = byOrder(chosen()))
        return d;
    // A date that the file's order does not take: whichever order does.
    for (const Order o : m_preference)
        if (const auto d = byOrder(o))
            return d;
    return std::nullopt;
}

std::optional<int> AnyLocaleText::time(const QString& text) const {
    const QString t = normalized(text);
    std::vector<int> values, digits;
    for (qsizetype i = 0; i < t.size();) {
        if (!t[i].isDigit()) {
            ++i;
            continue;
        }
        qsizetype j = i;
        int v = 0;
        while (j < t.size() && t[j].isDigit() && j - i < 4)
            v = v * 10 + (t[j++].unicode() - u'0');
        values.push_back(v);
        digits.push_back(int(j - i));
        i = j;
    }
    if (values.size() < 2 || values.size() > 4)
        return std::nullopt;
    int hour = values[0];
    const int minute = values[1];
    const int second = values.size() > 2 ? values[2] : 0;
    int ms = 0;
    if (values.size() > 3) {
        ms = values[3];
        for (int k = digits[3]; k < 3; ++k)
            ms *= 10;
        for (int k = digits[3]; k > 3; --k)
            ms /= 10;
    }
    const QString letters = compact(t);
    for (const auto& [mark, pm] : names().marks) {
        if (!letters.contains(mark))
            continue;
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (pm ? 12 : 0);
        break;
    }
    if (hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return ((hour * 60 + minute) * 60 + second) * 1000 + ms;
}

std::optional<QDateTime> AnyLocaleText::dateTime(const QString& date, const QString& time) const {
    const QString whole = normalized(time.isEmpty() ? date : date + u'T' + time).trimmed();
    const QDateTime iso = QDateTime::fromString(whole, Qt::ISODateWithMs);
    if (iso.isValid())
        return iso.timeSpec() == Qt::LocalTime ? iso : iso.toLocalTime();
    if (time.isEmpty())
        return std::nullopt;
    const auto d = this->date(date);
    const auto ms = this->time(time);
    if (!d || !ms)
        return std::nullopt;
    return QDateTime(*d, QTime::fromMSecsSinceStartOfDay(*ms));
}
