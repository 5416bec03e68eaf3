#include "loggersetupdialog.h"

#include "dialogs.h"
#include "recordinginterval.h"
#include "ui_loggersetupdialog.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>

namespace {

// The locale's short date with a four-digit year: a two-digit year would leave the century to
// guesswork, and the meter stores it.
QString shortDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

} // namespace

LoggerSetupDialog::LoggerSetupDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::LoggerSetupDialog>()) {
    ui->setupUi(this);
    intervalBox = ui->intervalBox;
    datePicker = ui->datePicker;
    timePicker = ui->timePicker;
    okButton = ui->okButton;
    cancelButton = ui->cancelButton;

    intervalBox->addItems(RecordingInterval::items());
    intervalBox->setCurrentIndex(0);
    intervalBox->setMinimumContentsLength(12);
    datePicker->setDisplayFormat(shortDateFormat());
    timePicker->setDisplayFormat(localeTimeFormatWithSeconds());
    const QDateTime now = QDateTime::currentDateTime();
    datePicker->setDate(now.date());
    timePicker->setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    setFixedSize(sizeHint());
}

LoggerSetupDialog::~LoggerSetupDialog() = default;

void LoggerSetupDialog::setSettings(const LoggerSettings& settings) {
    const QString own = RecordingInterval::text(settings.intervalUnits);
    int item = intervalBox->findText(own);
    if (item < 0 && !own.isEmpty()) {
        // Among the choices by length, so the list stays in order.
        const int seconds = settings.intervalSeconds;
        item = 0;
        while (item < intervalBox->count() &&
               *RecordingInterval::parse(intervalBox->itemText(item)) <
                   quint32(seconds) * RecordingInterval::UnitsPerSecond)
            ++item;
        intervalBox->insertItem(item, own);
    }
    intervalBox->setCurrentIndex(item);
    if (item < 0)
        intervalBox->setEditText(RecordingInterval::items().constFirst());
    datePicker->setDate(settings.timeLabel.date());
    timePicker->setTime(settings.timeLabel.time());
}

LoggerSetupChoice LoggerSetupDialog::choice() const {
    return {intervalBox->currentText(), datePicker->date(), timePicker->time()};
}

void LoggerSetupDialog::accept() {
    QString refusal;
    if (!RecordingInterval::parse(intervalBox->currentText(), &refusal)) {
        Dialogs::showMessage(this, refusal);
        intervalBox->setFocus();
        intervalBox->lineEdit()->selectAll();
        return;
    }
    QDialog::accept();
}

std::optional<LoggerSetupChoice> LoggerSetupDialog::ask(QWidget* parent, const LoggerSettings& current) {
    LoggerSetupDialog dialog(parent);
    dialog.setSettings(current);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

void LoggerSetupDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
