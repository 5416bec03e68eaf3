#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// Every message box and question of the program goes through here, so that tests can answer
// them without a person: with an answerer installed, no box is shown and the answerer's reply
// is taken instead.
namespace Dialogs {

struct Request {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

using Answerer = std::function<QMessageBox::StandardButton(const Request&)>;

// Installs an answerer (tests); an empty function restores the real boxes.
void SetAnswerer(Answerer answerer);

// A modal box with the given buttons; returns the button pressed.
QMessageBox::StandardButton Ask(QWidget* parent, const Request& request);

// An error message with one OK button, titled with the program's name.
void ShowError(QWidget* parent, const QString& text);
// A plain message with one OK button.
void ShowMessage(QWidget* parent, const QString& text);

} // namespace Dialogs
