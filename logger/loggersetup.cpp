#include "loggersetup.h"

#include "clock.h"
#include "meterport.h"
#include "delay.h"
#include "livelinkcontrol.h"
#include "loggercommandbuffer.h"
#include "loggerheaderread.h"
#include "loggerimage.h"
#include "loggermessages.h"
#include "loggerporthandover.h"
#include "recordinginterval.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

// Hides the busy note however the setup ends.
class BusyNote {
public:
    explicit BusyNote(LoggerSetupUser& user) : m_user(user) {}
    ~BusyNote() { hide(); }
    BusyNote(const BusyNote&) = delete;
    BusyNote& operator=(const BusyNote&) = delete;
    void show(const QString& text) {
        m_user.showBusy(text);
        m_shown = true;
    }
    void hide() {
        if (m_shown)
            m_user.showBusy(QString());
        m_shown = false;
    }

private:
    LoggerSetupUser& m_user;
    bool m_shown = false;
};

LoggerSetupOutcome setUp(MeterPort& port, LoggerPortHandOver& handOver, LoggerSetupUser& user,
                         BusyNote& busy, const Clock& clock, const LoggerTiming& timing) {
    LoggerCommandBuffer& commands = handOver.commands();
    const LoggerSettingsRead read = ReadLoggerSetup(port, commands, clock.now(), clock, timing);
    if (!read.Settings) {
        busy.hide();
        if (const QString message = LoggerSetupMessage(read.Failure); !message.isEmpty())
            user.tell(message);
        return read.Failure;
    }
    // The meter has answered: from here on it gets its live readings back.
    handOver.setResume(true);
    busy.hide();

    const std::optional<LoggerSetupChoice> choice = user.chooseSettings(*read.Settings);
    if (!choice)
        return LoggerSetupOutcome::Cancelled;
    QString refusal;
    const std::optional<quint32> units = RecordingInterval::Parse(choice->IntervalText, &refusal);
    if (!units) {
        user.tell(refusal);
        return LoggerSetupOutcome::IntervalRefused;
    }
    busy.show(LoggerMessages::WritingData);
    const bool written =
        WriteLoggerSetup(port, commands, *units, choice->Date, choice->Time, timing);
    busy.hide();
    const LoggerSetupOutcome outcome =
        written ? LoggerSetupOutcome::Written : LoggerSetupOutcome::NotWritten;
    user.tell(LoggerSetupMessage(outcome));
    return outcome;
}

} // namespace

QString LoggerSetupMessage(LoggerSetupOutcome outcome) {
    switch (outcome) {
    case LoggerSetupOutcome::Written:
        return QStringLiteral("Setup successfully! Please power off and power on the meter again "
                              "to make this setup valid. ");
    case LoggerSetupOutcome::NotWritten:
        return QStringLiteral("Fail to save settins form multimeter!");
    case LoggerSetupOutcome::NotOpened:
        return QStringLiteral("Setup error, please check the connection and try again !");
    case LoggerSetupOutcome::NoHeader:
        return QStringLiteral("Fail to load settins form multimeter!");
    case LoggerSetupOutcome::NotConnected:
        return LoggerMessages::NoConnection;
    case LoggerSetupOutcome::MeterRecording:
        return QStringLiteral(
            "The meter is recording data, please stop recording before setting up.");
    case LoggerSetupOutcome::Cancelled:
    case LoggerSetupOutcome::IntervalRefused:
    case LoggerSetupOutcome::DumpRefused:
    case LoggerSetupOutcome::PortLost:
    case LoggerSetupOutcome::DeviceBusy:
        break;
    }
    return QString();
}

LoggerSettingsRead ReadLoggerSetup(MeterPort& port, LoggerCommandBuffer& commands, double today,
                                   const Clock& clock, const LoggerTiming& timing) {
    LoggerSettingsRead read;
    if (!SendCommand(port, commands.Open(), unsigned(timing.echoWaitMs))) {
        read.Failure = LoggerSetupOutcome::NotOpened;
        return read;
    }
    if (!SendCommand(port, commands.Dump(), unsigned(timing.echoWaitMs))) {
        read.Failure = LoggerSetupOutcome::DumpRefused;
        return read;
    }
    const LoggerImage header(ReadLoggerHeaderBlocks(port, commands, clock, timing));
    if (!header.holds(0, 64)) {
        read.Failure = LoggerSetupOutcome::NoHeader;
        return read;
    }
    read.Settings =
        LoggerSettings{DaysToDateTime(header.TimeLabel(today)),
                       header.RecordingInterval() / int(RecordingInterval::UnitsPerSecond)};
    return read;
}

bool WriteLoggerSetup(MeterPort& port, LoggerCommandBuffer& commands, quint32 units, QDate date,
                      QTime time, const LoggerTiming& timing) {
    const struct {
        int address;
        int value;
    } writes[] = {
        {13, int(units >> 16)}, {14, int(units >> 8)}, {15, int(units)}, {2, date.year() / 100},
        {3, date.year() % 100}, {4, date.month()},     {5, date.day()},  {6, time.hour()},
        {7, time.minute()},     {8, time.second()},
    };
    bool all = true;
    for (const auto& w : writes) {
        const bool echoed = SendCommand(port, commands.MemoryWrite(w.address, quint8(w.value)),
                                        unsigned(timing.echoWaitMs));
        all = all && echoed;
    }
    return all;
}

LoggerSetupOutcome RunLoggerSetup(LiveLinkControl& live, MeterPort& loggerPort,
                                  LoggerSetupUser& user, const Clock& clock,
                                  const LoggerTiming& timing) {
    if (!live.connected() || live.meterRecording()) {
        const LoggerSetupOutcome refused = live.connected() ? LoggerSetupOutcome::MeterRecording
                                                            : LoggerSetupOutcome::NotConnected;
        user.tell(LoggerSetupMessage(refused));
        return refused;
    }
    if (LoggerPortHandOver::InUse())
        return LoggerSetupOutcome::DeviceBusy;
    BusyNote busy(user);
    busy.show(LoggerMessages::ReadingData);
    LoggerPortHandOver handOver(live, loggerPort, timing);
    handOver.setResume(false);
    if (!handOver.taken()) {
        if (handOver.failure() == DownloadResult::DeviceBusy)
            return LoggerSetupOutcome::DeviceBusy;
        // A logger port that would not open is a meter that cannot be reached.
        busy.hide();
        user.tell(LoggerSetupMessage(LoggerSetupOutcome::NotOpened));
        return LoggerSetupOutcome::NotOpened;
    }
    try {
        return setUp(loggerPort, handOver, user, busy, clock, timing);
    } catch (const SilentAbort&) {
    } catch (const PortError&) {
    }
    return LoggerSetupOutcome::PortLost;
}

QString LocaleTimeFormatWithSeconds() {
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    // The zone ("t", "tt", ...) and the blanks around it go.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    format.replace(zone, QStringLiteral(" "));
    return format.trimmed();
}
