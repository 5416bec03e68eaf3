#include "commands.h"

#include "recordinginterval.h"

#include "clock.h"
#include "livelinkadapter.h"
#include "loggermessages.h"
#include "loggersetup.h"
#include "memoryerase.h"
#include "metersession.h"
#include "stopsignals.h"

#include "loggerporthandover.h"
#include "recordinginterval.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSerialPortInfo>
#include <QTimer>

#include <cerrno>
#include <cstdio>

namespace {

// How long a logger command waits for the first live frame, which tells whether the meter
// records on its own. The meter sends a frame every few hundred milliseconds.
constexpr int FirstReadingWaitMs = 3000;

// How long the probe of `ports --probe` listens on each port.
constexpr int ProbeWaitMs = 300;

void abortOnError(MeterPort*, const PortError&, PortErrorAction& action) {
    action = caAbort;
}

void printLine(const QStringList& fields) {
    std::fputs(fields.join(u'\t').toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

// The setup's answers from the command line: the interval and start time given there, the
// meter's own for what is not.
class SetupAnswers : public LoggerSetupUser {
public:
    SetupAnswers(std::optional<quint32> interval, std::optional<QDateTime> time)
        : m_interval(interval), m_time(std::move(time)) {}
    void showBusy(const QString&) override {}
    std::optional<LoggerSetupChoice> chooseSettings(const LoggerSettings& current) override {
        // The meter's own interval text writes its interval back unchanged.
        const QString interval = m_interval
                                     ? QStringLiteral("%1 seconds").arg(*m_interval / 10000)
                                     : RecordingInterval::Text(current.IntervalUnits);
        const QDateTime label = m_time ? *m_time : current.TimeLabel;
        return LoggerSetupChoice{interval, label.date(), label.time()};
    }
    void tell(const QString& message) override { Tell(message); }

private:
    std::optional<quint32> m_interval;
    std::optional<QDateTime> m_time;
};

class EraseAnswers : public MemoryEraseUser {
public:
    bool confirmErase(const LoggerImage*) override { return true; }
    void tell(const QString& message) override { Tell(message); }
};

} // namespace

void Tell(const QString& message) {
    std::fprintf(stderr, "ql350-cli: %s\n", qPrintable(message));
}

QString HandOverFailureText(LoggerOutcome outcome, const QString& operation) {
    switch (outcome) {
    case LoggerOutcome::DeviceBusy:
        return QStringLiteral("the live link did not let go of the port");
    case LoggerOutcome::PortLost:
        return QStringLiteral("the port failed during the %1").arg(operation);
    default:
        return QString();
    }
}

ExitCode RunPorts(const CliOptions& options) {
    QStringList names;
    MeterPort::EnumeratePorts(names);
    names += MeterPort::SimulatorName();
    MeterPort port;
    port.OnError = abortOnError;
    for (const QString& name : names) {
        QString description = QStringLiteral("built-in meter emulator");
        if (name != MeterPort::SimulatorName()) {
            const QSerialPortInfo info(name);
            QStringList parts;
            for (const QString& part : {info.description(), info.manufacturer()}) {
                if (!part.isEmpty() && !parts.contains(part))
                    parts += part;
            }
            description = parts.join(QStringLiteral(", "));
        }
        QStringList fields{name, MeterPort::DevicePath(name), description};
        if (options.probe) {
            const auto probe =
                MeterSession::ProbePort(port, MeterPort::DevicePath(name), ProbeWaitMs);
            CloseQuietly(port);
            if (probe.model)
                fields += QStringLiteral("meter %1").arg(probe.model);
            else if (!probe.opened)
                fields += (probe.refused ? QStringLiteral("skipped, refused: ")
                                         : QStringLiteral("skipped: ")) +
                          probe.failure;
            else
                fields += QStringLiteral("no meter");
        }
        printLine(fields);
    }
    return std::fflush(stdout) == 0 ? ExitCode::Ok : ExitCode::FileError;
}

ExitCode RunIdentify(const CliOptions& options) {
    MeterSession session;
    QString message;
    const ExitCode code = session.connect(options.port, &message);
    if (code != ExitCode::Ok) {
        Tell(message);
        return code;
    }
    printLine(
        {QString::number(session.link().meterModel()), session.link().deviceName()});
    session.close();
    return ExitCode::Ok;
}

ExitCode RunLive(const CliOptions& options) {
    StopSignals stop;
    MeterSession session;
    QString message;
    const ExitCode code = session.connect(options.port, &message);
    if (code != ExitCode::Ok) {
        Tell(message);
        return code;
    }
    QEventLoop loop;
    ExitCode result = ExitCode::Ok;
    ReadingPrinter& printer = session.printer();
    printer.setOutput(stdout, options.format);
    printer.onReading = [&](bool written) {
        if (!written) {
            // The reader went away (a closed pipe) or the disk is full.
            result = errno == EPIPE ? ExitCode::Ok : ExitCode::FileError;
            printer.setOutput(nullptr, options.format);
            loop.quit();
        } else if (options.count && printer.readings() >= *options.count) {
            printer.setOutput(nullptr, options.format);
            loop.quit();
        }
    };
    QObject::connect(&stop, &StopSignals::stopRequested, &loop, &QEventLoop::quit);
    if (options.durationSeconds)
        QTimer::singleShot(qint64(*options.durationSeconds * 1000), &loop, &QEventLoop::quit);
    if (!StopSignals::requested())
        loop.exec();
    printer.onReading = nullptr;
    printer.setOutput(nullptr, options.format);
    session.close();
    return result;
}

ExitCode ConnectForLogger(MeterSession& session, const QString& portOption,
                          const QString& recordingText) {
    QString message;
    const ExitCode code = session.connect(portOption, &message);
    if (code != ExitCode::Ok) {
        Tell(message);
        return code;
    }
    if (session.link().meterModel() != 122) {
        Tell(QStringLiteral("the meter is a model %1, which has no logger memory")
                 .arg(session.link().meterModel()));
        return ExitCode::MeterRefused;
    }
    // Whether the meter records on its own is known from its live frames.
    if (!session.waitForReading(FirstReadingWaitMs)) {
        Tell(QStringLiteral("the meter answered but sends no readings"));
        return ExitCode::TransferFailed;
    }
    if (session.link().reading().MeterRecording) {
        Tell(recordingText);
        return ExitCode::MeterRefused;
    }
    return ExitCode::Ok;
}

ExitCode WithLoggerPort(const CliOptions& options, const QString& recordingText,
                        const std::function<void(LiveLinkControl&, MeterPort&)>& operation) {
    MeterSession session;
    if (const ExitCode code = ConnectForLogger(session, options.port, recordingText);
        code != ExitCode::Ok)
        return code;
    if (StopSignals::requested())
        return ExitCode::Interrupted;
    LiveLinkAdapter control(session.link());
    MeterPort loggerPort;
    loggerPort.OnError = abortOnError;
    operation(control, loggerPort);
    session.close();
    return ExitCode::Ok;
}

ExitCode RunSetup(const CliOptions& options) {
    StopSignals stop;
    std::optional<QDateTime> time = options.time;
    if (options.timeNow)
        time = QDateTime::currentDateTime();
    // The same setup as the program's menu command; the command line answers for the dialog.
    // What is not given on the command line is written back as the meter had it.
    SetupAnswers answers(options.interval, time);
    LoggerOutcome outcome = LoggerOutcome::NotOpened;
    if (const ExitCode code = WithLoggerPort(
            options, LoggerMessage(LoggerOperation::Setup, LoggerOutcome::MeterRecording),
            [&](LiveLinkControl& live, MeterPort& port) {
                outcome = RunLoggerSetup(live, port, answers, Clock());
            });
        code != ExitCode::Ok)
        return code;
    if (const QString text = HandOverFailureText(outcome, QStringLiteral("setup")); !text.isEmpty())
        Tell(text);
    return ExitCodeFor(outcome);
}

ExitCode RunErase(const CliOptions& options) {
    StopSignals stop;
    // The program's erase; --yes has answered its question already.
    EraseAnswers answers;
    LoggerOutcome outcome = LoggerOutcome::NotErased;
    if (const ExitCode code = WithLoggerPort(
            options, LoggerMessage(LoggerOperation::EraseMemory, LoggerOutcome::MeterRecording),
            [&](LiveLinkControl& live, MeterPort& port) {
                outcome = RunMemoryErase(live, port, answers);
            });
        code != ExitCode::Ok)
        return code;
    if (const QString text = HandOverFailureText(outcome, QStringLiteral("erase")); !text.isEmpty())
        Tell(text);
    return ExitCodeFor(outcome);
}
