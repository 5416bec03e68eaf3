#pragma once

#include <QString>

#include <stdexcept>

// A failure of a chart command or of the chart template, for the program's error reporting.
// what() holds the message as UTF-8.
class ChartError : public std::runtime_error {
public:
    explicit ChartError(const QString& message);
    QString message() const;
};
