#include "loggererrordialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

LoggerErrorDialog::LoggerErrorDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Error Message"));
    setObjectName(QStringLiteral("frmErr"));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    btnFixed = new QPushButton(QStringLiteral("Fixed the error "), this);
    btnFixed->setObjectName(QStringLiteral("btnFixed"));
    btnRetry = new QPushButton(QStringLiteral("Try Again"), this);
    btnRetry->setObjectName(QStringLiteral("btnRetry"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnRetry->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnFixed);
    buttons->addWidget(btnRetry);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addWidget(Label1, 1);
    layout->addLayout(buttons);
    setMinimumSize(360, 130);

    connect(btnFixed, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(btnRetry, &QPushButton::clicked, this, [this] { done(mrRetry); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
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

LoggerErrorChoice LoggerErrorDialog::Ask(const QString& text) {
    Label1->setText(text);
    return Choice(exec());
}
