#include "loggersetupdialog.h"

#include "recordinginterval.h"
#include "ui_loggersetupdialog.h"

#include <QGuiApplication>
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
    setObjectName(QStringLiteral("frmChipSet"));
    ComboBox1 = ui->ComboBox1;
    DatePicker = ui->DatePicker;
    TimePicker = ui->TimePicker;
    btnOK = ui->btnOK;
    btnCancel = ui->btnCancel;

    ComboBox1->addItems(RecordingInterval::Items());
    ComboBox1->setCurrentIndex(0);
    ComboBox1->setMinimumContentsLength(12);
    DatePicker->setDisplayFormat(shortDateFormat());
    TimePicker->setDisplayFormat(LocaleTimeFormatWithSeconds());
    const QDateTime now = QDateTime::currentDateTime();
    DatePicker->setDate(now.date());
    TimePicker->setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    setFixedSize(sizeHint());
}

LoggerSetupDialog::~LoggerSetupDialog() = default;

void LoggerSetupDialog::setSettings(const LoggerSettings& settings) {
    const int item = RecordingInterval::ItemFor(settings.IntervalSeconds);
    ComboBox1->setCurrentIndex(item);
    if (item < 0)
        ComboBox1->setEditText(RecordingInterval::Items().constFirst());
    DatePicker->setDate(settings.TimeLabel.date());
    TimePicker->setTime(settings.TimeLabel.time());
}

LoggerSetupChoice LoggerSetupDialog::choice() const {
    return {ComboBox1->currentText(), DatePicker->date(), TimePicker->time()};
}

std::optional<LoggerSetupChoice> LoggerSetupDialog::Ask(QWidget* parent, const LoggerSettings& current) {
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
