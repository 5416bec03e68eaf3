#pragma once

#include "clioptions.h"
#include "exitcode.h"

#include <QString>

#include <functional>

class LiveLinkControl;
class MeterSession;
class MeterPort;
class StderrProgress;

// The commands of ql350-cli. Each returns the tool's exit status; data goes to standard
// output, everything said to the user to standard error.
ExitCode runPorts(const CliOptions& options);
ExitCode runIdentify(const CliOptions& options);
ExitCode runLive(const CliOptions& options);
ExitCode runDownload(const CliOptions& options);
ExitCode runSetup(const CliOptions& options);
ExitCode runErase(const CliOptions& options);

// A message to the user on standard error, prefixed with the tool's name.
void tell(const QString& message);

// What the tool says when the live link did not let go of the device (DeviceBusy) or the port
// failed during `operation` (PortLost, with the port's own `reason` when known): the program
// passes over both in silence. Empty for every other outcome.
QString handOverFailureText(LoggerOutcome outcome, const QString& operation,
                            const QString& reason = QString());

// For the logger commands: the meter found and live, a model 122 that does not record on its
// own. `recordingText` is what to say when it records. Anything but Ok has been told.
ExitCode connectForLogger(MeterSession& session, const QString& portOption,
                          const QString& recordingText);

// One logger operation: the meter found and live (connectForLogger, with `recordingText`),
// then `operation` run with the live link as the hand-over borrows it and a logger port of the
// tool's own (port faults abort silently; the first one's text goes to *portFault, for the
// message when the operation ends with PortLost); the live link closes afterwards. Returns the
// connection's failure, Interrupted when a stop signal came first, or Ok once `operation` ran.
// The caller keeps a StopSignals alive around it; `progress` shows the call of the meter.
ExitCode
withLoggerPort(const CliOptions& options, const QString& recordingText, StderrProgress& progress,
               const std::function<void(LiveLinkControl& live, MeterPort& loggerPort)>& operation,
               QString* portFault);
