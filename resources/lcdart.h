#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <array>

// The pictures of the LCD panel, drawn anew by code: the digit glyphs, one picture per
// annunciator, the bar graph segments and the scale above them.

// Background of the LCD panel; every picture is drawn for it.
inline constexpr QRgb LcdBackgroundRgb = 0xFFF6F6F6;

inline constexpr int DigitGlyphWidth = 45;
inline constexpr int DigitGlyphHeight = 75;
inline constexpr int DigitGlyphCount = 12; // 0..9, 10 blank, 11 the letter L

inline constexpr int BarSegmentCount = 41;
inline constexpr int BarSegmentPitch = 6;
inline constexpr int BarSegmentsWidth = BarSegmentCount * BarSegmentPitch; // 246
inline constexpr int BarSegmentsHeight = 24;
inline constexpr int BarScaleWidth = 254;
inline constexpr int BarScaleHeight = 10;

// Where an annunciator lies on the LCD panel and how large its picture is. Tag n is lit by
// bit n - 1 of the reading's annunciator mask (n <= 32) or bit n - 33 of its unit mask.
struct AnnunciatorPlace {
    int tag;
    const char* name;
    int left;
    int top;
    int width;
    int height;
};

inline constexpr int AnnunciatorCount = 37;
inline constexpr std::array<AnnunciatorPlace, AnnunciatorCount> AnnunciatorPlaces{{
    {1, "imgLBT", 6, 8, 30, 19},
    {2, "imgHOLD", 37, 8, 46, 19},
    {3, "imgREL", 81, 7, 52, 20},
    {4, "imgMAX", 133, 7, 38, 20},
    {5, "imgMIN", 171, 7, 32, 20},
    {6, "imgPMAX", 202, 7, 42, 20},
    {7, "imgPMIN", 243, 7, 35, 20},
    {8, "imgRS232", 8, 32, 56, 20},
    {9, "imgAUTO", 64, 32, 49, 20},
    {10, "imgMANU", 112, 32, 49, 20},
    {11, "imgRPM", 160, 32, 40, 20},
    {12, "imgREC", 200, 32, 37, 20},
    {13, "imgCONTIMUNITY", 240, 32, 23, 20},
    {14, "imgDIODE", 241, 32, 32, 20},
    {15, "imgAC", 7, 57, 24, 11},
    {16, "imgDC", 7, 69, 24, 12},
    {17, "imgAUTOOFF", 7, 102, 24, 24},
    {18, "imgSIGN", 6, 80, 25, 19},
    {19, "imgPoint1", 72, 118, 8, 8},
    {20, "imgPoint2", 121, 118, 8, 8},
    {21, "imgPoint3", 168, 117, 8, 8},
    {22, "imgBarMinus", 2, 144, 14, 23},
    {23, "imgBarOL", 263, 144, 17, 23},
    {24, "imgC", 233, 54, 18, 17},
    {25, "imgF", 234, 54, 18, 17},
    {26, "imgnF", 232, 80, 8, 9},
    {27, "imguF", 231, 78, 9, 13},
    {28, "imgmF", 230, 78, 11, 10},
    {29, "imgFara", 243, 74, 10, 15},
    {30, "imguVA", 227, 96, 9, 13},
    {31, "imgmVA", 231, 96, 11, 10},
    {32, "imgVoltage", 245, 91, 10, 16},
    {33, "imgCurrent", 245, 92, 10, 16},
    {34, "imgMOhmHz", 231, 110, 10, 16},
    {35, "imgKOhmHz", 235, 110, 8, 16},
    {36, "imgOhm", 243, 110, 14, 16},
    {37, "imgHz", 247, 109, 16, 16},
}};

// "LCDM0".."LCDM11": a 45 x 75 digit glyph on the LCD background (10 is blank, 11 the letter
// L). Any other name gives a null image.
QImage lcdBitmap(const QString& name);

// The picture of the annunciator with the tag (1..37), dark on transparent, of the size its
// place gives. Any other tag gives a null image.
QImage annunciatorPicture(int tag);

// All 41 bar graph segments, 6 pixels apart; the bar shows as many as its width uncovers.
QImage barSegments();

// The scale above the bar graph: ticks and the labels 0, 10, 20, 30, 40.
QImage barScale();
