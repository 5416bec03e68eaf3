#include "lcdwindow.h"

#include "livelink.h"

#include "bevelpanel.h"
#include "lcdart.h"
#include "limitmark.h"
#include "stalemark.h"

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

void LcdWindow::loadDigitGlyphs() {
    auto& glyphs = digitGlyphs();
    if (!glyphs[0].isNull())
        return;
    for (int code = 0; code < DigitGlyphCount; ++code)
        glyphs[std::size_t(code)] =
            QPixmap::fromImage(lcdBitmap(QStringLiteral("LCDM%1").arg(code)));
    qAddPostRoutine(freeDigitGlyphs);
}

LcdWindow::LcdWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("LCD"));
    resize(ClientWidth, ClientHeight);
    loadDigitGlyphs();

    bezel = new BevelPanel(this, BevelPanel::Bevel::Lowered, 5);
    bezel->setObjectName(QStringLiteral("Panel1"));
    bezel->setColor(QColor::fromRgb(LcdBackgroundRgb));
    bezel->setGeometry(0, 0, 280, 176);

    for (int k = 0; k < 4; ++k) {
        auto* digit = new QLabel(bezel);
        digit->setObjectName(QStringLiteral("MainD%1").arg(k + 1));
        digit->setGeometry(kDigitLeft[std::size_t(k)], kDigitTop, DigitGlyphWidth,
                           DigitGlyphHeight);
        digit->setPixmap(digitGlyphs()[DigitBlank]);
        digitImages[std::size_t(k)] = digit;
    }

    barScale = new QLabel(bezel);
    barScale->setObjectName(QStringLiteral("Image4"));
    barScale->setGeometry(13, 131, BarScaleWidth, BarScaleHeight);
    barScale->setPixmap(QPixmap::fromImage(::barScale()));

    // The bar shows as much of the segment picture as its width uncovers; nothing until the
    // first reading.
    barGraph = new QLabel(bezel);
    barGraph->setObjectName(QStringLiteral("LCDBar"));
    barGraph->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    barGraph->setPixmap(QPixmap::fromImage(barSegments()));
    barGraph->setGeometry(16, 144, 0, BarSegmentsHeight);

    for (const AnnunciatorPlace& place : AnnunciatorPlaces) {
        auto* image = new QLabel(bezel);
        image->setObjectName(QLatin1String(place.name));
        image->setProperty("Tag", place.tag);
        image->setGeometry(place.left, place.top, place.width, place.height);
        image->setPixmap(QPixmap::fromImage(annunciatorPicture(place.tag)));
        image->hide();
    }

    noConnectionLabel = new QLabel(QStringLiteral("No Connection"), bezel);
    noConnectionLabel->setObjectName(QStringLiteral("lblNoConnection"));
    noConnectionLabel->setGeometry(8, 8, 273, 24);
    noConnectionLabel->setAlignment(Qt::AlignCenter);
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(20);
    noConnectionLabel->setFont(font);
    QPalette pal = noConnectionLabel->palette();
    pal.setColor(QPalette::WindowText, Qt::red);
    pal.setColor(QPalette::Window, QColor::fromRgb(LcdBackgroundRgb));
    noConnectionLabel->setPalette(pal);
    noConnectionLabel->setAutoFillBackground(true); // covers the top row of annunciators

    placeAnnunciators();
}

void LcdWindow::placeAnnunciators() {
    annunciatorImages.clear();
    std::vector<QLabel*> images;
    for (QLabel* label : bezel->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const int tag = tagOf(label);
        if (tag > 0 && tag <= kMaxTag)
            images.push_back(label);
    }
    // One slot per picture; room for the highest tag as well, should the tags leave gaps.
    std::size_t slotCount = images.size();
    for (QLabel* image : images)
        slotCount = std::max(slotCount, std::size_t(tagOf(image)));
    annunciatorImages.assign(slotCount, nullptr);
    for (QLabel* image : images)
        annunciatorImages[std::size_t(tagOf(image) - 1)] = image;
}

void LcdWindow::showDigit(int index, std::uint8_t code) {
    digitImages[std::size_t(index)]->setPixmap(digitGlyphs()[code]);
    m_shownDigits[std::size_t(index)] = code;
    ++m_pictureChanges;
}

void LcdWindow::follow(const LiveLink& link) {
    m_staleMark = new StaleMark(this, link);
    connect(&link, &LiveLink::updated, this, [this](const LiveUpdate& update) { showReading(update.reading); });
    connect(&link, &LiveLink::connectionChanged, this,
            [this](bool connected) { setNoConnection(!connected); });
    setNoConnection(!link.connected());
}

void LcdWindow::followLimits(const LimitMonitor& monitor) {
    delete m_limitMark;
    QList<QWidget*> digits(digitImages.begin(), digitImages.end());
    m_limitMark = new LimitMark(this, digits, monitor);
}

QColor LcdWindow::limitColour() const {
    return m_limitMark ? LimitMark::colourOf(m_limitMark->zone()) : QColor();
}

bool LcdWindow::readingStale() const {
    return m_staleMark && m_staleMark->stale();
}

void LcdWindow::showReading(const Reading& r) {
    // Digits whose code differs from what the panel shows.
    for (int k = 0; k < 4; ++k) {
        const auto i = std::size_t(k);
        std::uint8_t code = r.digits[i];
        if (code >= DigitGlyphCount)
            code = DigitBlank;
        if (code != m_shownDigits[i])
            showDigit(k, code);
    }

    // Annunciators whose bit changed.
    for (std::size_t i = 0; i < annunciatorImages.size(); ++i) {
        QLabel* image = annunciatorImages[i];
        if (!image)
            continue;
        const std::uint32_t bit = std::uint32_t(1) << (i % 32);
        const std::uint32_t mask = i < 32 ? r.annunciators : r.unitAnnunciators;
        const std::uint32_t shown = i < 32 ? m_shownAnnunciators : m_shownUnitAnnunciators;
        if ((mask ^ shown) & bit) {
            image->setVisible(mask & bit);
            ++m_pictureChanges;
        }
    }
    m_shownAnnunciators = r.annunciators;
    m_shownUnitAnnunciators = r.unitAnnunciators;

    // Bar graph: one 6-pixel step per 100 counts, the first one from 0.
    const long long steps = std::llabs(static_cast<long long>(r.count)) / 100 + 1;
    const int width = int(std::min<long long>(BarSegmentsWidth, BarSegmentPitch * steps));
    barGraph->resize(width, BarSegmentsHeight);
}

void LcdWindow::setNoConnection(bool visible) {
    noConnectionLabel->setVisible(visible);
}

int LcdWindow::digitCode(int position) const {
    if (position < 1 || position > 4)
        return -1;
    // Read back from the picture itself.
    const qint64 key = digitImages[std::size_t(position - 1)]->pixmap().cacheKey();
    const auto& glyphs = digitGlyphs();
    for (int code = 0; code < DigitGlyphCount; ++code)
        if (glyphs[std::size_t(code)].cacheKey() == key)
            return code;
    return -1;
}

bool LcdWindow::annunciatorVisible(int tag) const {
    if (tag < 1 || std::size_t(tag) > annunciatorImages.size())
        return false;
    const QLabel* image = annunciatorImages[std::size_t(tag - 1)];
    return image && !image->isHidden();
}

int LcdWindow::barWidth() const {
    return barGraph->width();
}

bool LcdWindow::noConnectionVisible() const {
    return !noConnectionLabel->isHidden();
}
