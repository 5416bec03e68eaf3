#pragma once

#include "loggermessages.h"
#include "loggeroutcome.h"
#include "loggertiming.h"

#include <QString>

class LiveLinkControl;
class LoggerImage;
class LoggerCommandBuffer;
class MeterPort;

// The erase exchange over `port` (the logger port, open on the meter's device): the open
// command, whose echo is not required, then the erase command 'E' 45 45 00. True when the meter
// echoed the erase command. The buffer is left holding the erase command, so the resume command
// that follows carries its parameter bytes (02 41 45 45 00 03), as the meter expects. Port
// faults are thrown as the port throws them; `step`, when given, says whether the erase
// command had been sent (Erasing) or not (BeforeErase) when they were.
bool sendMemoryErase(MeterPort& port, LoggerCommandBuffer& commands,
                     const LoggerTiming& timing = {}, LoggerStep* step = nullptr);

// Whoever answers for the user during runMemoryErase.
class MemoryEraseUser {
public:
    virtual ~MemoryEraseUser() = default;
    // The question before the erase, asked while the device is held: true for Yes. `header` is
    // the memory header the meter sent just before (what it holds), nullptr when it sent none.
    virtual bool confirmErase(const LoggerImage* header) = 0;
    // A message the user must see.
    virtual void tell(const QString& message) = 0;
};

// The DataLogger menu's Erase Memory without the windows: refuses without a connection or while
// the meter records (telling why, sending nothing); borrows the device from the live side over
// `loggerPort`, reads the memory header (so that the question can say what would be lost),
// asks, erases after Yes, tells the result and gives the device back with the resume command,
// whatever the meter answered. A logger port that does not open is told as a failed erase
// without asking. Never throws for port faults (PortLost): a lost meter is told with what is
// known of its memory (not erased, or not known when the erase command had gone out).
//
// Ends Erased, NotErased or Declined, or with a failure of the hand-over: NotConnected,
// meterRecording, DeviceBusy or PortLost.
LoggerOutcome runMemoryErase(LiveLinkControl& live, MeterPort& loggerPort, MemoryEraseUser& user,
                             const LoggerTiming& timing = {});
