#pragma once

#include <QRect>
#include <QTest>

// The LCD panel's annunciator pictures: tag, name, place on the panel. Kept apart from the
// program's own table so that a slip in either shows.
inline void addAnnunciatorRows() {
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("place");
    struct Row {
        int tag;
        const char* name;
        QRect place;
    };
    const Row rows[] = {
        {1, "imgLBT", {6, 8, 30, 19}},
        {2, "imgHOLD", {37, 8, 46, 19}},
        {3, "imgREL", {81, 7, 52, 20}},
        {4, "imgMAX", {133, 7, 38, 20}},
        {5, "imgMIN", {171, 7, 32, 20}},
        {6, "imgPMAX", {202, 7, 42, 20}},
        {7, "imgPMIN", {243, 7, 35, 20}},
        {8, "imgRS232", {8, 32, 56, 20}},
        {9, "imgAUTO", {64, 32, 49, 20}},
        {10, "imgMANU", {112, 32, 49, 20}},
        {11, "imgRPM", {160, 32, 40, 20}},
        {12, "imgREC", {200, 32, 37, 20}},
        {13, "imgCONTIMUNITY", {240, 32, 23, 20}},
        {14, "imgDIODE", {241, 32, 32, 20}},
        {15, "imgAC", {7, 57, 24, 11}},
        {16, "imgDC", {7, 69, 24, 12}},
        {17, "imgAUTOOFF", {7, 102, 24, 24}},
        {18, "imgSIGN", {6, 80, 25, 19}},
        {19, "imgPoint1", {72, 118, 8, 8}},
        {20, "imgPoint2", {121, 118, 8, 8}},
        {21, "imgPoint3", {168, 117, 8, 8}},
        {22, "imgBarMinus", {2, 144, 14, 23}},
        {23, "imgBarOL", {263, 144, 17, 23}},
        {24, "imgC", {233, 54, 18, 17}},
        {25, "imgF", {234, 54, 18, 17}},
        {26, "imgnF", {232, 80, 8, 9}},
        {27, "imguF", {231, 78, 9, 13}},
        {28, "imgmF", {230, 78, 11, 10}},
        {29, "imgFara", {243, 74, 10, 15}},
        {30, "imguVA", {227, 96, 9, 13}},
        {31, "imgmVA", {231, 96, 11, 10}},
        {32, "imgVoltage", {245, 91, 10, 16}},
        {33, "imgCurrent", {245, 92, 10, 16}},
        {34, "imgMOhmHz", {231, 110, 10, 16}},
        {35, "imgKOhmHz", {235, 110, 8, 16}},
        {36, "imgOhm", {243, 110, 14, 16}},
        {37, "imgHz", {247, 109, 16, 16}},
    };
    for (const Row& r : rows)
        QTest::newRow(r.name) << r.tag << QString::fromLatin1(r.name) << r.place;
}
