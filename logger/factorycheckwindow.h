#pragma once

#include "factorycheck.h"

#include <QWidget>

class QLabel;
class StringGrid;

// The factory check window "出廠記憶體檢查": the logging interval and the start time read from
// the meter's memory header in two white boxes, and below them the check's result lines, one a
// row. A fixed form (client area 424 x 525); the check (FactoryCheck::Run) writes into it
// through its View interface.
class FactoryCheckWindow : public QWidget, public FactoryCheck::View {
    Q_OBJECT
public:
    explicit FactoryCheckWindow(QWidget* parent = nullptr);

    // The header boxes: the logging interval and the stored start time.
    QLabel* intervalBox = nullptr;
    QLabel* startTimeBox = nullptr;
    StringGrid* checkLines = nullptr;

    // The result lines, first to last.
    QStringList lines() const;

    // FactoryCheck::View
    void clear() override;
    void showHeader(const QString& interval, const QString& timeLabel) override;
    void addLine(const QString& line) override;
    void rewriteLastLine(const QString& line) override;
    void tell(const QString& message) override;

private:
    void scrollToLast();
    int m_lines = 0;
};
