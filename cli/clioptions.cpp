#include "clioptions.h"

#include <QRegularExpression>

#include <array>
#include <cmath>
#include <set>

namespace {

struct CommandInfo {
    const char* word;
    CliOptions::Command command;
    std::set<QString> options;
};

const std::array<CommandInfo, 6>& commands() {
    static const std::array<CommandInfo, 6> table{{
        {"ports", CliOptions::Command::Ports, {"probe"}},
        {"identify", CliOptions::Command::Identify, {"port"}},
        {"live",
         CliOptions::Command::Live,
         {"port", "all", "count", "duration", "format", "legacy-columns", "header", "mqtt",
          "mqtt-credentials", "mqtt-ca", "mqtt-buffer", "ha-discovery", "above", "below",
          "hysteresis", "stop-at-limit"}},
        {"download",
         CliOptions::Command::Download,
         {"port", "out", "raw", "format", "repair", "retries", "legacy-columns", "progress",
          "quiet"}},
        {"setup", CliOptions::Command::Setup, {"port", "interval", "time", "progress", "quiet"}},
        {"erase", CliOptions::Command::Erase, {"port", "yes", "progress", "quiet"}},
    }};
    return table;
}

bool isFlag(const QString& name) {
    static const std::set<QString> flags{"probe",    "repair", "yes",   "all",
                                         "legacy-columns", "header", "progress", "quiet",
                                         "ha-discovery", "stop-at-limit"};
    return flags.count(name) > 0;
}

} // namespace

std::optional<quint32> CliOptions::parseInterval(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral(
            R"(^\s*(\d{1,4})\s*(s|sec|secs|second|seconds|m|min|mins|minute|minutes)\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int n = match.captured(1).toInt();
    const bool minutes = match.captured(2).startsWith(u'm', Qt::CaseInsensitive);
    const int seconds = minutes ? n * 60 : n;
    // The meter's own choices; other values are not offered by the meter's menu either.
    for (int offered : {1, 2, 5, 10, 30, 60, 300, 600, 1200}) {
        if (seconds == offered)
            return quint32(seconds) * 10000u;
    }
    return std::nullopt;
}

CliOptions::Parsed CliOptions::parse(const QStringList& arguments) {
    Parsed result;
    CliOptions& o = result.options;
    auto fail = [&result](const QString& error) {
        result.error = error;
        return result;
    };
    if (arguments.isEmpty())
        return fail(QStringLiteral("no command given"));
    const QString word = arguments.first();
    if (word == "--help" || word == "-h" || word == "help") {
        o.command = Command::Help;
        return result;
    }
    const CommandInfo* info = nullptr;
    for (const CommandInfo& c : commands()) {
        if (word == QLatin1String(c.word))
            info = &c;
    }
    if (!info)
        return fail(QStringLiteral("unknown command \"%1\"").arg(word));
    o.command = info->command;
    o.format = o.command == Command::Download ? Format::Txt : Format::Tsv;

    bool mqttDetails = false; // an option that only --mqtt gives a meaning
    for (int i = 1; i < arguments.size(); ++i) {
        const QString arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            o.command = Command::Help;
            return result;
        }
        if (!arg.startsWith(QLatin1String("--")))
            return fail(QStringLiteral("unexpected argument \"%1\"").arg(arg));
        QString name = arg.mid(2);
        std::optional<QString> value;
        if (const qsizetype eq = name.indexOf(u'='); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        if (!info->options.count(name))
            return fail(QStringLiteral("%1 takes no option --%2").arg(word, name));
        if (isFlag(name)) {
            if (value)
                return fail(QStringLiteral("--%1 takes no value").arg(name));
        } else if (!value) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("--%1 needs a value").arg(name));
            value = arguments[++i];
        }

        bool ok = false;
        if (name.startsWith(QLatin1String("mqtt-")) || name == "ha-discovery")
            mqttDetails = true;
        if (name == "probe") {
            o.probe = true;
        } else if (name == "repair") {
            o.repair = true;
        } else if (name == "yes") {
            o.yes = true;
        } else if (name == "all") {
            o.allPorts = true;
        } else if (name == "stop-at-limit") {
            o.stopAtLimit = true;
        } else if (name == "ha-discovery") {
            o.haDiscovery = true;
        } else if (name == "mqtt") {
            o.mqttUrl = *value;
        } else if (name == "mqtt-credentials") {
            o.mqttCredentialsFile = *value;
        } else if (name == "mqtt-ca") {
            o.mqttCaFile = *value;
        } else if (name == "mqtt-buffer") {
            const int n = value->toInt(&ok);
            if (!ok || n < 1 || n > 10000000)
                return fail(QStringLiteral("--mqtt-buffer needs a whole number 1..10000000"));
            o.mqttBuffer = n;
        } else if (name == "legacy-columns") {
            o.legacyColumns = true;
        } else if (name == "header") {
            o.header = true;
        } else if (name == "progress" || name == "quiet") {
            const Progress wanted = name == "progress" ? Progress::Always : Progress::Never;
            if (o.progress != Progress::Auto && o.progress != wanted)
                return fail(QStringLiteral("--progress and --quiet exclude each other"));
            o.progress = wanted;
        } else if (name == "port") {
            if (value->isEmpty())
                return fail(QStringLiteral("--port needs a port name"));
            if (o.command != Command::Live && !o.port.isEmpty())
                return fail(QStringLiteral("%1 takes one --port").arg(word));
            if (o.ports.contains(*value))
                return fail(QStringLiteral("--port %1 is given twice").arg(*value));
            if (o.port.isEmpty())
                o.port = *value;
            o.ports += *value;
        } else if (name == "count") {
            const qint64 n = value->toLongLong(&ok);
            if (!ok || n <= 0)
                return fail(QStringLiteral("--count needs a whole number above 0"));
            o.count = n;
        } else if (name == "duration") {
            const double s = value->toDouble(&ok);
            if (!ok || !(s > 0) || s > 1e7)
                return fail(QStringLiteral("--duration needs a number of seconds above 0"));
            o.durationSeconds = s;
        } else if (name == "above" || name == "below" || name == "hysteresis") {
            const double v = value->toDouble(&ok);
            if (!ok || !std::isfinite(v) || (name == "hysteresis" && v < 0))
                return fail(QStringLiteral("--%1 needs a number%2")
                                .arg(name, name == "hysteresis" ? QStringLiteral(" of 0 or more")
                                                                : QString()));
            if (name == "above")
                o.above = v;
            else if (name == "below")
                o.below = v;
            else
                o.hysteresis = v;
        } else if (name == "retries") {
            const int n = value->toInt(&ok);
            if (!ok || n < 0 || n > 100)
                return fail(QStringLiteral("--retries needs a whole number 0..100"));
            o.retries = n;
        } else if (name == "format") {
            o.formatGiven = true;
            const QString f = value->toLower();
            if (o.command == Command::Live && f == "tsv")
                o.format = Format::Tsv;
            else if (f == "csv")
                o.format = Format::Csv;
            else if (o.command == Command::Live && f == "json")
                o.format = Format::Json;
            else if (o.command == Command::Live && f == "influx")
                o.format = Format::Influx;
            else if (o.command == Command::Download && f == "txt")
                o.format = Format::Txt;
            else
                return fail(QStringLiteral("%1 has no format \"%2\"").arg(word, *value));
        } else if (name == "out") {
            o.outDir = *value;
        } else if (name == "raw") {
            o.rawFile = *value;
        } else if (name == "interval") {
            o.interval = parseInterval(*value);
            if (!o.interval)
                return fail(QStringLiteral("--interval must be one of the meter's intervals: "
                                           "1s 2s 5s 10s 30s 1m 5m 10m 20m"));
        } else if (name == "time") {
            if (*value == "now") {
                o.timeNow = true;
            } else {
                const QDateTime t = QDateTime::fromString(*value, Qt::ISODate);
                if (!t.isValid() || t.date().year() < 2000 || t.date().year() > 2099 ||
                    t.time().msec() != 0)
                    return fail(QStringLiteral("--time needs \"now\" or a date and time "
                                               "YYYY-MM-DDThh:mm:ss (2000..2099)"));
                o.time = t;
            }
        }
    }

    if (o.stopAtLimit && !o.above && !o.below)
        return fail(QStringLiteral("--stop-at-limit needs --above or --below"));
    if (o.above && o.below && *o.below > *o.above)
        return fail(QStringLiteral("--below is above --above"));
    if (o.command == Command::Live && o.count && o.durationSeconds)
        return fail(QStringLiteral("live takes --count or --duration, not both"));
    if (o.mqttUrl.isEmpty() && mqttDetails)
        return fail(QStringLiteral("--ha-discovery and --mqtt-... options need --mqtt URL"));
    if (o.allPorts && !o.ports.isEmpty())
        return fail(QStringLiteral("live takes --port or --all, not both"));
    if (o.legacyColumns && o.format != Format::Csv)
        return fail(QStringLiteral("--legacy-columns applies to --format csv"));
    if (o.header && o.format != Format::Tsv && o.format != Format::Csv)
        return fail(QStringLiteral("--header applies to tsv and csv"));
    if (o.command == Command::Download && !o.outDir.isEmpty() && !o.rawFile.isEmpty())
        return fail(QStringLiteral("download takes --out or --raw, not both"));
    if (o.command == Command::Download && !o.rawFile.isEmpty() && o.format != Format::Txt)
        return fail(QStringLiteral("--format applies to data files, not to --raw"));
    if (o.command == Command::Setup && !o.interval && !o.time && !o.timeNow)
        return fail(QStringLiteral("setup needs --interval, --time or both"));
    if (o.command == Command::Erase && !o.yes)
        return fail(QStringLiteral("erase clears the meter's logger memory: confirm with --yes"));
    return result;
}

QString cliUsage() {
    return QStringLiteral(R"(Usage: ql350-cli <command> [options]
The multimeter from the command line. Data goes to standard output, messages to standard
error.

Commands:
  ports [--probe]        the serial ports with their descriptions; --probe calls the meter
                         on each and names the ones that answer (model 120 or 122), or why
                         a port could not be opened
  identify [--port P]    the meter's model
  live [--port P]... | --all [--count N | --duration S]
       [--format tsv|csv|json|influx] [--legacy-columns] [--header]
                         one line per acknowledged reading, until N readings (of each
                         meter), S seconds, SIGINT or SIGTERM. --port may be given several
                         times, or --all takes every port the search finds a meter on: each
                         meter is read on its own, lines carry the meter's id, and a meter
                         that goes away is called again while the others go on
       [--mqtt URL [--mqtt-credentials FILE] [--mqtt-ca FILE] [--mqtt-buffer N]
        [--ha-discovery]]
                         publishes every reading to an MQTT broker, URL
                         mqtt://HOST[:PORT]/PREFIX (mqtts:// for TLS): the JSON line of
                         --format json to PREFIX/METER/reading (QoS 1), the meter's state
                         to PREFIX/METER/status (retained: online, no connection, offline;
                         offline also when the tool is killed), with --ha-discovery Home
                         Assistant discovery configs. While the broker is away up to N
                         readings a meter wait (default 100000; beyond, the oldest are
                         dropped and counted). User name and password come from FILE
                         (username=..., password=...) or from QL350_MQTT_USERNAME and
                         QL350_MQTT_PASSWORD, never from the command line. With --mqtt,
                         standard output gets lines only when --format is given
       [--above X] [--below Y] [--hysteresis H] [--stop-at-limit]
                         limits in the unit of the reading's quantity (V, A, Ohm, Hz, F,
                         degrees C, whichever range the meter is in): a reading beyond one,
                         or back inside (by H), prints an event line on standard error
                         ("limit: METER above 2 V: 2.512 V"); --stop-at-limit ends the run
                         at the first crossing with exit code 9
  download [--port P] [--out DIR | --raw FILE] [--format txt|csv] [--legacy-columns]
           [--repair] [--retries N]
                         the logger memory: one data file per data set in DIR (default: the
                         current folder), set001.txt, set002.txt, ... (TAB separated, or
                         set001.csv in the portable format with --format csv; files of these
                         names are replaced), or the raw memory image in FILE (written even
                         when a data set is damaged).
                         A transfer that goes wrong is tried N more times (default 2). A
                         damaged data set stops the download; --repair cuts the meter's
                         header back to the good sets and downloads again
  setup [--port P] [--interval I] [--time now|YYYY-MM-DDThh:mm:ss]
                         the recording interval (1s 2s 5s 10s 30s 1m 5m 10m 20m) and the
                         start time the meter gives its next recording; only the settings
                         given are written. The meter takes them after it is switched off
                         and on again
  erase --yes            clears the meter's logger memory

  --port P               a port name (ttyUSB0), a device path (/dev/ttyUSB0, a link under
                         /dev/serial/by-id), or Simulator for the built-in meter; without it,
                         the ports are searched as the program does at start-up (the
                         simulator is never chosen). A meter whose USB adapter reports its
                         identity is found again under another name after an unplug; no
                         other adapter is opened in its place
  --progress, --quiet    download, setup and erase show their progress on standard error
                         when it is a terminal; --progress shows it anyway, --quiet never

Output of live, one line per reading:
  tsv (default), and csv with --legacy-columns: time (ISO 8601, local, with milliseconds and
    UTC offset), value (OL or -OL when overloaded), unit, function, coupling (AC, DC or
    empty), ranging (auto or manual), hold (hold or empty), overload (OL or empty); with
    several meters also the meter's id and the milliseconds since the run began (monotonic).
    --header writes the column names first.
  csv: the portable format (docs/portable-format.md): header row, then row, time, value,
    unit, si_value, si_unit, function, coupling, range, flags; with several meters also
    meter and monotonic_ms.
  json: one object a line with every key on every line: time, monotonic_ms, meter, seq (1
    for a meter's first reading), value (the meter's digits; null when overloaded), unit,
    si_value, si_unit, function, coupling (null when none), auto, hold, overload, negative,
    flags.
  influx: InfluxDB line protocol: measurement ql350, tags meter, function, coupling, unit,
    fields value, si_value (both left out when overloaded) and overload, time in ns.

Exit codes:
  0  done
  1  an output file or folder could not be written
  2  the command line is wrong
  3  no meter answers
  4  the port could not be opened (missing, in use, or no permission)
  5  the transfer failed: the meter stopped answering or did not confirm a command
  6  the logger memory is damaged (see --repair)
  7  the meter refuses: it records on its own, or it is a model 120 without a logger
  8  interrupted by SIGINT or SIGTERM before a logger operation finished
  9  live --stop-at-limit: a reading crossed a limit
)");
}
