#pragma once

#include "reading.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class BevelPanel;
class QLabel;

// The LCD panel: a replica of the meter's display made of pictures (four digits, decimal
// points, sign, bar graph and annunciators). Each reading changes only the pictures whose
// state differs from what is shown.
class LcdWindow : public QWidget {
    Q_OBJECT
public:
    explicit LcdWindow(QWidget* parent = nullptr);

    // Draws the digit glyphs LCDM0..LCDM11 once; every LCD window shares them.
    static void LoadDigitGlyphs();

    // Shows the reading: the digits that differ from previousDigits (the codes shown for the
    // previous frame), the annunciators whose bits changed, and the bar graph for Count.
    void ShowReading(const Reading& r, const DigitCodes& previousDigits);
    // The red "No Connection" label.
    void SetNoConnection(bool visible);

    // What the panel shows: the glyph code at position 1..4, whether the annunciator with the
    // tag is lit, the bar graph's width in pixels, the connection label.
    int DigitCode(int position) const;
    bool AnnunciatorVisible(int tag) const;
    int BarWidth() const;
    bool NoConnectionVisible() const;
    // How many times a digit got a new picture or an annunciator was shown or hidden.
    int PictureChanges() const { return m_pictureChanges; }

    static constexpr int ClientWidth = 280;
    static constexpr int ClientHeight = 179;

private:
    void BuildAnnunciatorSlots();
    void SetDigit(int index, std::uint8_t code);

    BevelPanel* Panel1;
    std::array<QLabel*, 4> MainD{};
    QLabel* LCDBar;
    QLabel* Image4;
    QLabel* lblNoConnection;
    // Slot tag - 1 holds the annunciator picture with that tag.
    std::vector<QLabel*> AnnunciatorSlots;
    // The masks last applied to the annunciator pictures.
    std::uint32_t ShownAnnunciators = 0;
    std::uint32_t ShownUnitAnnunciators = 0;
    DigitCodes m_shownDigits = BlankDigits;
    int m_pictureChanges = 0;
};
