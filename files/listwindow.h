#pragma once

#include <QWidget>

class StringGrid;

// The list window: a data file shown as a read-only table, recordTable, filling the window. Row 0
// holds the captions "NO", "Date", "Time", "Value", "Range"; column 0 the row number; columns
// 1 to 5 the fields of the file's lines. It starts with one empty data row. The caption is
// the full path of the file once one is read into it.
class ListWindow : public QWidget {
    Q_OBJECT
public:
    explicit ListWindow(QWidget* parent = nullptr);
    ~ListWindow() override;

    StringGrid* recordTable;
};
