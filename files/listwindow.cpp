#include "listwindow.h"

#include "stringgrid.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

ListWindow::ListWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("listWindow"));
    setWindowTitle(QStringLiteral("Real Time Tabular"));
    recordTable = new StringGrid(this);
    recordTable->setObjectName(QStringLiteral("recordTable"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(recordTable);

    // Laid out before any data arrives: the open fills the table right after creating it.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    recordTable->setFont(font);
    recordTable->setColCount(6);
    recordTable->setRowCount(2);
    recordTable->setFixedRows(1);
    recordTable->setFixedCols(1);
    recordTable->setSelectionMode(QAbstractItemView::ContiguousSelection);
    const QScreen* screen = QGuiApplication::primaryScreen();
    recordTable->setDefaultRowHeight(screen && screen->geometry().width() <= 480 ? 16 : 20);
    recordTable->setRow(0, {QStringLiteral("NO"), QStringLiteral("Date"), QStringLiteral("Time"),
                      QStringLiteral("Value"), QStringLiteral("Range")});
    recordTable->setColWidths(0, int(recordTable->colWidths(0) * 0.7));
    recordTable->setColWidths(1, int(recordTable->colWidths(1) * 1.5));
    recordTable->setColWidths(2, int(recordTable->colWidths(2) * 1.5));
    recordTable->setFixedColor(Qt::white);
    resize(480, 320);
}

ListWindow::~ListWindow() = default;
