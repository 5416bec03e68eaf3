#pragma once

#include "datasetinfo.h"
#include "loggerimage.h"
#include "loggeroutcome.h"

#include <QList>

// The data sets found in a logger image.
struct LoggerParse {
    LoggerOutcome result = LoggerOutcome::TooShort;
    // Every set when Result is Loaded; otherwise empty.
    QList<DataSetInfo> sets;
    // For BadDataSet: the index of the failing set (= the number of good sets before it) and
    // the address of the byte before it. -1 otherwise.
    int badSetIndex = -1;
    int lastGoodAddress = -1;
};

// Checks the image and walks its data sets, in this order: fewer than 256 bytes is TooShort;
// fewer than endAddress + 1 bytes is Incomplete; a dataSetCount of 0 is NoData and above 4000
// TooManySets; then each set must start with A5 5A, end with 5A A5 after its records and lie
// wholly within the used memory (address endAddress and below), else BadDataSet. The sets
// follow each other in time: the first starts at the header's timeLabel (with `today` taken
// for an impossible date or time), each next one where the one before ended.
LoggerParse parseLoggerImage(const LoggerImage& image, double today);
