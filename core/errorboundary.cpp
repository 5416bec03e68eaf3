#include "errorboundary.h"

#include "silentabort.h"

#include <QtGlobal>

#include <exception>
#include <new>

namespace {
ErrorBoundary::Reporter& reporter() {
    static ErrorBoundary::Reporter r;
    return r;
}
} // namespace

namespace ErrorBoundary {

void setReporter(Reporter r) {
    reporter() = std::move(r);
}

void report(const QString& message) {
    // A report that itself fails (a message box that cannot be shown) ends here.
    static bool reporting = false;
    if (reporting || !reporter()) {
        qWarning("%s", qPrintable(message));
        return;
    }
    reporting = true;
    try {
        reporter()(message);
    } catch (const std::exception& e) {
        qWarning("%s (and reporting it failed: %s)", qPrintable(message), e.what());
    }
    reporting = false;
}

bool Run(const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const SilentAbort&) {
        // ended on purpose, without a message
    } catch (const std::bad_alloc&) {
        report(QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        // The program's own errors (port, chart, file) carry their message as UTF-8.
        report(QString::fromUtf8(e.what()));
    }
    return false;
}

} // namespace ErrorBoundary
