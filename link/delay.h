#pragma once

class MeterPort;
class MeterCommand;

// Returns after `milliseconds` have passed on the monotonic clock, processing window
// messages (timers, receive notifications, repaints) while it waits.
void delay(unsigned milliseconds);

// One echoed command transaction: up to three tries of writing the command and waiting
// 500 ms for the meter to send the same six bytes back. Bytes beyond the first six stay in
// the port. Throws SilentAbort (through the port's error handler) when the port is closed.
bool sendCommand(MeterPort& port, const MeterCommand& command);
// The same with another wait for each echo than 500 ms (tests against an emulator that
// answers at once shorten it).
bool sendCommand(MeterPort& port, const MeterCommand& command, unsigned echoWaitMs);
