#include "downloadarchive.h"

#include "clock.h"
#include "decodeddataset.h"
#include "portablecsv.h"
#include "safefile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QStandardPaths>


namespace DownloadArchive {

namespace {

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

namespace {

bool writeRows(QIODevice& out, const DecodedDataSet& set, const QString& function,
               const QString& coupling) {
    PortableCsv csv;
    QByteArray bytes = PortableCsv::header();
    for (int i = 0; i < set.count(); ++i) {
        PortableCsv::Reading r;
        r.row = i + 1;
        r.when = set.x.value(i);
        r.shownValue = set.plainValues.value(i);
        r.value = r.shownValue.toDouble();
        r.unit = set.rows[i].value(4).trimmed();
        r.function = function;
        r.coupling = coupling;
        if (set.overload.value(i))
            r.flags = QStringLiteral("overload");
        csv.appendRow(bytes, r);
    }
    return out.write(bytes) == bytes.size();
}

} // namespace

bool writePortableSet(QIODevice& out, const DecodedDataSet& set, const QString& function) {
    return writeRows(out, set, function, QString());
}

bool writePortableSet(QIODevice& out, const DecodedDataSet& set, const DataSetInfo& info) {
    // Bits 2..3 of the set's coupling: 1 AC, 2 DC.
    const int coupling = info.couplingBits / 4;
    return writeRows(out, set, info.functionName(),
                     coupling == 1   ? QStringLiteral("AC")
                     : coupling == 2 ? QStringLiteral("DC")
                                     : QString());
}

QString save(const LoggerImage& image, const QList<DataSetInfo>& sets, const QDateTime& when,
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
        writePortableSet(file, decodeDataSet(image, sets[k]), sets[k]);
        if (!writeFile(folder + QStringLiteral("/set%1.csv").arg(k + 1, 3, 10, QLatin1Char('0')), file.data(),
                       error))
            return QString();
    }
    return folder;
}

} // namespace DownloadArchive
