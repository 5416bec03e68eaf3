#include "exportsizedialog.h"

#include "ui_exportsizedialog.h"

ExportSizeDialog::ExportSizeDialog(QSize initial, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ExportSizeDialog>()) {
    ui->setupUi(this);
    if (initial.isValid()) {
        ui->widthBox->setValue(initial.width());
        ui->heightBox->setValue(initial.height());
    }
}

ExportSizeDialog::~ExportSizeDialog() = default;

QSize ExportSizeDialog::chosenSize() const {
    return QSize(ui->widthBox->value(), ui->heightBox->value());
}
