#include "factorycheckwindow.h"

#include "dialogs.h"
#include "stringgrid.h"

#include <QLabel>

namespace {

QLabel* valueBox(QWidget* parent, const char* name, const QRect& geometry) {
    auto* box = new QLabel(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    box->setAutoFillBackground(true);
    box->setFrameShape(QFrame::Box);
    box->setIndent(4);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    box->setPalette(palette);
    return box;
}

} // namespace

FactoryCheckWindow::FactoryCheckWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("factoryCheckWindow"));
    setWindowTitle(QStringLiteral("出廠記憶體檢查"));
    setFixedSize(424, 525);

    auto* intervalCaption = new QLabel(QStringLiteral("記錄時間間隔"), this);
    intervalCaption->setObjectName(QStringLiteral("intervalCaption"));
    intervalCaption->setGeometry(24, 20, 112, 24);
    intervalBox = valueBox(this, "intervalBox", QRect(140, 20, 260, 24));
    auto* startTimeCaption = new QLabel(QStringLiteral("電表設定時間"), this);
    startTimeCaption->setObjectName(QStringLiteral("startTimeCaption"));
    startTimeCaption->setGeometry(24, 56, 112, 24);
    startTimeBox = valueBox(this, "startTimeBox", QRect(140, 56, 260, 24));

    checkLines = new StringGrid(this);
    checkLines->setObjectName(QStringLiteral("checkLines"));
    checkLines->setFixedRows(0);
    checkLines->setFixedCols(0);
    checkLines->setColCount(1);
    checkLines->setRowCount(1);
    checkLines->setDefaultRowHeight(16);
    checkLines->setGeometry(84, 96, 256, 525 - 96 - 12);
    checkLines->setColWidths(0, 256 - 2 * checkLines->frameWidth());
}

QStringList FactoryCheckWindow::lines() const {
    QStringList lines;
    for (int row = 0; row < m_lines; ++row)
        lines += checkLines->cells(0, row);
    return lines;
}

void FactoryCheckWindow::clear() {
    intervalBox->clear();
    startTimeBox->clear();
    checkLines->setRowCount(1);
    checkLines->setCells(0, 0, QString());
    m_lines = 0;
    checkLines->setTopRow(0);
}

void FactoryCheckWindow::showHeader(const QString& interval, const QString& timeLabel) {
    intervalBox->setText(interval);
    startTimeBox->setText(timeLabel);
}

void FactoryCheckWindow::addLine(const QString& line) {
    if (m_lines > 0)
        checkLines->setRowCount(m_lines + 1);
    checkLines->setCells(0, m_lines, line);
    ++m_lines;
    scrollToLast();
}

void FactoryCheckWindow::rewriteLastLine(const QString& line) {
    if (m_lines == 0) {
        addLine(line);
        return;
    }
    checkLines->setCells(0, m_lines - 1, line);
    scrollToLast();
}

void FactoryCheckWindow::tell(const QString& message) {
    Dialogs::showMessage(this, message);
}

void FactoryCheckWindow::scrollToLast() {
    checkLines->setTopRow(std::max(0, checkLines->gridRowCount() - checkLines->visibleRowCount()));
    checkLines->viewport()->update();
}
