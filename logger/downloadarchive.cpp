#include "downloadarchive.h"

#include "clock.h"
#include "decodeddataset.h"
#include "safefile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QStandardPaths>

#include <cmath>

namespace DownloadArchive {

namespace {

// How a unit of the logger's table turns into SI: si = value * factor + offset.
struct SiUnit {
    double factor = 1;
    double offset = 0;
    QString unit;
};

SiUnit siUnitOf(const QString& unit) {
    struct Row {
        const char* unit;
        double factor;
        double offset;
        const char* si;
    };
    static constexpr Row kRows[] = {
        {"mV", 1e-3, 0, "V"},        {"V", 1, 0, "V"},          {"Ohm", 1, 0, "Ohm"},
        {"ohm", 1, 0, "Ohm"},        {"KOhm", 1e3, 0, "Ohm"},   {"MOhm", 1e6, 0, "Ohm"},
        {"nF", 1e-9, 0, "F"},        {"uF", 1e-6, 0, "F"},      {"mF", 1e-3, 0, "F"},
        {"uA", 1e-6, 0, "A"},        {"mA", 1e-3, 0, "A"},      {"A", 1, 0, "A"},
        {"KHz", 1e3, 0, "Hz"},       {"MHz", 1e6, 0, "Hz"},     {"KRPM", 1e3 / 60, 0, "Hz"},
        {"MRPM", 1e6 / 60, 0, "Hz"}, {"C", 1, 273.15, "K"},
        // The logger's "F" is the temperature's: capacitances are in nF, uF and mF.
        {"F", 5.0 / 9, 273.15 - 32 * 5.0 / 9, "K"},
    };
    for (const Row& r : kRows) {
        if (unit == QLatin1String(r.unit))
            return {r.factor, r.offset, QString::fromLatin1(r.si)};
    }
    return {}; // the adapter inputs have no unit
}

QString isoTime(double days) {
    const QDateTime t = DaysToDateTime(days);
    const int offset = t.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return t.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) +
           QStringLiteral("%1%2:%3")
               .arg(QChar(offset < 0 ? u'-' : u'+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString csvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') &&
        !text.contains(u'\n'))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// A file of the download, complete or not there at all; the error names the file.
bool writeFile(const QString& path, const QByteArray& bytes, QString* error) {
    QString why;
    if (SafeFile::writeAll(path, bytes, &why))
        return true;
    if (error)
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
    return false;
}

} // namespace

bool writePortableSet(QIODevice& out, const DecodedDataSet& set) {
    QString text = QStringLiteral("time,value,unit,si_value,si_unit\r\n");
    for (int i = 0; i < set.count(); ++i) {
        const QString unit = set.Rows[i].value(4).trimmed();
        const QString value = set.PlainValues.value(i);
        const SiUnit si = siUnitOf(unit);
        bool number = false;
        const double v = value.toDouble(&number);
        const QString siValue =
            number ? QString::number(v * si.factor + si.offset, 'g', 12) : QString();
        text += QStringList{isoTime(set.X[i]), csvField(value), csvField(unit), siValue,
                            csvField(si.unit)}
                    .join(u',') +
                QStringLiteral("\r\n");
    }
    const QByteArray bytes = text.toUtf8();
    return out.write(bytes) == bytes.size();
}

QString Save(const LoggerImage& image, const QList<DataSetInfo>& sets, const QDateTime& when,
             QString* error) {
    const QString root =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/downloads");
    const QString stamp = when.toString(QStringLiteral("yyyy-MM-dd HHmmss"));
    QString folder = root + u'/' + stamp;
    for (int n = 2; QFileInfo::exists(folder); ++n)
        folder = root + u'/' + stamp + QStringLiteral(" (%1)").arg(n);
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(QDir::toNativeSeparators(folder));
        return QString();
    }
    if (!writeFile(folder + QStringLiteral("/image.bin"), image.bytes(), error))
        return QString();
    for (int k = 0; k < sets.size(); ++k) {
        QBuffer file;
        file.open(QIODevice::WriteOnly);
        writePortableSet(file, DecodeDataSet(image, sets[k]));
        if (!writeFile(folder + QStringLiteral("/set%1.csv").arg(k + 1, 3, 10, QLatin1Char('0')), file.data(),
                       error))
            return QString();
    }
    return folder;
}

} // namespace DownloadArchive
