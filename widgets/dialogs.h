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
    // The button that Return presses; NoButton leaves the choice to the style. A question whose
    // Yes destroys something names No here.
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

using Answerer = std::function<QMessageBox::StandardButton(const Request&)>;

// Installs an answerer (tests); an empty function restores the real boxes.
void setAnswerer(Answerer answerer);

// A modal box with the given buttons; returns the button pressed.
QMessageBox::StandardButton ask(QWidget* parent, const Request& request);

// An error message with one OK button, titled with the program's name.
void showError(QWidget* parent, const QString& text);
// A plain message with one OK button.
void showMessage(QWidget* parent, const QString& text);

// File dialogs go through the same seam. The filter list is written as pairs of description
// and patterns separated by bars ("TXT File[*.txt]|*.txt|All Files[*.*]|*.*"), the form the
// program's dialogs are described in; the seam turns it into the system dialog's form.
struct FileRequest {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString title;
    QString folder;        // where the dialog starts
    QString filter;        // description|patterns|description|patterns...
    QString defaultSuffix; // added to a typed name without one (save)
    QString suggestedName; // the name a save dialog offers (no folder), empty for none
};

// What the user chose: the path (empty for Cancel) and the filter entry it was chosen under,
// in the bar form of FileRequest::filter ("CSV File[*.csv]|*.csv" gives "CSV File[*.csv]").
// The filter may say more than the extension: two entries can share one (plain and portable
// CSV), so a save that cares asks for the filter, not only the path.
struct FileChoice {
    QString path;
    QString filter;
};

// Returns the chosen path, or an empty text for Cancel.
using FileAnswerer = std::function<QString(const FileRequest&)>;
// The same with the filter (tests that choose one); an empty filter means "decide by the
// extension".
using FileChoiceAnswerer = std::function<FileChoice(const FileRequest&)>;

// Installs a file answerer (tests); an empty function restores the real dialogs.
void setFileAnswerer(FileAnswerer answerer);
void setFileChoiceAnswerer(FileChoiceAnswerer answerer);

// Shows the dialog (an open dialog asks for an existing file; a save dialog asks before
// overwriting one and hides the read-only box) and returns the chosen path, empty for Cancel.
QString askFile(QWidget* parent, const FileRequest& request);
// The same with the filter chosen.
FileChoice chooseFile(QWidget* parent, const FileRequest& request);

// The extension a filter of the file dialog stands for ("CSV File (*.csv)" gives "csv"); empty
// for one that takes every file.
QString suffixOfFilter(const QString& dialogFilter);

// "A|*.a|B|*.b;*.c" as the system dialog wants it: "A (*.a);;B (*.b *.c)".
QString filterForDialog(const QString& barFilter);

} // namespace Dialogs
