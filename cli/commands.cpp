#include "commands.h"

#include "recordinginterval.h"

#include "clock.h"
#include "limitmonitor.h"
#include "limitwatch.h"
#include "liveupdate.h"
#include "rangetable.h"
#include "livelinkadapter.h"
#include "loggermessages.h"
#include "loggersetup.h"
#include "memoryerase.h"
#include "metersession.h"
#include "mqttpublisher.h"
#include "stderrprogress.h"
#include "stopsignals.h"

#include "loggerporthandover.h"
#include "recordinginterval.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSerialPortInfo>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// How long a logger command waits for the first live frame, which tells whether the meter
// records on its own. The meter sends a frame every few hundred milliseconds.
constexpr int FirstReadingWaitMs = 3000;

// How long the end of `live --mqtt` waits for queued readings to reach the broker.
constexpr int MqttFinishWaitMs = 10000;

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
    SetupAnswers(std::optional<quint32> interval, std::optional<QDateTime> time,
                 StderrProgress& progress)
        : m_interval(interval), m_time(std::move(time)), m_progress(progress) {}
    void showBusy(const QString& text) override {
        if (!text.isEmpty())
            m_progress.step(text);
    }
    std::optional<LoggerSetupChoice> chooseSettings(const LoggerSettings& current) override {
        // The meter's own interval text writes its interval back unchanged.
        const QString interval = m_interval
                                     ? QStringLiteral("%1 seconds").arg(*m_interval / 10000)
                                     : RecordingInterval::text(current.intervalUnits);
        const QDateTime label = m_time ? *m_time : current.timeLabel;
        return LoggerSetupChoice{interval, label.date(), label.time()};
    }
    void tell(const QString& message) override { ::tell(message); }

private:
    std::optional<quint32> m_interval;
    std::optional<QDateTime> m_time;
    StderrProgress& m_progress;
};

class EraseAnswers : public MemoryEraseUser {
public:
    explicit EraseAnswers(StderrProgress& progress) : m_progress(progress) {}
    bool confirmErase(const LoggerImage*) override {
        m_progress.step(QStringLiteral("erasing the memory"));
        return true;
    }
    void tell(const QString& message) override { ::tell(message); }

private:
    StderrProgress& m_progress;
};

} // namespace

void tell(const QString& message) {
    StderrProgress::endCurrentLine();
    std::fprintf(stderr, "ql350-cli: %s\n", qPrintable(message));
}

QString handOverFailureText(LoggerOutcome outcome, const QString& operation,
                            const QString& reason) {
    switch (outcome) {
    case LoggerOutcome::DeviceBusy:
        return QStringLiteral("the live link did not let go of the port");
    case LoggerOutcome::PortLost:
        return QStringLiteral("the port failed during the %1").arg(operation) +
               (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason);
    default:
        return QString();
    }
}

ExitCode runPorts(const CliOptions& options) {
    QStringList names;
    MeterPort::enumeratePorts(names);
    names += MeterPort::simulatorName();
    MeterPort port;
    port.onError = abortOnError;
    for (const QString& name : names) {
        QString description = QStringLiteral("built-in meter emulator");
        if (name != MeterPort::simulatorName()) {
            const QSerialPortInfo info(name);
            QStringList parts;
            for (const QString& part : {info.description(), info.manufacturer()}) {
                if (!part.isEmpty() && !parts.contains(part))
                    parts += part;
            }
            description = parts.join(QStringLiteral(", "));
        }
        QStringList fields{name, MeterPort::devicePath(name), description};
        if (options.probe) {
            const auto probe =
                MeterSession::probePort(port, MeterPort::devicePath(name), ProbeWaitMs);
            closeQuietly(port);
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

ExitCode runIdentify(const CliOptions& options) {
    MeterSession session;
    QString message;
    const ExitCode code = session.connect(options.port, &message);
    if (code != ExitCode::Ok) {
        tell(message);
        return code;
    }
    printLine(
        {QString::number(session.link().meterModel()), session.link().deviceName()});
    session.close();
    return ExitCode::Ok;
}

namespace {

// live --above/--below: every reading of the session against the limits, an event line on
// standard error when it crosses one or comes back inside; `stop` is called at a crossing
// when the run is to end there.
void watchLimits(MeterSession& session, const CliOptions& options,
                 const std::function<void()>& stop) {
    auto watch = std::make_shared<LimitWatch>();
    Limits limits;
    limits.high = options.above;
    limits.low = options.below;
    limits.hysteresis = options.hysteresis;
    watch->setLimits(limits);
    const QString id = session.printer().meterId();
    const bool stopAtLimit = options.stopAtLimit;
    QObject::connect(
        &session.link(), &LiveLink::updated, &session.link(),
        [watch, id, stopAtLimit, stop](const LiveUpdate& update) {
            const Reading& r = update.reading;
            if (update.functionChanged)
                watch->reset();
            const RangeTable::SiScale si = RangeTable::toSi(r.unitText);
            std::optional<double> value;
            if (!r.overload)
                value = double(r.value) * si.factor + si.offset;
            if (!watch->feed(value, r.negative))
                return;
            const QString shown = r.valueText + u' ' + r.unitText;
            const QString what =
                watch->zone() == LimitWatch::Zone::Inside
                    ? QStringLiteral("back inside the limits: %1").arg(shown)
                    : LimitMonitor::describe(watch->zone(), watch->limits(), si.unit, shown);
            std::fprintf(stderr, "limit: %s%s%s\n", qPrintable(id), id.isEmpty() ? "" : " ",
                         qPrintable(what));
            std::fflush(stderr);
            if (stopAtLimit && watch->zone() != LimitWatch::Zone::Inside)
                stop();
        });
}

} // namespace

ExitCode runLive(const CliOptions& options) {
    StopSignals stop;
    QStringList ports = options.ports;
    if (options.allPorts) {
        ports = MeterSession::metersOnAllPorts();
        if (ports.isEmpty()) {
            tell(QStringLiteral("no meter answers on any serial port"));
            return ExitCode::NoMeter;
        }
    }
    if (ports.isEmpty())
        ports += QString(); // the meter search
    ReadingFormatter::Settings settings;
    settings.format = options.format;
    settings.legacyColumns = options.legacyColumns;
    settings.header = options.header;
    settings.severalMeters = ports.size() > 1 || options.allPorts;
    ReadingOutput output(stdout, settings);
    // With --mqtt the readings go to the broker, and to standard output only when a format is
    // asked for.
    const bool toStdout = options.mqttUrl.isEmpty() || options.formatGiven;
    std::optional<MqttPublisher::Settings> mqtt;
    if (!options.mqttUrl.isEmpty()) {
        QString error;
        const auto target = MqttTarget::parse(options.mqttUrl, &error);
        const auto credentials =
            target ? MqttCredentials::load(options.mqttCredentialsFile, &error) : std::nullopt;
        if (!target || !credentials) {
            tell(error);
            return ExitCode::Usage;
        }
        mqtt = MqttPublisher::Settings{*target, *credentials, options.mqttCaFile,
                                       options.haDiscovery, options.mqttBuffer};
    }
    std::vector<std::unique_ptr<MqttPublisher>> publishers;

    QEventLoop loop;
    ExitCode result = ExitCode::Ok;
    bool outputFailed = false;
    bool limitCrossed = false; // --stop-at-limit
    const auto failOutput = [&] {
        // The reader went away (a closed pipe) or the disk is full.
        result = errno == EPIPE ? ExitCode::Ok : ExitCode::FileError;
        outputFailed = true;
        loop.quit();
    };
    if (toStdout && !output.begin()) {
        failOutput();
        return result;
    }
    // Each meter has its own session: its own port, link, decoder and acknowledgements. The
    // output is set before the meter is called, so that no reading goes unprinted.
    std::vector<std::unique_ptr<MeterSession>> sessions;
    const auto allCounted = [&] {
        for (const auto& s : sessions) {
            if (s->printer().readings() < *options.count)
                return false;
        }
        return true;
    };
    for (const QString& port : ports) {
        auto& session = sessions.emplace_back(std::make_unique<MeterSession>());
        ReadingPrinter& printer = session->printer();
        printer.setOutput(toStdout ? &output : nullptr);
        printer.onReading = [&, &printer = printer](bool written) {
            if (!written) {
                for (const auto& s : sessions)
                    s->printer().setOutput(nullptr);
                failOutput();
            } else if (options.count && printer.readings() >= *options.count) {
                printer.setOutput(nullptr);
                printer.onStamped = nullptr;
                if (allCounted())
                    loop.quit();
            }
        };
        QString message;
        if (const ExitCode code = session->connect(port, &message); code != ExitCode::Ok) {
            tell(message);
            return code;
        }
        if (options.above || options.below)
            watchLimits(*session, options, [&] {
                result = ExitCode::LimitCrossed;
                limitCrossed = true; // may come before the loop runs
                loop.quit();
            });
        if (mqtt) {
            MqttPublisher* publisher =
                publishers.emplace_back(std::make_unique<MqttPublisher>(*mqtt, printer.meterId()))
                    .get();
            if (!publisher->start(&message)) {
                tell(message);
                return ExitCode::Usage;
            }
            printer.onStamped = [publisher](const Reading& r, const StampedReading& stamp) {
                publisher->publish(r, stamp);
            };
            QObject::connect(&session->link(), &LiveLink::connectionChanged, &session->link(),
                             [publisher](bool connected, int) {
                                 publisher->setMeterConnected(connected);
                             });
        }
        if (outputFailed || limitCrossed || StopSignals::requested())
            break;
    }
    QObject::connect(&stop, &StopSignals::stopRequested, &loop, &QEventLoop::quit);
    if (options.durationSeconds)
        QTimer::singleShot(qint64(*options.durationSeconds * 1000), &loop, &QEventLoop::quit);
    if (!StopSignals::requested() && !outputFailed && !limitCrossed &&
        !(options.count && allCounted()))
        loop.exec();
    for (const auto& session : sessions) {
        session->printer().onReading = nullptr;
        session->printer().onStamped = nullptr;
        session->printer().setOutput(nullptr);
        session->close();
    }
    // What was read reaches the broker before the tool ends, if the broker lets it.
    for (const auto& publisher : publishers) {
        const int unsent = publisher->finish(MqttFinishWaitMs);
        if (publisher->dropped() > 0 || unsent > 0)
            tell(QStringLiteral("%1: %2 reading(s) dropped while the broker was away, %3 not "
                                "sent at the end")
                     .arg(publisher->readingTopic())
                     .arg(publisher->dropped())
                     .arg(unsent));
    }
    return result;
}

ExitCode connectForLogger(MeterSession& session, const QString& portOption,
                          const QString& recordingText) {
    QString message;
    const ExitCode code = session.connect(portOption, &message);
    if (code != ExitCode::Ok) {
        tell(message);
        return code;
    }
    if (session.link().meterModel() != 122) {
        tell(QStringLiteral("the meter is a model %1, which has no logger memory")
                 .arg(session.link().meterModel()));
        return ExitCode::MeterRefused;
    }
    // Whether the meter records on its own is known from its live frames.
    if (!session.waitForReading(FirstReadingWaitMs)) {
        tell(QStringLiteral("the meter answered but sends no readings"));
        return ExitCode::TransferFailed;
    }
    if (session.link().reading().meterRecording) {
        tell(recordingText);
        return ExitCode::MeterRefused;
    }
    return ExitCode::Ok;
}

ExitCode withLoggerPort(const CliOptions& options, const QString& recordingText,
                        StderrProgress& progress,
                        const std::function<void(LiveLinkControl&, MeterPort&)>& operation,
                        QString* portFault) {
    progress.step(QStringLiteral("calling the meter"));
    MeterSession session;
    if (const ExitCode code = connectForLogger(session, options.port, recordingText);
        code != ExitCode::Ok)
        return code;
    if (StopSignals::requested())
        return ExitCode::Interrupted;
    LiveLinkAdapter control(session.link());
    MeterPort loggerPort;
    // The first fault is the cause; a closed port's later complaints only follow from it.
    loggerPort.onError = [portFault](MeterPort*, const PortError& error, PortErrorAction& action) {
        if (portFault && portFault->isEmpty())
            *portFault = error.message;
        action = caAbort;
    };
    operation(control, loggerPort);
    session.close();
    return ExitCode::Ok;
}

ExitCode runSetup(const CliOptions& options) {
    StopSignals stop;
    std::optional<QDateTime> time = options.time;
    if (options.timeNow)
        time = QDateTime::currentDateTime();
    // The same setup as the program's menu command; the command line answers for the dialog.
    // What is not given on the command line is written back as the meter had it.
    StderrProgress progress(options.progress, QStringLiteral("setup"));
    SetupAnswers answers(options.interval, time, progress);
    LoggerOutcome outcome = LoggerOutcome::NotOpened;
    QString portFault;
    if (const ExitCode code = withLoggerPort(
            options, loggerMessage(LoggerOperation::Setup, LoggerOutcome::MeterRecording),
            progress, [&](LiveLinkControl& live, MeterPort& port) {
                progress.step(QStringLiteral("reading the meter's settings"));
                outcome = runLoggerSetup(live, port, answers, Clock());
            },
            &portFault);
        code != ExitCode::Ok)
        return code;
    if (const QString text = handOverFailureText(outcome, QStringLiteral("setup"), portFault);
        !text.isEmpty())
        tell(text);
    return exitCodeFor(outcome);
}

ExitCode runErase(const CliOptions& options) {
    StopSignals stop;
    // The program's erase; --yes has answered its question already.
    StderrProgress progress(options.progress, QStringLiteral("erase"));
    EraseAnswers answers(progress);
    LoggerOutcome outcome = LoggerOutcome::NotErased;
    QString portFault;
    if (const ExitCode code = withLoggerPort(
            options, loggerMessage(LoggerOperation::EraseMemory, LoggerOutcome::MeterRecording),
            progress, [&](LiveLinkControl& live, MeterPort& port) {
                progress.step(QStringLiteral("reading the memory header"));
                outcome = runMemoryErase(live, port, answers);
            },
            &portFault);
        code != ExitCode::Ok)
        return code;
    if (const QString text = handOverFailureText(outcome, QStringLiteral("erase"), portFault);
        !text.isEmpty())
        tell(text);
    return exitCodeFor(outcome);
}
