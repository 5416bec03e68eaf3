#include "tfrmgraph.h"

#include "pesgraph.h"

#include <QVBoxLayout>

TfrmGraph::TfrmGraph(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmGraph"));
    setWindowTitle(QStringLiteral("Real Time Graph"));
    PESGraph1 = new PESGraph(this);
    PESGraph1->setObjectName(QStringLiteral("PESGraph1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PESGraph1);
    resize(640, 400);
}

TfrmGraph::~TfrmGraph() = default;
