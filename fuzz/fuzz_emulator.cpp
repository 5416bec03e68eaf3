// Fuzz target: arbitrary command streams into the meter emulator. The first bytes choose the
// model, the pacing, the fault knobs and the logger memory; the rest is a script of writes
// split anywhere, reads at advancing times, and resets.

#include "fuzzinput.h"
#include "loggerimagebuilder.h"
#include "meteremulator.h"

#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_emulator: %s\n", what);
        std::abort();
    }
}

int knob(std::uint8_t value) {
    // Off most of the time, otherwise a small block or frame number.
    return value < 128 ? -1 : value % 8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t setup = in.byte();
    MeterEmulator meter((setup & 1) ? 120 : 122);
    meter.setPaced(setup & 2);
    meter.setRecording(setup & 4);
    meter.setFrameIntervalMs((setup & 8) ? 0 : 250);
    if (setup & 16) {
        static const QByteArray demo = LoggerImageBuilder::demoImage();
        meter.setLoggerImage(demo);
    } else if (setup & 32) {
        static const QByteArray small = LoggerImageBuilder::generatedImage(3, 5);
        meter.setLoggerImage(small);
    }
    if (setup & 64) {
        MeterEmulator::Faults& f = meter.faults();
        const std::uint8_t a = in.byte(), b = in.byte(), c = in.byte();
        f.corruptFrameEvery = a % 4;
        f.dropFrameEvery = (a >> 2) % 4;
        f.silent = a & 0x10;
        f.withholdEcho = a & 0x20;
        f.corruptBlock = knob(b);
        f.corruptEveryTime = b & 0x40;
        f.cutBlock = knob(c);
        f.cutBlockBytes = c % 70;
        f.cutEveryTime = c & 0x40;
        f.silentAfterBlock = knob(in.byte());
        f.lineGoneAfterBlock = knob(in.byte());
        const std::uint8_t echo = in.byte();
        for (int i = 0; i < 5; ++i)
            if (echo & (1 << i))
                f.withholdEchoOf += "CPWRE"[i];
        f.wrongReadByte = echo & 0x80;
    }

    qint64 now = 0;
    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        switch (op % 8) {
        case 5:
            now += in.byte() * 4;
            meter.read(now);
            break;
        case 6: { // read everything that is due next
            const qint64 next = meter.nextOutputMs();
            if (next >= 0) {
                now = std::max(now, next);
                require(!meter.read(now).isEmpty(), "nothing to read at the announced time");
            }
            break;
        }
        case 7:
            if (op == 7)
                meter.reset();
            break;
        default:
            meter.write(in.bytes(in.byte() % 16 + 1), now);
            now += op / 8;
            break;
        }
    }
    // Whatever is still on its way is delivered in finite time.
    for (int i = 0; i < 100000 && meter.nextOutputMs() >= 0; ++i)
        meter.read(std::max(now, meter.nextOutputMs()));
    return 0;
}
