#pragma once

#include "datasetinfo.h"
#include "loggerimage.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The records of one data set decoded for the record table, the chart and the MAX/MIN panels.
//
// Each 2-byte record holds a sign (bit 15), a range code (bits 14..12) and a magnitude
// (bits 11..0); a magnitude of 4000 or more is an overload. A set may change range while it
// records: the chart draws the whole set in the largest unit seen so far (baseUnit), so when a
// record arrives in a larger unit the points before it are scaled down into that unit.
struct DecodedDataSet {
    // One row of the record table per record: "NO" (1-based), "DATE", "TIME", "VALUE" (the
    // value with the range's decimals, "OL"/"-OL" for an overload), "RANGE" (unit text).
    QList<QStringList> rows;
    // The VALUE of each row as the C locale writes it ("1.234", "-29.1", "OL"), whatever the
    // user's regional settings: for files that are read anywhere.
    QStringList plainValues;
    // One chart point per record: time stamp (days since 30 Dec 1899) and value in baseUnit.
    // Overloads get a point too (their magnitude scaled like any other).
    QList<double> x;
    QList<double> y;
    QList<bool> overload;

    QString baseUnit;
    int baseDivisor = 1;
    // The symmetric limit of the value axis for baseDivisor 1, 10, 100 or 1000 (4000, 400, 40,
    // 4); none for any other divisor (the axis keeps its previous limits).
    std::optional<double> axisLimit;

    // Rows (1-based, as in the record table) of the largest and smallest value that is not an
    // overload, the first of equal ones; 0 when every record is overloaded or there is none.
    int maxRow = 0;
    int minRow = 0;
    // The MAX and MIN panels: "TIME", a tab, then "VALUE" and "RANGE" of the row with nothing
    // between; empty when the row is 0.
    QString maxText;
    QString minText;

    int count() const { return int(rows.size()); }
};

// Decodes set `info` of `image` (its records are read with bounds checks: bytes missing from
// the image read as 0).
DecodedDataSet decodeDataSet(const LoggerImage& image, const DataSetInfo& info);
