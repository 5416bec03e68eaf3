#pragma once

#include "recordingjournal.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace Ui {
class RecordingsDialog;
}

// File > Recordings...: the recorder's journal files, newest first, each with its start, end,
// row count, function and unit (read from its header and its first and last lines, so a long
// list opens at once) and whether it is being recorded or was recovered after a crash. Open
// (or a double click) ends the dialog with the chosen file, which the caller opens in a list
// window; the check box switches the journal on or off, which the caller applies once the
// dialog has ended, however it ended.
class RecordingsDialog : public QDialog {
    Q_OBJECT
public:
    RecordingsDialog(const QString& folder, bool journalOn, QWidget* parent = nullptr);
    ~RecordingsDialog() override;

    // After exec(): the file to open (empty when the dialog was closed) and the journal switch.
    QString chosenPath() const { return m_chosen; }
    bool journalOn() const;

    QTreeWidget* fileList = nullptr;
    QCheckBox* journalBox = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* closeButton = nullptr;
    QLabel* folderLabel = nullptr;

private:
    void openChosen();

    std::unique_ptr<Ui::RecordingsDialog> ui;
    QList<RecordingJournal::FileEntry> m_entries;
    QString m_chosen;
};
