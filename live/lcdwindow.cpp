#include "lcdwindow.h"

#include "bevelpanel.h"
#include "lcdart.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kMaxTag = 39; // pictures with 0 < Tag < 40 are annunciators
constexpr int kDigitTop = 53;
constexpr std::array<int, 4> kDigitLeft{32, 80, 128, 176};

std::array<QPixmap, DigitGlyphCount>& digitGlyphs() {
    static std::array<QPixmap, DigitGlyphCount> glyphs;
    return glyphs;
}

// The pixmaps must go before the application does.
void freeDigitGlyphs() {
    for (QPixmap& glyph : digitGlyphs())
        glyph = QPixmap();
}

int tagOf(const QObject* object) {
    bool ok = false;
    const int tag = object->property("Tag").toInt(&ok);
    return ok ? tag : 0;
}

} // namespace

void LcdWindow::LoadDigitGlyphs() {
    auto& glyphs = digitGlyphs();
    if (!glyphs[0].isNull())
        return;
    for (int code = 0; code < DigitGlyphCount; ++code)
        glyphs[std::size_t(code)] =
            QPixmap::fromImage(LcdBitmap(QStringLiteral("LCDM%1").arg(code)));
    qAddPostRoutine(freeDigitGlyphs);
}

LcdWindow::LcdWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("LCD"));
    resize(ClientWidth, ClientHeight);
    LoadDigitGlyphs();

    Panel1 = new BevelPanel(this, BevelPanel::Bevel::Lowered, 5);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setColor(QColor::fromRgb(LcdBackgroundRgb));
    Panel1->setGeometry(0, 0, 280, 176);

    for (int k = 0; k < 4; ++k) {
        auto* digit = new QLabel(Panel1);
        digit->setObjectName(QStringLiteral("MainD%1").arg(k + 1));
        digit->setGeometry(kDigitLeft[std::size_t(k)], kDigitTop, DigitGlyphWidth,
                           DigitGlyphHeight);
        digit->setPixmap(digitGlyphs()[DigitBlank]);
        MainD[std::size_t(k)] = digit;
    }

    Image4 = new QLabel(Panel1);
    Image4->setObjectName(QStringLiteral("Image4"));
    Image4->setGeometry(13, 131, BarScaleWidth, BarScaleHeight);
    Image4->setPixmap(QPixmap::fromImage(BarScale()));

    // The bar shows as much of the segment picture as its width uncovers; nothing until the
    // first reading.
    LCDBar = new QLabel(Panel1);
    LCDBar->setObjectName(QStringLiteral("LCDBar"));
    LCDBar->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LCDBar->setPixmap(QPixmap::fromImage(BarSegments()));
    LCDBar->setGeometry(16, 144, 0, BarSegmentsHeight);

    for (const AnnunciatorPlace& place : AnnunciatorPlaces) {
        auto* image = new QLabel(Panel1);
        image->setObjectName(QLatin1String(place.name));
        image->setProperty("Tag", place.tag);
        image->setGeometry(place.left, place.top, place.width, place.height);
        image->setPixmap(QPixmap::fromImage(AnnunciatorPicture(place.tag)));
        image->hide();
    }

    lblNoConnection = new QLabel(QStringLiteral("No Connection"), Panel1);
    lblNoConnection->setObjectName(QStringLiteral("lblNoConnection"));
    lblNoConnection->setGeometry(8, 8, 273, 24);
    lblNoConnection->setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(20);
    lblNoConnection->setFont(font);
    QPalette pal = lblNoConnection->palette();
    pal.setColor(QPalette::WindowText, Qt::red);
    pal.setColor(QPalette::Window, QColor::fromRgb(LcdBackgroundRgb));
    lblNoConnection->setPalette(pal);
    lblNoConnection->setAutoFillBackground(true); // covers the top row of annunciators

    BuildAnnunciatorSlots();
}

void LcdWindow::BuildAnnunciatorSlots() {
    AnnunciatorSlots.clear();
    std::vector<QLabel*> images;
    for (QLabel* label : Panel1->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const int tag = tagOf(label);
        if (tag > 0 && tag <= kMaxTag)
            images.push_back(label);
    }
    // One slot per picture; room for the highest tag as well, should the tags leave gaps.
    std::size_t slotCount = images.size();
    for (QLabel* image : images)
        slotCount = std::max(slotCount, std::size_t(tagOf(image)));
    AnnunciatorSlots.assign(slotCount, nullptr);
    for (QLabel* image : images)
        AnnunciatorSlots[std::size_t(tagOf(image) - 1)] = image;
}

void LcdWindow::SetDigit(int index, std::uint8_t code) {
    MainD[std::size_t(index)]->setPixmap(digitGlyphs()[code]);
    m_shownDigits[std::size_t(index)] = code;
    ++m_pictureChanges;
}

void LcdWindow::ShowReading(const Reading& r, const DigitCodes& previousDigits) {
    // Digits whose code changed. A position that does not show what the previous frame
    // left there is painted as well.
    for (int k = 0; k < 4; ++k) {
        const auto i = std::size_t(k);
        std::uint8_t code = r.Digits[i];
        if (code >= DigitGlyphCount)
            code = DigitBlank;
        if (code != previousDigits[i] || code != m_shownDigits[i])
            SetDigit(k, code);
    }

    // Annunciators whose bit changed.
    for (std::size_t i = 0; i < AnnunciatorSlots.size(); ++i) {
        QLabel* image = AnnunciatorSlots[i];
        if (!image)
            continue;
        const std::uint32_t bit = std::uint32_t(1) << (i % 32);
        const std::uint32_t mask = i < 32 ? r.Annunciators : r.UnitAnnunciators;
        const std::uint32_t shown = i < 32 ? ShownAnnunciators : ShownUnitAnnunciators;
        if ((mask ^ shown) & bit) {
            image->setVisible(mask & bit);
            ++m_pictureChanges;
        }
    }
    ShownAnnunciators = r.Annunciators;
    ShownUnitAnnunciators = r.UnitAnnunciators;

    // Bar graph: one 6-pixel step per 100 counts, the first one from 0.
    const long long steps = std::llabs(static_cast<long long>(r.Count)) / 100 + 1;
    const int width = int(std::min<long long>(BarSegmentsWidth, BarSegmentPitch * steps));
    LCDBar->resize(width, BarSegmentsHeight);
}

void LcdWindow::SetNoConnection(bool visible) {
    lblNoConnection->setVisible(visible);
}

int LcdWindow::DigitCode(int position) const {
    if (position < 1 || position > 4)
        return -1;
    // Read back from the picture itself.
    const qint64 key = MainD[std::size_t(position - 1)]->pixmap().cacheKey();
    const auto& glyphs = digitGlyphs();
    for (int code = 0; code < DigitGlyphCount; ++code)
        if (glyphs[std::size_t(code)].cacheKey() == key)
            return code;
    return -1;
}

bool LcdWindow::AnnunciatorVisible(int tag) const {
    if (tag < 1 || std::size_t(tag) > AnnunciatorSlots.size())
        return false;
    const QLabel* image = AnnunciatorSlots[std::size_t(tag - 1)];
    return image && !image->isHidden();
}

int LcdWindow::BarWidth() const {
    return LCDBar->width();
}

bool LcdWindow::NoConnectionVisible() const {
    return !lblNoConnection->isHidden();
}
