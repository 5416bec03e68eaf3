#include "commands.h"

#include "livelinkadapter.h"
#include "loggersettings.h"
#include "metersession.h"
#include "stopsignals.h"

#include "loggerporthandover.h"

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

void abortOnError(TComPort*, const EComError&, TComAction& action) {
    action = caAbort;
}

void printLine(const QStringList& fields) {
    std::fputs(fields.join(u'\t').toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

ExitCode handOverFailed(DownloadResult failure) {
    if (failure == DownloadResult::PortNotOpened) {
        Tell(QStringLiteral("the port could not be opened for the logger"));
        return ExitCode::PortRefused;
    }
    Tell(QStringLiteral("the live link did not let go of the port"));
    return ExitCode::TransferFailed;
}

} // namespace

void Tell(const QString& message) {
    std::fprintf(stderr, "ql350-cli: %s\n", qPrintable(message));
}

ExitCode RunPorts(const CliOptions& options) {
    QStringList names;
    TComPort::EnumeratePorts(names);
    names += TComPort::SimulatorName();
    TComPort port;
    port.OnError = abortOnError;
    for (const QString& name : names) {
        QString description = QStringLiteral("built-in meter emulator");
        if (name != TComPort::SimulatorName()) {
            const QSerialPortInfo info(name);
            QStringList parts;
            for (const QString& part : {info.description(), info.manufacturer()}) {
                if (!part.isEmpty() && !parts.contains(part))
                    parts += part;
            }
            description = parts.join(QStringLiteral(", "));
        }
        QStringList fields{name, TComPort::DevicePath(name), description};
        if (options.probe) {
            const auto probe =
                MeterSession::ProbePort(port, TComPort::DevicePath(name), ProbeWaitMs);
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
    printLine({QString::number(session.link().state.MeterModel()), session.link().Comm1.DeviceName()});
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
    if (session.link().state.MeterModel() != 122) {
        Tell(QStringLiteral("the meter is a model %1, which has no logger memory")
                 .arg(session.link().state.MeterModel()));
        return ExitCode::MeterRefused;
    }
    // Whether the meter records on its own is known from its live frames.
    if (!session.waitForReading(FirstReadingWaitMs)) {
        Tell(QStringLiteral("the meter answered but sends no readings"));
        return ExitCode::TransferFailed;
    }
    if (session.link().decoder.reading.MeterRecording) {
        Tell(recordingText);
        return ExitCode::MeterRefused;
    }
    return ExitCode::Ok;
}

ExitCode RunSetup(const CliOptions& options) {
    StopSignals stop;
    MeterSession session;
    if (const ExitCode code = ConnectForLogger(
            session, options.port,
            QStringLiteral(
                "The meter is recording data, please stop recording before setting up."));
        code != ExitCode::Ok)
        return code;
    if (StopSignals::requested())
        return ExitCode::Interrupted;
    LiveLinkAdapter control(session.link());
    TComPort loggerPort;
    loggerPort.OnError = abortOnError;
    LoggerSetupResult result;
    {
        LoggerPortHandOver handOver(control, loggerPort);
        if (!handOver.taken())
            return handOverFailed(handOver.failure());
        std::optional<QDateTime> time = options.time;
        if (options.timeNow)
            time = QDateTime::currentDateTime();
        result = WriteLoggerSettings(loggerPort, handOver.commands(), options.interval, time);
    }
    session.close();
    switch (result) {
    case LoggerSetupResult::Written:
        Tell(QStringLiteral("Setup successfully! Please power off and power on the meter again "
                            "to make this setup valid."));
        return ExitCode::Ok;
    case LoggerSetupResult::NotOpened:
        Tell(QStringLiteral("Setup error, please check the connection and try again !"));
        return ExitCode::TransferFailed;
    case LoggerSetupResult::NotConfirmed:
        Tell(QStringLiteral("Fail to save settins form multimeter!"));
        return ExitCode::TransferFailed;
    case LoggerSetupResult::PortLost:
        break;
    }
    Tell(QStringLiteral("the port failed during the setup"));
    return ExitCode::TransferFailed;
}

ExitCode RunErase(const CliOptions& options) {
    StopSignals stop;
    MeterSession session;
    if (const ExitCode code = ConnectForLogger(
            session, options.port,
            QStringLiteral(
                "The meter is recording data, please stop recording before erasing memory."));
        code != ExitCode::Ok)
        return code;
    if (StopSignals::requested())
        return ExitCode::Interrupted;
    LiveLinkAdapter control(session.link());
    TComPort loggerPort;
    loggerPort.OnError = abortOnError;
    bool erased = false;
    {
        LoggerPortHandOver handOver(control, loggerPort);
        if (!handOver.taken())
            return handOverFailed(handOver.failure());
        erased = EraseLoggerMemory(loggerPort, handOver.commands());
    }
    session.close();
    if (!erased) {
        Tell(QStringLiteral("Fail to erase memory !"));
        return ExitCode::TransferFailed;
    }
    Tell(QStringLiteral("Memory erase successfully !"));
    return ExitCode::Ok;
}
