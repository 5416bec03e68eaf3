#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// SIGINT and SIGTERM as a request to stop. The signal handler only sets a flag and writes
// one byte to a pipe; a socket notifier on the pipe's other end turns that into the
// stopRequested signal inside the event loop, where the port can be closed safely. A second
// signal of the same kind ends the program the default way, so a tool that hangs can still be
// interrupted.
class StopSignals : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

    // True once a signal came (readable without an event loop, e.g. between polls).
    static bool requested();

Q_SIGNALS:
    void stopRequested();

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};
