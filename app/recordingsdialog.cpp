#include "recordingsdialog.h"

#include "datetimetext.h"
#include "ui_recordingsdialog.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>

namespace {

QString timeText(const std::optional<QDateTime>& t) {
    return t ? DateTimeText::Format(t->toLocalTime()) : QString();
}

QString stateText(RecordingJournal::FileEntry::State state) {
    switch (state) {
    case RecordingJournal::FileEntry::State::Recording:
        return QStringLiteral("being recorded");
    case RecordingJournal::FileEntry::State::Recovered:
        return QStringLiteral("recovered after a crash");
    case RecordingJournal::FileEntry::State::Closed:
        break;
    }
    return QString();
}

} // namespace

RecordingsDialog::RecordingsDialog(const QString& folder, bool journalOn, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::RecordingsDialog>()) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("recordingsDialog"));
    fileList = ui->fileList;
    journalBox = ui->journalBox;
    openButton = ui->openButton;
    closeButton = ui->closeButton;
    folderLabel = ui->folderLabel;

    folderLabel->setText(QDir::toNativeSeparators(folder));
    journalBox->setChecked(journalOn);
    m_entries = RecordingJournal::listFiles(folder);
    for (const RecordingJournal::FileEntry& e : std::as_const(m_entries)) {
        auto* item = new QTreeWidgetItem(fileList);
        item->setText(0, timeText(e.summary.start));
        item->setText(1, timeText(e.summary.end));
        item->setText(2, QString::number(e.summary.rows));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(3, e.summary.function);
        item->setText(4, e.summary.unit);
        item->setText(5, stateText(e.state));
        item->setText(6, QFileInfo(e.path).fileName());
        item->setToolTip(6, QDir::toNativeSeparators(e.path));
    }
    for (int c = 0; c < fileList->columnCount(); ++c)
        fileList->resizeColumnToContents(c);
    if (!m_entries.isEmpty())
        fileList->setCurrentItem(fileList->topLevelItem(0));
    openButton->setEnabled(!m_entries.isEmpty());

    connect(openButton, &QPushButton::clicked, this, &RecordingsDialog::openChosen);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(fileList, &QTreeWidget::itemDoubleClicked, this, &RecordingsDialog::openChosen);
}

RecordingsDialog::~RecordingsDialog() = default;

bool RecordingsDialog::journalOn() const {
    return journalBox->isChecked();
}

void RecordingsDialog::openChosen() {
    const int row = fileList->indexOfTopLevelItem(fileList->currentItem());
    if (row < 0 || row >= m_entries.size())
        return;
    m_chosen = m_entries[row].path;
    accept();
}
