#include "meteremulator.h"

#include "loggerimagebuilder.h"
#include "readingsource.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// 9600 baud, 8N1: ten bit times a byte.
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
// Tolerance for comparing fractional arrival times with the host's whole milliseconds.
constexpr double kEpsilon = 1e-6;
constexpr double kNever = -std::numeric_limits<double>::infinity();

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr qsizetype kCommandSize = 6;
// Garbage without any command start is not kept beyond this.
constexpr qsizetype kMaxInput = 4096;

constexpr int kMemorySize = LoggerImageBuilder::kMemorySize;
constexpr int kBlockData = 64;

// The one logger memory of the in-program simulator, whichever port object opens it.
std::shared_ptr<QByteArray> sharedDemoMemory() {
    static const auto memory = std::make_shared<QByteArray>(LoggerImageBuilder::demoImage());
    return memory;
}

} // namespace

struct MeterEmulator::Impl {
    // What the meter is doing, as far as the PC's commands are concerned.
    enum class Mode {
        Idle,       // after power-up, reset or K: answers commands, sends no frames
        Live,       // after A: one frame, then the next one after each Y
        LoggerOpen, // after C: takes P, W, R and E
        Dumping,    // after P: one block out, waiting for y, n or Q
    };

    // One burst of output (an echo, an answer, a frame), with the times its bytes reach the PC.
    struct Chunk {
        QByteArray bytes;
        qsizetype taken = 0;     // bytes already handed to the PC
        double firstArrival = 0; // arrival of bytes[0]
        double step = 0;         // time between two bytes (0 when not paced)
        double arrival(qsizetype i) const { return firstArrival + double(i) * step; }
    };

    // A fresh meter holds an erased logger memory (what a builder without sets makes).
    explicit Impl(int m)
        : model(m == 120 ? 120 : 122), readings(ReadingSource::tour()),
          memoryStore(std::make_shared<QByteArray>(LoggerImageBuilder().image())) {}

    // Settings.
    int model;
    bool paced = true;
    int frameIntervalMs = 250;
    bool recording = false;
    Faults faults;
    std::unique_ptr<ReadingSource> readings;

    // The logger memory (kMemorySize bytes), perhaps shared with other emulators that stand for
    // the same meter, and the dump in progress.
    std::shared_ptr<QByteArray> memoryStore;
    QByteArray& memory() { return *memoryStore; }
    int dumpBlock = 0;     // block being sent or waiting for its answer
    int dumpBlocks = 0;    // blocks in this dump
    int sendsOfBlock = 0;  // times dumpBlock went out in this dump
    bool dumpHung = false; // silentAfterBlock struck
    bool gone = false;     // lineGoneAfterBlock or stopAtCommand struck
    int stopCommandsSeen = 0; // commands of the letter stopAtCommand names, from the start
    bool hung = false;        // stopAtCommand struck with stopSilent: nothing more in or out
    qint64 blocksSent = 0;
    QByteArray commandLog; // letters of the commands carried out, until the host takes them

    // Input: bytes the PC wrote that do not yet form a whole command.
    QByteArray input;

    // State machine.
    Mode mode = Mode::Idle;
    bool awaitingAck = false;       // Live: a frame went out and no Y came yet
    double frameDueAt = kNever;     // Live: when the next frame goes out (kNever: none planned)
    double lastFrameStart = kNever; // when the previous frame was produced

    // Output line.
    std::deque<Chunk> out;
    double lineFreeAt = kNever; // when the last queued byte has left the meter
    double clock = kNever;      // latest time the meter has acted at

    // Counters.
    qint64 framesSent = 0;
    qint64 acksReceived = 0;

    void clearInFlight() {
        input.clear();
        out.clear();
        mode = Mode::Idle;
        awaitingAck = false;
        frameDueAt = kNever;
        lastFrameStart = kNever;
        lineFreeAt = kNever;
        dumpHung = false;
        gone = false;
    }

    // --- time --------------------------------------------------------------------------------

    // The earliest internal event (a frame to produce), kNever when none is planned.
    double nextEventAt() const {
        if (mode == Mode::Live && !awaitingAck && frameDueAt != kNever)
            return frameDueAt;
        return kNever;
    }

    // Runs every internal event that is due by `now`, each at its own time.
    void advance(double now) {
        for (;;) {
            const double at = nextEventAt();
            if (at == kNever || at > now + kEpsilon)
                break;
            clock = std::max(clock, at);
            if (mode == Mode::Live)
                sendFrame(at);
        }
        clock = std::max(clock, now);
    }

    // --- output ------------------------------------------------------------------------------

    void send(const QByteArray& bytes, double at) {
        if (faults.silent || gone || hung || bytes.isEmpty())
            return;
        Chunk c;
        c.bytes = bytes;
        if (paced) {
            const double start = std::max(at, lineFreeAt);
            c.firstArrival = start + kByteMs;
            c.step = kByteMs;
            lineFreeAt = start + double(bytes.size()) * kByteMs;
        } else {
            c.firstArrival = at;
            c.step = 0;
            lineFreeAt = std::max(lineFreeAt, at);
        }
        // An instant chunk behind a paced one must not overtake it.
        if (!out.empty()) {
            const Chunk& last = out.back();
            c.firstArrival = std::max(c.firstArrival, last.arrival(last.bytes.size() - 1));
        }
        out.push_back(std::move(c));
    }

    double firstPendingArrival() const {
        const Chunk& c = out.front();
        return c.arrival(c.taken);
    }

    void sendFrame(double at) {
        QByteArray frame = readings ? readings->next() : LiveFrame().encode();
        if (frame.size() < 9)
            frame.append(QByteArray(9 - frame.size(), '0'));
        frame.truncate(9);
        if (recording)
            frame[7] = char(frame[7] | 0x02);

        const qint64 number = framesSent + 1; // 1-based count of frames put on the line
        if (faults.corruptFrameEvery > 0 && number % faults.corruptFrameEvery == 0) {
            // A different character each time, its high nibble 4 instead of 3 (0x3B -> 0x4B).
            const int pos = int((number / faults.corruptFrameEvery - 1) % 9);
            frame[pos] = char(0x40 | (frame[pos] & 0x0F));
        }
        if (faults.dropFrameEvery > 0 && number % faults.dropFrameEvery == 0)
            frame.remove(4, 1);
        frame.append("\r\n");

        lastFrameStart = at;
        frameDueAt = kNever;
        awaitingAck = true;
        if (!faults.silent)
            ++framesSent;
        send(frame, at);
    }

    // --- commands ----------------------------------------------------------------------------

    // Cuts whole commands out of the input and carries them out; garbage is skipped.
    void scanInput(double now) {
        qsizetype pos = 0;
        for (;;) {
            const qsizetype start = input.indexOf(kStx, pos);
            if (start < 0) {
                pos = input.size();
                break;
            }
            if (input.size() - start < kCommandSize) {
                pos = start; // an incomplete command: wait for the rest
                break;
            }
            if (input.at(start + kCommandSize - 1) != kEtx) {
                pos = start + 1; // a stray 0x02
                continue;
            }
            const QByteArray command = input.mid(start, kCommandSize);
            pos = start + kCommandSize;
            execute(command, now);
        }
        input.remove(0, pos);
        if (input.size() > kMaxInput)
            input.remove(0, input.size() - kMaxInput);
    }

    void execute(const QByteArray& command, double now) {
        const char letter = command.at(1);
        // The answers to a block are never echoed: the PC reads what follows as a block.
        const bool blockAnswer = letter == 'y' || letter == 'n' || letter == 'Q';
        const uchar p1 = uchar(command.at(2));
        const uchar p2 = uchar(command.at(3));
        const uchar p3 = uchar(command.at(4));
        const bool withheldHere =
            (letter == 'W' || letter == 'R') && p1 * 256 + p2 == faults.withholdEchoAt;
        const bool stopsHere =
            faults.stopAtCommand == letter && ++stopCommandsSeen == faults.stopAtCount;
        if (!faults.withholdEcho && !blockAnswer && !faults.withholdEchoOf.contains(letter) &&
            !withheldHere && !stopsHere)
            send(command, now);
        // The command still takes effect (a write lands, an erase happens); nothing answers it.
        if (stopsHere) {
            if (faults.stopSilent)
                hung = true;
            else
                gone = true;
        }
        commandLog.append(letter);
        if (commandLog.size() > kMaxInput) // nobody takes it: keep only the latest
            commandLog.remove(0, commandLog.size() - kMaxInput);
        dispatch(letter, p1, p2, p3, now);
    }

    // One handler per command letter. Unknown letters are echoed and otherwise ignored.
    void dispatch(char letter, uchar p1, uchar p2, uchar p3, double now) {
        const int address = p1 * 256 + p2;
        switch (letter) {
        case 'K':
            onIdentify(now);
            break;
        case 'A':
            onStartLive(now);
            break;
        case 'Y':
            onAcknowledge(now);
            break;
        case 'C':
            stopLive();
            mode = Mode::LoggerOpen;
            break;
        case 'P':
            onDump(now);
            break;
        case 'y':
            onBlockAnswer(true, now);
            break;
        case 'n':
            onBlockAnswer(false, now);
            break;
        case 'Q':
            if (mode == Mode::Dumping)
                mode = Mode::LoggerOpen;
            break;
        case 'W':
            if (loggerOpen()) {
                mode = Mode::LoggerOpen;
                memory()[address] = char(p3);
            }
            break;
        case 'R':
            if (loggerOpen()) {
                mode = Mode::LoggerOpen;
                const char stored = memory().at(address);
                const bool wrong = faults.wrongReadByte || address == faults.wrongReadAt;
                if (!faults.readSendsNothing)
                    send(QByteArray(1, wrong ? char(~stored) : stored), now);
            }
            break;
        case 'E':
            if (loggerOpen() && p1 == 'E' && p2 == 'E') {
                mode = Mode::LoggerOpen;
                erase();
            }
            break;
        default:
            break;
        }
    }

    // --- logger ------------------------------------------------------------------------------

    bool loggerOpen() const { return mode == Mode::LoggerOpen || mode == Mode::Dumping; }

    // P: the dump covers the used memory in whole blocks; the first block goes out at once.
    void onDump(double now) {
        if (!loggerOpen())
            return;
        const int endAddress = uchar(memory().at(11)) * 256 + uchar(memory().at(12));
        mode = Mode::Dumping;
        dumpBlocks = (endAddress + kBlockData) / kBlockData;
        dumpBlock = 0;
        sendsOfBlock = 0;
        dumpHung = false;
        sendBlock(now);
    }

    // y: the next block, or the end of the dump after the last; n: the same block again.
    void onBlockAnswer(bool accepted, double now) {
        if (mode != Mode::Dumping || dumpHung)
            return;
        if (accepted) {
            ++dumpBlock;
            sendsOfBlock = 0;
            if (dumpBlock >= dumpBlocks) {
                mode = Mode::LoggerOpen;
                return;
            }
        }
        sendBlock(now);
    }

    void sendBlock(double at) {
        const int k = dumpBlock;
        QByteArray block = memory().mid(k * kBlockData, kBlockData);
        uchar sum = 0;
        for (const char b : block)
            sum = uchar(sum + uchar(b));
        block.append(char(sum));

        const bool first = sendsOfBlock == 0;
        ++sendsOfBlock;
        if (faults.corruptBlock == k && (first || faults.corruptEveryTime)) {
            // One data byte off by 16: the sum moves by 16, never by a multiple of 256.
            const int pos = (k * 7) % kBlockData;
            block[pos] = char(block.at(pos) ^ 0x10);
        }
        if (faults.cutBlock == k && (first || faults.cutEveryTime))
            block.truncate(std::clamp(faults.cutBlockBytes, 0, kBlockData));

        if (faults.strayAfterBlock == k && first)
            block.append(QByteArray(std::max(faults.strayBytes, 0), char(0x5A)));

        if (!faults.silent && !gone)
            ++blocksSent;
        send(block, at);
        if (faults.silentAfterBlock == k)
            dumpHung = true;
        if (faults.lineGoneAfterBlock == k)
            gone = true;
    }

    // E: back to an empty memory; the time label and the interval setting survive.
    void erase() {
        const QByteArray kept = memory();
        memory().fill(char(0xFF));
        for (int i = 2; i <= 8; ++i)
            memory()[i] = kept.at(i);
        for (int i = 13; i <= 15; ++i)
            memory()[i] = kept.at(i);
        memory()[9] = 0;
        memory()[10] = 0;
        memory()[11] = 0;
        memory()[12] = char(0xFF);
    }

    // K: the call; the meter answers with its identity and waits for A.
    void onIdentify(double now) {
        stopLive();
        send(model == 120 ? QByteArrayLiteral("120\r") : QByteArrayLiteral("122\r"), now);
    }

    // A: (re)start the live stream; the first frame goes out at once.
    void onStartLive(double now) {
        mode = Mode::Live;
        awaitingAck = false;
        frameDueAt = now;
        advance(now);
    }

    // Y: the PC took the last frame; the next one follows after the frame interval.
    void onAcknowledge(double now) {
        ++acksReceived;
        if (mode != Mode::Live || !awaitingAck)
            return;
        awaitingAck = false;
        const double due = lastFrameStart == kNever ? now : lastFrameStart + frameIntervalMs;
        frameDueAt = std::max(now, due);
        advance(now);
    }

    // Ends the live stream and closes the logger.
    void stopLive() {
        mode = Mode::Idle;
        awaitingAck = false;
        frameDueAt = kNever;
    }
};

MeterEmulator::MeterEmulator(int model) : d(std::make_unique<Impl>(model)) {}

MeterEmulator::~MeterEmulator() = default;

int MeterEmulator::model() const {
    return d->model;
}

void MeterEmulator::setModel(int model) {
    d->model = model == 120 ? 120 : 122;
}

bool MeterEmulator::paced() const {
    return d->paced;
}

void MeterEmulator::setPaced(bool paced) {
    d->paced = paced;
}

int MeterEmulator::frameIntervalMs() const {
    return d->frameIntervalMs;
}

void MeterEmulator::setFrameIntervalMs(int ms) {
    d->frameIntervalMs = std::max(0, ms);
}

bool MeterEmulator::recording() const {
    return d->recording;
}

void MeterEmulator::setRecording(bool on) {
    d->recording = on;
}

MeterEmulator::Faults& MeterEmulator::faults() {
    return d->faults;
}

const MeterEmulator::Faults& MeterEmulator::faults() const {
    return d->faults;
}

QByteArray MeterEmulator::loggerImage() const {
    return *d->memoryStore;
}

void MeterEmulator::setLoggerImage(const QByteArray& image) {
    QByteArray& memory = d->memory();
    memory = image.left(kMemorySize);
    if (memory.size() < kMemorySize)
        memory.append(QByteArray(kMemorySize - memory.size(), char(0xFF)));
}

void MeterEmulator::shareDemoLoggerMemory() {
    d->memoryStore = sharedDemoMemory();
}

void MeterEmulator::restoreSharedDemoLoggerMemory() {
    *sharedDemoMemory() = LoggerImageBuilder::demoImage();
}

void MeterEmulator::setReadings(std::unique_ptr<ReadingSource> source) {
    d->readings = std::move(source);
}

void MeterEmulator::write(const QByteArray& bytes, qint64 nowMs) {
    if (d->gone || d->hung)
        return;
    const double now = std::max(double(nowMs), d->clock);
    d->advance(now);
    d->input.append(bytes);
    d->scanInput(now);
}

QByteArray MeterEmulator::read(qint64 nowMs) {
    const double now = double(nowMs);
    d->advance(now);
    QByteArray result;
    while (!d->out.empty()) {
        Impl::Chunk& c = d->out.front();
        qsizetype end = c.taken;
        while (end < c.bytes.size() && c.arrival(end) <= now + kEpsilon)
            ++end;
        result.append(c.bytes.constData() + c.taken, end - c.taken);
        c.taken = end;
        if (c.taken < c.bytes.size())
            break;
        d->out.pop_front();
    }
    return result;
}

qint64 MeterEmulator::nextOutputMs() const {
    if (!d->out.empty())
        return qint64(std::ceil(d->firstPendingArrival() - kEpsilon));
    if (d->faults.silent)
        return -1;
    const double event = d->nextEventAt();
    if (event == kNever)
        return -1;
    // The first byte of the planned frame: on the line as soon as it is free.
    const double arrival = d->paced ? std::max(event, d->lineFreeAt) + kByteMs : event;
    return qint64(std::ceil(arrival - kEpsilon));
}

qint64 MeterEmulator::framesSent() const {
    return d->framesSent;
}

qint64 MeterEmulator::acksReceived() const {
    return d->acksReceived;
}

bool MeterEmulator::streaming() const {
    return d->mode == Impl::Mode::Live;
}

bool MeterEmulator::loggerOpen() const {
    return d->loggerOpen();
}

bool MeterEmulator::dumping() const {
    return d->mode == Impl::Mode::Dumping;
}

qint64 MeterEmulator::blocksSent() const {
    return d->blocksSent;
}

QByteArray MeterEmulator::takeCommandLog() {
    return std::exchange(d->commandLog, QByteArray());
}

bool MeterEmulator::lineGone() const {
    return d->gone && d->out.empty();
}

void MeterEmulator::reset() {
    d->clearInFlight();
}
