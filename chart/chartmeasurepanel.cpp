#include "chartmeasurepanel.h"

#include "chart.h"
#include "rangestatistics.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

ChartMeasurePanel::ChartMeasurePanel(Chart* chart, QWidget* parent)
    : QWidget(parent), m_chart(chart) {
    cursorLabel = new QLabel(this);
    cursorLabel->setObjectName(QStringLiteral("cursorLabel"));
    statisticsLabel = new QLabel(this);
    statisticsLabel->setObjectName(QStringLiteral("statisticsLabel"));
    statisticsLabel->setWordWrap(true);
    for (QLabel* label : {cursorLabel, statisticsLabel})
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    copyButton = new QToolButton(this);
    copyButton->setObjectName(QStringLiteral("copyStatisticsButton"));
    copyButton->setText(QStringLiteral("Copy"));
    copyButton->setToolTip(QStringLiteral("Copy the statistics and the cursor readout as text"));

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(0);
    texts->addWidget(cursorLabel);
    texts->addWidget(statisticsLabel);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addLayout(texts, 1);
    layout->addWidget(copyButton, 0, Qt::AlignTop);

    connect(chart, &Chart::measureChanged, this, &ChartMeasurePanel::scheduleRefresh);
    connect(copyButton, &QToolButton::clicked, this, &ChartMeasurePanel::copy);
    refresh();
}

void ChartMeasurePanel::scheduleRefresh() {
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    constexpr qint64 costShare = 20; // a refresh takes at most 1/20 of the time
    qint64 waitMs = 0;
    if (m_sinceRefresh.isValid()) {
        const qint64 spacingNs = m_refreshCostNs * costShare;
        waitMs = std::max<qint64>(0, (spacingNs - m_sinceRefresh.nsecsElapsed()) / 1000000);
    }
    QTimer::singleShot(int(std::min<qint64>(waitMs, 5000)), this, [this] {
        m_refreshPending = false;
        refresh();
    });
}

void ChartMeasurePanel::refresh() {
    QElapsedTimer cost;
    cost.start();
    const auto measured = qScopeGuard([&] {
        m_refreshCostNs = cost.nsecsElapsed();
        m_sinceRefresh.start();
    });
    const QString delta = m_chart->cursorDeltaText();
    cursorLabel->setText(delta);
    cursorLabel->setVisible(!delta.isEmpty());

    const RangeStatistics s = m_chart->rangeStatistics();
    const QLocale locale;
    const QString where = m_chart->statisticsBetweenCursors() ? QStringLiteral("Between cursors")
                                                              : QStringLiteral("In view");
    QString text = QStringLiteral("%1: %2 points").arg(where, locale.toString(qlonglong(s.count)));
    if (s.count > 0) {
        const QString unit = m_chart->valueUnit();
        const QString unitTimes = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit + u'·';
        text += QStringLiteral("   min %1 at %2   max %3 at %4   mean %5   σ %6   ∫ %7%8s = %9%10h")
                    .arg(m_chart->valueText(s.min), m_chart->keyText(s.minTime),
                         m_chart->valueText(s.max), m_chart->keyText(s.maxTime),
                         m_chart->valueText(s.mean), m_chart->valueText(s.standardDeviation),
                         locale.toString(s.integral, 'g', 6),
                         unitTimes.isEmpty() ? QStringLiteral(" ") : unitTimes,
                         locale.toString(s.integralHours(), 'g', 6),
                         unitTimes.isEmpty() ? QStringLiteral(" ") : unitTimes);
    }
    if (s.overloads > 0)
        text += QStringLiteral("   %1 overloads left out").arg(locale.toString(qlonglong(s.overloads)));
    statisticsLabel->setText(text);
}

QString ChartMeasurePanel::clipboardText() const {
    QString text = rangeStatisticsText(m_chart->rangeStatistics(), m_chart->valueUnit(),
                                       [this](double key) { return m_chart->keyText(key); });
    const QString range = m_chart->statisticsBetweenCursors() ? QStringLiteral("Between cursors")
                                                              : QStringLiteral("In view");
    text.prepend(QStringLiteral("Range\t%1\n").arg(range));
    for (int c = 0; c < 2; ++c)
        if (m_chart->cursorPlaced(c))
            text += QStringLiteral("Cursor %1\t%2\t%3\n")
                        .arg(c + 1)
                        .arg(m_chart->keyText(m_chart->cursorKey(c)),
                             m_chart->valueText(m_chart->cursorValue(c)));
    const QString delta = m_chart->cursorDeltaText();
    if (!delta.isEmpty())
        text += QStringLiteral("Cursors\t%1\n").arg(delta);
    return text;
}

void ChartMeasurePanel::copy() {
    QApplication::clipboard()->setText(clipboardText());
}
