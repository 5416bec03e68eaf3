#include "listgraphwindow.h"

#include "chart.h"

#include <QVBoxLayout>

ListGraphWindow::ListGraphWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("listGraphWindow"));
    setWindowTitle(QStringLiteral("Real Time Graph"));
    chart = new Chart(this);
    chart->setObjectName(QStringLiteral("chart"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(chart);
    resize(640, 400);
}

ListGraphWindow::~ListGraphWindow() = default;
