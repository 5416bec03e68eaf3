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
QString save(const LoggerImage& image, const QList<DataSetInfo>& sets, const QDateTime& when,
             QString* error = nullptr);

// One data set as a file of the portable format (PortableCsv, docs/portable-format.md), the
// same the recorder's journal and ql350-cli write: one row per record with its time, the
// value as the table shows it (dot decimals, "OL" for an overload), its unit, the value in the
// SI unit and the set's function. Returns false when writing failed.
bool writePortableSet(QIODevice& out, const DecodedDataSet& set, const QString& function);
// The same with what the set's header tells besides: its function and coupling; an overloaded
// record is flagged "overload". The range column stays empty (records do not say whether the
// meter ranged on its own).
bool writePortableSet(QIODevice& out, const DecodedDataSet& set, const DataSetInfo& info);

} // namespace DownloadArchive
