// ql350-cli: the meter's live readings, logger memory and logger settings from the command
// line, over the same widget-free core as the program.

#include "clioptions.h"
#include "commands.h"
#include "simulatorbackend.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ql350-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // "--port Simulator": the meter emulator inside the tool.
    SimulatorBackend::install();

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    if (arguments.value(0) == QLatin1String("--version")) {
        std::printf("ql350-cli %s\n", PROJECT_VERSION);
        return 0;
    }
    const CliOptions::Parsed parsed = CliOptions::parse(arguments);
    if (!parsed.error.isEmpty()) {
        tell(parsed.error);
        std::fputs("Try 'ql350-cli --help'.\n", stderr);
        return toInt(ExitCode::Usage);
    }
    const CliOptions& o = parsed.options;
    switch (o.command) {
    case CliOptions::Command::Help:
        std::fputs(cliUsage().toUtf8().constData(), stdout);
        return 0;
    case CliOptions::Command::Ports:
        return toInt(runPorts(o));
    case CliOptions::Command::Identify:
        return toInt(runIdentify(o));
    case CliOptions::Command::Live:
        return toInt(runLive(o));
    case CliOptions::Command::Download:
        return toInt(runDownload(o));
    case CliOptions::Command::Setup:
        return toInt(runSetup(o));
    case CliOptions::Command::Erase:
        return toInt(runErase(o));
    }
    return toInt(ExitCode::Usage);
}
