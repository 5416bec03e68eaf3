#pragma once

#include "loggeroutcome.h"
#include "loggertiming.h"

#include <QString>

class LiveLinkControl;
class LoggerCommandBuffer;
class MeterPort;

// The erase exchange over `port` (the logger port, open on the meter's device): the open
// command, whose echo is not required, then the erase command 'E' 45 45 00. True when the meter
// echoed the erase command. The buffer is left holding the erase command, so the resume command
// that follows carries its parameter bytes (02 41 45 45 00 03), as the meter expects. Port
// faults are thrown as the port throws them.
bool SendMemoryErase(MeterPort& port, LoggerCommandBuffer& commands,
                     const LoggerTiming& timing = {});

// Whoever answers for the user during RunMemoryErase.
class MemoryEraseUser {
public:
    virtual ~MemoryEraseUser() = default;
    // "Erase Memory ?": true for Yes.
    virtual bool confirmErase() = 0;
    // A message the user must see.
    virtual void tell(const QString& message) = 0;
};

// The DataLogger menu's Erase Memory without the windows: refuses without a connection or while
// the meter records (telling why, sending nothing), asks for confirmation, borrows the device
// from the live side over `loggerPort`, erases, tells the result and gives the device back with
// the resume command, whatever the meter answered. Never throws for port faults (PortLost).
//
// Ends Erased, NotErased or Declined, or with a failure of the hand-over: NotConnected,
// MeterRecording, DeviceBusy or PortLost.
LoggerOutcome RunMemoryErase(LiveLinkControl& live, MeterPort& loggerPort, MemoryEraseUser& user,
                             const LoggerTiming& timing = {});
