#include "dialogs.h"

#include <QApplication>

namespace Dialogs {

namespace {
Answerer& answerer() {
    static Answerer a;
    return a;
}
} // namespace

void SetAnswerer(Answerer a) {
    answerer() = std::move(a);
}

QMessageBox::StandardButton Ask(QWidget* parent, const Request& request) {
    if (answerer())
        return answerer()(request);
    QMessageBox box(request.icon,
                    request.title.isEmpty() ? QApplication::applicationName() : request.title,
                    request.text, request.buttons, parent);
    return QMessageBox::StandardButton(box.exec());
}

void ShowError(QWidget* parent, const QString& text) {
    Ask(parent, {QMessageBox::Critical, QString(), text, QMessageBox::Ok});
}

void ShowMessage(QWidget* parent, const QString& text) {
    Ask(parent, {QMessageBox::Information, QString(), text, QMessageBox::Ok});
}

} // namespace Dialogs
