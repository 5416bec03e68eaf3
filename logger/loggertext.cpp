#include "loggertext.h"

#include <QLocale>

namespace LoggerText {

QString date(QDate date) {
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString time(QTime time) {
    return QLocale().toString(time, QStringLiteral("HH:mm:ss"));
}

QString value(float value, int decimals) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    // A negative zero (sign bit with magnitude 0) reads as plain zero. No bidi mark before the
    // minus sign (Hebrew, Arabic, Persian): readers of the saved file would not take it.
    QString text = locale.toString(value == 0 ? 0.0 : double(value), 'f', decimals);
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Format; });
    return text;
}

} // namespace LoggerText
