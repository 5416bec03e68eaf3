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

QString setupMessage(LoggerOutcome outcome) {
    return loggerMessage(LoggerOperation::Setup, outcome);
}

LoggerOutcome setUp(MeterPort& port, LoggerPortHandOver& handOver, LoggerSetupUser& user,
                    BusyNote& busy, const Clock& clock, const LoggerTiming& timing,
                    LoggerStep& step) {
    LoggerCommandBuffer& commands = handOver.commands();
    step = LoggerStep::ReadingSettings;
    const LoggerSettingsRead read = readLoggerSetup(port, commands, clock.now(), clock, timing);
    if (!read.settings) {
        busy.hide();
        if (const QString message = setupMessage(read.failure); !message.isEmpty())
            user.tell(message);
        return read.failure;
    }
    // The meter has answered: from here on it gets its live readings back.
    handOver.setResume(true);
    busy.hide();
    if (read.unfinished)
        user.tell(LoggerMessages::setupUnfinished);

    const std::optional<LoggerSetupChoice> choice = user.chooseSettings(*read.settings);
    if (!choice)
        return LoggerOutcome::Cancelled;
    QString refusal;
    std::optional<quint32> units;
    // Kept as the meter has it, to the 100 us; but a torn interval is no setting of the
    // meter's to keep, so the text then stands for what it says.
    if (const quint32 own = read.settings->intervalUnits;
        own != 0 && !read.unfinished && choice->intervalText.trimmed() == RecordingInterval::text(own))
        units = own;
    else
        units = RecordingInterval::parse(choice->intervalText, &refusal);
    if (!units) {
        user.tell(refusal);
        return LoggerOutcome::IntervalRefused;
    }
    busy.show(LoggerMessages::writingData);
    const bool written =
        writeLoggerSetup(port, commands, *units, choice->date, choice->time, timing, &step);
    busy.hide();
    const LoggerOutcome outcome = written ? LoggerOutcome::Written : LoggerOutcome::NotWritten;
    user.tell(setupMessage(outcome));
    return outcome;
}

} // namespace

LoggerSettingsRead readLoggerSetup(MeterPort& port, LoggerCommandBuffer& commands, double today,
                                   const Clock& clock, const LoggerTiming& timing) {
    LoggerSettingsRead read;
    if (!sendCommand(port, commands.open(), unsigned(timing.echoWaitMs))) {
        read.failure = LoggerOutcome::NotOpened;
        return read;
    }
    if (!sendCommand(port, commands.dump(), unsigned(timing.echoWaitMs))) {
        read.failure = LoggerOutcome::DumpRefused;
        return read;
    }
    const LoggerImage header(readLoggerHeaderBlocks(port, commands, clock, timing));
    if (!header.holds(0, 64)) {
        read.failure = LoggerOutcome::NoHeader;
        return read;
    }
    read.unfinished = header.setupUnfinished();
    // A torn start time is no time of the meter's: today's stands in for all of it.
    read.settings =
        LoggerSettings{daysToDateTime(read.unfinished ? today : header.timeLabel(today)),
                       header.recordingInterval() / int(RecordingInterval::UnitsPerSecond),
                       quint32(header.recordingInterval())};
    return read;
}

bool writeLoggerSetup(MeterPort& port, LoggerCommandBuffer& commands, quint32 units, QDate date,
                      QTime time, const LoggerTiming& timing, LoggerStep* step) {
    using S = LoggerStep;
    const struct {
        int address;
        int value;
        LoggerStep step;
    } writes[] = {
        {8, LoggerImage::SetupUnfinishedMark, S::WritingInterval},
        {13, int(units >> 16), S::WritingInterval},
        {14, int(units >> 8), S::WritingInterval},
        {15, int(units), S::WritingInterval},
        {2, date.year() / 100, S::WritingStartTime},
        {3, date.year() % 100, S::WritingStartTime},
        {4, date.month(), S::WritingStartTime},
        {5, date.day(), S::WritingStartTime},
        {6, time.hour(), S::WritingStartTime},
        {7, time.minute(), S::WritingStartTime},
        {8, time.second(), S::WritingStartTime},
    };
    bool all = true;
    for (const auto& w : writes) {
        if (step)
            *step = w.step;
        const bool echoed = sendCommand(port, commands.memoryWrite(w.address, quint8(w.value)),
                                        unsigned(timing.echoWaitMs));
        all = all && echoed;
    }
    return all;
}

LoggerOutcome runLoggerSetup(LiveLinkControl& live, MeterPort& loggerPort, LoggerSetupUser& user,
                             const Clock& clock, const LoggerTiming& timing) {
    if (!live.connected() || live.meterRecording()) {
        const LoggerOutcome refused =
            live.connected() ? LoggerOutcome::MeterRecording : LoggerOutcome::NotConnected;
        user.tell(setupMessage(refused));
        return refused;
    }
    if (LoggerPortHandOver::inUse())
        return LoggerOutcome::DeviceBusy;
    BusyNote busy(user);
    busy.show(LoggerMessages::readingData);
    LoggerPortHandOver handOver(live, loggerPort, timing);
    handOver.setResume(false);
    if (!handOver.taken()) {
        if (handOver.failure() == LoggerOutcome::DeviceBusy)
            return LoggerOutcome::DeviceBusy;
        // A logger port that would not open is a meter that cannot be reached.
        busy.hide();
        user.tell(setupMessage(LoggerOutcome::NotOpened));
        return LoggerOutcome::NotOpened;
    }
    LoggerStep step = LoggerStep::ReadingSettings;
    try {
        return setUp(loggerPort, handOver, user, busy, clock, timing, step);
    } catch (const SilentAbort&) {
    } catch (const PortError&) {
    }
    busy.hide();
    user.tell(portLostMessage(step));
    return LoggerOutcome::PortLost;
}

QString localeTimeFormatWithSeconds() {
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    // The zone ("t", "tt", ...) and the blanks around it go.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    format.replace(zone, QStringLiteral(" "));
    return format.trimmed();
}
