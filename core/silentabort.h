#pragma once

#include <exception>

// A silent abort: ends the current user action without a message. The port object throws it
// when its error handler chose to end the action quietly; every entry point of the program
// (timer, receive notification, menu command) catches it, most through the error boundary.
class SilentAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};
