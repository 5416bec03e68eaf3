#pragma once

#include "datasetinfo.h"
#include "loggerimage.h"

#include <QDateTime>
#include <QList>
#include <QString>

class QIODevice;
struct DecodedDataSet;

// Keeps every successful download of the logger memory in the user's data folder, so that a
// later Erase Memory never destroys data that once reached the program, saved or not.
//
// One folder per download, downloads/<yyyy-MM-dd HHmmss>/ under
// QStandardPaths::AppDataLocation (a second download within the same second gets " (2)"),
// holding the image as it arrived (image.bin) and one portable file per data set (set001.csv,
// set002.csv, ...).
namespace DownloadArchive {

// Writes the download made at `when`; returns the folder. On failure returns an empty text
// with the reason in `error` (a folder half written stays: what is there is still good).
QString Save(const LoggerImage& image, const QList<DataSetInfo>& sets, const QDateTime& when,
             QString* error = nullptr);

// One data set as a portable file: UTF-8, RFC 4180 (CRLF, quoted where needed), a header row
// "time,value,unit,si_value,si_unit", then one row per record: the time in ISO 8601 with
// milliseconds and the UTC offset, the value as the table shows it but with a dot for
// decimals ("OL" for an overload), its unit, and the value in the SI unit (volts, ohms,
// farads, amperes, hertz, kelvin; empty for an overload). Returns false when writing failed.
bool writePortableSet(QIODevice& out, const DecodedDataSet& set);

} // namespace DownloadArchive
