#pragma once

#include <QWidget>

class Chart;

// The list-graph window: the chart of a list window's values against their dates and times,
// chart, filling the window. Its caption is the list window's (the data file's path).
class ListGraphWindow : public QWidget {
    Q_OBJECT
public:
    explicit ListGraphWindow(QWidget* parent = nullptr);
    ~ListGraphWindow() override;

    Chart* chart;
};
