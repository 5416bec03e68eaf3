#pragma once

#include <QDialog>
#include <QSize>

#include <memory>

namespace Ui {
class ExportSizeDialog;
}

// Asks for the size of an exported chart picture (pixels; points in a PDF). The caller applies
// the size it returns.
class ExportSizeDialog : public QDialog {
    Q_OBJECT
public:
    ExportSizeDialog(QSize initial, QWidget* parent = nullptr);
    ~ExportSizeDialog() override;

    QSize chosenSize() const;

private:
    std::unique_ptr<Ui::ExportSizeDialog> ui;
};
