#pragma once

#include <QColor>

#include "reading.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class BevelPanel;
class LiveLink;
class StaleMark;
class QLabel;

// The LCD panel: a replica of the meter's display made of pictures (four digits, decimal
// points, sign, bar graph and annunciators). Each reading changes only the pictures whose
// state differs from what is shown.
class LcdWindow : public QWidget {
    Q_OBJECT
public:
    explicit LcdWindow(QWidget* parent = nullptr);

    // Draws the digit glyphs LCDM0..LCDM11 once; every LCD window shares them.
    static void loadDigitGlyphs();

    // Shows every reading the link decodes and "No Connection" while the link is down.
    void follow(const LiveLink& link);
    // Whether the reading shown is stale (no valid frame for two seconds): then drawn faded.
    bool readingStale() const;
    // Colours the digits while the readings are beyond a limit.
    void followLimits(const class LimitMonitor& monitor);
    // The colour over the digits: invalid when none.
    QColor limitColour() const;

    // Shows the reading: the digits and annunciators that differ from what the panel shows,
    // and the bar graph for count.
    void showReading(const Reading& r);
    // The red "No Connection" label.
    void setNoConnection(bool visible);

    // What the panel shows: the glyph code at position 1..4, whether the annunciator with the
    // tag is lit, the bar graph's width in pixels, the connection label.
    int digitCode(int position) const;
    bool annunciatorVisible(int tag) const;
    int barWidth() const;
    bool noConnectionVisible() const;
    // How many times a digit got a new picture or an annunciator was shown or hidden.
    int pictureChanges() const { return m_pictureChanges; }

    static constexpr int ClientWidth = 280;
    static constexpr int ClientHeight = 179;

private:
    void placeAnnunciators();
    void showDigit(int index, std::uint8_t code);

    BevelPanel* bezel;
    std::array<QLabel*, 4> digitImages{};
    QLabel* barGraph;
    QLabel* barScale;
    QLabel* noConnectionLabel;
    // Slot tag - 1 holds the annunciator picture with that tag.
    std::vector<QLabel*> annunciatorImages;
    // The masks last applied to the annunciator pictures.
    std::uint32_t m_shownAnnunciators = 0;
    std::uint32_t m_shownUnitAnnunciators = 0;
    DigitCodes m_shownDigits = BlankDigits;
    int m_pictureChanges = 0;
    StaleMark* m_staleMark = nullptr;
    class LimitMark* m_limitMark = nullptr;
};
