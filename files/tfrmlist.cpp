#include "tfrmlist.h"

#include "stringgrid.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

TfrmList::TfrmList(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmList"));
    setWindowTitle(QStringLiteral("Real Time Tabular"));
    Grid1 = new StringGrid(this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Grid1);

    // Laid out before any data arrives: the open fills the table right after creating it.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    Grid1->setFont(font);
    Grid1->setColCount(6);
    Grid1->setRowCount(2);
    Grid1->setFixedRows(1);
    Grid1->setFixedCols(1);
    Grid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    const QScreen* screen = QGuiApplication::primaryScreen();
    Grid1->setDefaultRowHeight(screen && screen->geometry().width() <= 480 ? 16 : 20);
    Grid1->setRow(0, {QStringLiteral("NO"), QStringLiteral("Date"), QStringLiteral("Time"),
                      QStringLiteral("Value"), QStringLiteral("Range")});
    Grid1->setColWidths(0, int(Grid1->ColWidths(0) * 0.7));
    Grid1->setColWidths(1, int(Grid1->ColWidths(1) * 1.5));
    Grid1->setColWidths(2, int(Grid1->ColWidths(2) * 1.5));
    Grid1->setFixedColor(Qt::white);
    resize(480, 320);
}

TfrmList::~TfrmList() = default;
