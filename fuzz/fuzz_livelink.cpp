// Fuzz target: byte chunks from the meter's side through the live link's receive step, frame
// decoder included, over an in-memory port. The input is a script of steps: bytes that arrive
// with a notification, bytes that arrive silently (no event loop ran), ticks of the main timer
// and runs of the posted events.

#include "support/fakeport.h"
#include "fuzzinput.h"
#include "livelink.h"

#include <cstdio>
#include <cstdlib>

namespace {

class ScriptClock : public Clock {
public:
    qint64 ms = 1000000;
    double days = 46000.5;
    qint64 monotonicMs() const override { return ms; }
    double now() const override { return days; }
};

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_livelink: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureFuzzApplication();
    FakeDeviceScope fake;
    ScriptClock clock;
    {
        LiveLink link;
        link.setClock(&clock);
        link.setDeviceName(QStringLiteral("/dev/fuzz"));
        link.openPort();

        FuzzInput in(data, size);
        while (!in.empty()) {
            const std::uint8_t op = in.byte();
            switch (op % 8) {
            case 5: // bytes that arrived while no event loop ran
                fake.device->send(in.bytes(in.byte() % 64 + 1), false);
                break;
            case 6: // a tick of the main timer, a little late or early
                clock.ms += 500 + in.byte() * 8;
                clock.days += 1.0 / 86400;
                link.onTick();
                break;
            case 7:
                QCoreApplication::sendPostedEvents();
                break;
            default: // bytes with a notification
                fake.device->send(in.bytes(in.byte() % 64 + 1));
                break;
            }
            // What the program wrote (acknowledgements, K, A) is not looked at.
            fake.device->writes.clear();
            // Between steps the buffer holds at most the start of one more frame.
            require(link.pendingBytes().size() < 20, "receive buffer keeps more than a frame's start");
        }
        QCoreApplication::sendPostedEvents();
        require(link.pendingBytes().size() < 20, "receive buffer keeps more than a frame's start");
    }
    // Notifications posted for the link that is gone must not reach it.
    QCoreApplication::sendPostedEvents();
    return 0;
}
