#pragma once

#include "clioptions.h"
#include "exitcode.h"

#include <QString>

class MeterSession;

// The commands of ql350-cli. Each returns the tool's exit status; data goes to standard
// output, everything said to the user to standard error.
ExitCode RunPorts(const CliOptions& options);
ExitCode RunIdentify(const CliOptions& options);
ExitCode RunLive(const CliOptions& options);
ExitCode RunDownload(const CliOptions& options);
ExitCode RunSetup(const CliOptions& options);
ExitCode RunErase(const CliOptions& options);

// A message to the user on standard error, prefixed with the tool's name.
void Tell(const QString& message);

// For the logger commands: the meter found and live, a model 122 that does not record on its
// own. `recordingText` is what to say when it records. Anything but Ok has been told.
ExitCode ConnectForLogger(MeterSession& session, const QString& portOption,
                          const QString& recordingText);
