#include "stderrprogress.h"

#include <cstdio>

#include <unistd.h>

namespace {

// The progress being shown; the tool runs one command at a time.
StderrProgress* current = nullptr;

} // namespace

void StderrProgress::endCurrentLine() {
    if (current)
        current->finishLine();
}

bool StderrProgress::enabled(CliOptions::Progress mode) {
    switch (mode) {
    case CliOptions::Progress::Always:
        return true;
    case CliOptions::Progress::Never:
        return false;
    case CliOptions::Progress::Auto:
        break;
    }
    return ::isatty(2) != 0;
}

StderrProgress::StderrProgress(CliOptions::Progress mode, const QString& operation)
    : m_enabled(enabled(mode)), m_terminal(::isatty(2) != 0), m_operation(operation) {
    current = this;
    m_tick.setInterval(1000);
    QObject::connect(&m_tick, &QTimer::timeout, [this] {
        if (m_terminal && m_percent < 0)
            draw();
    });
}

StderrProgress::~StderrProgress() {
    finishLine();
    if (current == this)
        current = nullptr;
}

void StderrProgress::step(const QString& text) {
    if (!m_enabled)
        return;
    m_text = text;
    m_percent = -1;
    m_printedPercent = -1;
    m_since.start();
    if (m_terminal)
        m_tick.start();
    draw();
}

void StderrProgress::show(const QString& text, int percent) {
    if (!m_enabled)
        return;
    m_tick.stop();
    const bool newStep = m_percent < 0; // the first measure after a step
    m_text = text;
    m_percent = percent;
    // Off a terminal: a line per tenth of the work, not per block.
    if (!m_terminal && !newStep && m_printedPercent >= 0 && percent / 10 == m_printedPercent / 10 &&
        percent != 100)
        return;
    draw();
}

void StderrProgress::draw() {
    QString line = m_operation + QStringLiteral(": ") + m_text;
    if (m_percent >= 0)
        line += QStringLiteral(" (%1%)").arg(m_percent);
    else if (m_terminal && m_since.isValid() && m_since.elapsed() >= 1000)
        line += QStringLiteral(" (%1 s)").arg(m_since.elapsed() / 1000);
    m_printedPercent = m_percent;
    if (m_terminal) {
        // Back to the start of the line and clear it: the new text may be shorter.
        std::fprintf(stderr, "\r\033[K%s", qPrintable(line));
        m_lineOpen = true;
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(line));
    }
    std::fflush(stderr);
}

void StderrProgress::finishLine() {
    m_tick.stop();
    if (m_lineOpen)
        std::fputc('\n', stderr);
    m_lineOpen = false;
}
