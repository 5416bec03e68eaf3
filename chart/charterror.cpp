#include "charterror.h"

ChartError::ChartError(const QString& message) : std::runtime_error(message.toStdString()) {}

QString ChartError::message() const {
    return QString::fromUtf8(what());
}
