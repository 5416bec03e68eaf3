#pragma once

#include <QString>

#include <functional>
#include <utility>

// The one wrapper every entry point of the program runs its work in: menu items, buttons,
// timer and receive handlers. Nothing may throw through a signal-slot connection or out of
// the event loop, so each entry point ends here:
// - SilentAbort (a port failure that the port's error handler turned into a silent abort) ends the
//   work without a word;
// - any other std::exception (a port error, a damaged chart template, a file that cannot be
//   written) is an expected failure of the command and its what(), read as UTF-8, is
//   reported, once, to the reporter;
// - std::bad_alloc is reported as "Out of memory", so a huge recording that cannot grow
//   says so instead of ending the program.
// Anything not derived from std::exception is a defect and is left to the application's
// last resort. Widget-free: the program hands in its dialog seam as the reporter.
namespace ErrorBoundary {

using Reporter = std::function<void(const QString& message)>;

// The program shows reports through its dialog seam; without a reporter they are logged.
void setReporter(Reporter reporter);
void report(const QString& message);

// Runs `work` inside the boundary; true when it ran to its end.
bool Run(const std::function<void()>& work);

// `work` wrapped for a connection: connect(button, &QAbstractButton::clicked, this,
// ErrorBoundary::guard([this] { btnClearClick(); })).
template <class F> auto guard(F work) {
    return [work = std::move(work)](auto&&...) { Run(work); };
}

} // namespace ErrorBoundary
