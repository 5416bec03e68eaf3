#include "tfrmdefault.h"

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

TfrmDefault::TfrmDefault(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmDefault"));
    setWindowTitle(QStringLiteral("出廠記憶體檢查"));
    setFixedSize(424, 525);

    Label1 = new QLabel(QStringLiteral("記錄時間間隔"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(24, 20, 112, 24);
    lbl1 = valueBox(this, "lbl1", QRect(140, 20, 260, 24));
    Label2 = new QLabel(QStringLiteral("電表設定時間"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(24, 56, 112, 24);
    lbl2 = valueBox(this, "lbl2", QRect(140, 56, 260, 24));

    Grid1 = new StringGrid(this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setFixedRows(0);
    Grid1->setFixedCols(0);
    Grid1->setColCount(1);
    Grid1->setRowCount(1);
    Grid1->setDefaultRowHeight(16);
    Grid1->setGeometry(84, 96, 256, 525 - 96 - 12);
    Grid1->setColWidths(0, 256 - 2 * Grid1->frameWidth());
}

QStringList TfrmDefault::Lines() const {
    QStringList lines;
    for (int row = 0; row < m_lines; ++row)
        lines += Grid1->Cells(0, row);
    return lines;
}

void TfrmDefault::clear() {
    lbl1->clear();
    lbl2->clear();
    Grid1->setRowCount(1);
    Grid1->setCells(0, 0, QString());
    m_lines = 0;
    Grid1->setTopRow(0);
}

void TfrmDefault::showHeader(const QString& interval, const QString& timeLabel) {
    lbl1->setText(interval);
    lbl2->setText(timeLabel);
}

void TfrmDefault::addLine(const QString& line) {
    if (m_lines > 0)
        Grid1->setRowCount(m_lines + 1);
    Grid1->setCells(0, m_lines, line);
    ++m_lines;
    scrollToLast();
}

void TfrmDefault::rewriteLastLine(const QString& line) {
    if (m_lines == 0) {
        addLine(line);
        return;
    }
    Grid1->setCells(0, m_lines - 1, line);
    scrollToLast();
}

void TfrmDefault::tell(const QString& message) {
    Dialogs::ShowMessage(this, message);
}

void TfrmDefault::scrollToLast() {
    Grid1->setTopRow(std::max(0, Grid1->RowCount() - Grid1->VisibleRowCount()));
    Grid1->viewport()->update();
}
