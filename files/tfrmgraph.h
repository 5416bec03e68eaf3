#pragma once

#include <QWidget>

class PESGraph;

// The list-graph window: the chart of a list window's values against their dates and times,
// PESGraph1, filling the window. Its caption is the list window's (the data file's path).
class TfrmGraph : public QWidget {
    Q_OBJECT
public:
    explicit TfrmGraph(QWidget* parent = nullptr);
    ~TfrmGraph() override;

    PESGraph* PESGraph1;
};
