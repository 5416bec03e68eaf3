#pragma once

#include "silentabort.h"

#include <QString>

#include <stdexcept>

// What a port object's error handler decides: let the error propagate (caFail) or end the
// current action silently (caAbort).
enum PortErrorAction { caFail = 0, caAbort = 1 };

// A failed port operation: the system's error number (or 0) and a message text.
class PortError : public std::runtime_error {
public:
    PortError(int code, const QString& message)
        : std::runtime_error(message.toStdString()), code(code), message(message) {}
    int code;
    QString message;
};

// Texts of the port object's own errors.
namespace PortErrorText {
inline const QString closedPort = QStringLiteral("Can't perform this operation on a closed port");
inline const QString openPort = QStringLiteral("Can't perform this operation on an open port");
inline const QString timeout = QStringLiteral("Timeout");
} // namespace PortErrorText
