#pragma once

#include "datasetinfo.h"
#include "loggerimage.h"
#include "loggeroutcome.h"

#include <QList>

// The data sets found in a logger image.
struct LoggerParse {
    LoggerOutcome Result = LoggerOutcome::TooShort;
    // Every set when Result is Loaded; otherwise empty.
    QList<DataSetInfo> Sets;
    // For BadDataSet: the index of the failing set (= the number of good sets before it) and
    // the address of the byte before it. -1 otherwise.
    int BadSetIndex = -1;
    int LastGoodAddress = -1;
};

// Checks the image and walks its data sets, in this order: fewer than 256 bytes is TooShort;
// fewer than EndAddress + 1 bytes is Incomplete; a DataSetCount of 0 is NoData and above 4000
// TooManySets; then each set must start with A5 5A, end with 5A A5 after its records and lie
// wholly within the used memory (address EndAddress and below), else BadDataSet. The sets
// follow each other in time: the first starts at the header's TimeLabel (with `today` taken
// for an impossible date or time), each next one where the one before ended.
LoggerParse ParseLoggerImage(const LoggerImage& image, double today);
