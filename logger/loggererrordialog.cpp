#include "loggererrordialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

LoggerErrorDialog::LoggerErrorDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Error Message"));
    setObjectName(QStringLiteral("loggerErrorDialog"));
    messageLabel = new QLabel(this);
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setWordWrap(true);
    fixedButton = new QPushButton(QStringLiteral("Fixed the error "), this);
    fixedButton->setObjectName(QStringLiteral("fixedButton"));
    retryButton = new QPushButton(QStringLiteral("Try Again"), this);
    retryButton->setObjectName(QStringLiteral("retryButton"));
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    retryButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(fixedButton);
    buttons->addWidget(retryButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addWidget(messageLabel, 1);
    layout->addLayout(buttons);
    setMinimumSize(360, 130);

    connect(fixedButton, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(retryButton, &QPushButton::clicked, this, [this] { done(mrRetry); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

LoggerErrorDialog::~LoggerErrorDialog() = default;

LoggerErrorChoice LoggerErrorDialog::Choice(int modalResult) {
    switch (modalResult) {
    case mrOk:
        return LoggerErrorChoice::Fixed;
    case mrRetry:
        return LoggerErrorChoice::TryAgain;
    default:
        return LoggerErrorChoice::Cancel;
    }
}

LoggerErrorChoice LoggerErrorDialog::ask(const QString& text, bool canFix) {
    messageLabel->setText(text);
    fixedButton->setVisible(canFix);
    return Choice(exec());
}
