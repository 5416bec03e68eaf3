// metersim: serves the meter emulator on a pseudo-terminal.
//
// Prints the slave device's path as the first line of standard output, then answers whatever
// opens that device as the meter would, until SIGTERM or SIGINT (or until a line-gone fault
// strikes). The logger memory can be saved on exit, so a test can see what W and E did.

#include "loggerimagebuilder.h"
#include "meteremulator.h"
#include "readingsource.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;
// Self-pipe: the handler writes a byte so that a signal arriving just before poll() still
// wakes it (checking g_stop alone would leave that window open).
int g_wakeWrite = -1;

void onSignal(int) {
    const int saved = errno;
    g_stop = 1;
    if (g_wakeWrite >= 0) {
        const char b = 1;
        [[maybe_unused]] const ssize_t n = ::write(g_wakeWrite, &b, 1);
    }
    errno = saved;
}

const char* const kUsage = R"(Usage: metersim [options]
Serves an emulated multimeter (model 120 or 122) on a pseudo-terminal. The first line
printed is the path of the serial device to open; the program runs until SIGTERM or SIGINT
(or until --line-gone-after-block strikes).

Options:
  --model 120|122        meter model, answered to K (default 122)
  --tour                 readings walk through every function and range (default)
  --script FILE          readings from FILE: one frame of nine characters 0x30..0x3F a line,
                         '#' starts a comment; played in a loop
  --steady F,R[,CENTRE]  function code F, range code R, a value swinging around CENTRE counts
  --interval MS          least time between the starts of two frames (default 250)
  --flood                frames as fast as they are acknowledged (same as --interval 0)
  --paced                bytes at the real 9600-baud pace, 1.04 ms a byte (default)
  --instant              bytes at once
  --recording            the meter's recording bit is set in every frame
  --corrupt-every N      every Nth frame carries a character outside 0x30..0x3F
  --drop-every N         every Nth frame loses a character
  --silent               the meter sends nothing at all
  --no-echo              commands are carried out but not echoed
  --link PATH            also make PATH a symlink to the device (replaced if it exists,
                         removed on exit)
  --help                 this text

Logger memory (default: a demo of five sets, 430 records):
  --image FILE           the memory's bytes from FILE (256..65536 bytes, the rest erased)
  --sets N               N generated sets instead, cycling through the functions; 0 gives an
                         erased memory
  --records R            records in each generated set (default 100)
  --save-image FILE      on exit, write the whole memory (65536 bytes) to FILE

Logger faults (blocks of a dump are numbered from 0):
  --corrupt-block K      block K goes out with a byte changed (bad checksum) the first
                         time in each dump; the resend after n is good
  --corrupt-block-always K   the same on every resend
  --cut-block K,BYTES    only the first BYTES bytes of block K go out, the first time
  --cut-block-always K,BYTES the same on every resend
  --silent-after-block K after block K the dump hangs: y and n get no answer
  --line-gone-after-block K  after block K the meter is gone: the pseudo-terminal is
                         closed and the program ends (saving the memory if asked)
  --no-echo-of LETTERS   withhold the echo of these commands only (any of C, P, W, R, E);
                         the command is still carried out (P still starts the dump)
  --stray-after-block K[:N]  the first time block K goes out, N extra bytes (default 1)
                         follow it on the line
  --gone-at L[:N]        the Nth command with letter L (default the first; any of C, P,
                         W, R, E, A, K) is carried out but not echoed, then the meter is
                         gone as with --line-gone-after-block: W:3 leaves a setup torn
                         after its third byte, E:1 erases and is never heard of again
  --silent-at L[:N]      the same, but the line stays open and the meter hangs: it takes
                         no command and sends nothing more
  --wrong-read           R answers a wrong byte (the stored one inverted)
  --wrong-read-at ADDR   the same for R of address ADDR only (decimal, or hex with 0x)
  --no-read-byte         R is echoed but its byte never comes
  --no-echo-at ADDR      W and R of address ADDR are carried out but not echoed
  --trace-commands       print the letter of every command carried out on a line of its
                         own on standard output, as it arrives (after the device path)
  --print-header         on exit, print the memory header's time label, recording interval,
                         set count and last used byte

The logger memory answers once C has opened it: P dumps it in 65-byte blocks (64 bytes and
their sum), the next after y, the same again after n, none after Q; W HH LL VV writes a
byte, R HH LL reads one, E E E erases; A or K closes it again.

The client must put the line in raw mode (as any serial program does); with echo on, the
line would send the meter's answers back to it.
)";

struct Options {
    int model = 122;
    enum class Source { Tour, Script, Steady } source = Source::Tour;
    QString scriptPath;
    int steadyFunction = 11;
    int steadyRange = 1;
    int steadyCentre = 1234;
    int intervalMs = 250;
    bool paced = true;
    bool recording = false;
    int corruptEvery = 0;
    int dropEvery = 0;
    bool silent = false;
    bool noEcho = false;
    std::string linkPath;

    std::string imagePath;
    int sets = -1; // -1: the demo image
    int records = 100;
    std::string saveImagePath;
    int corruptBlock = -1;
    bool corruptAlways = false;
    int cutBlock = -1;
    int cutBytes = 40;
    bool cutAlways = false;
    int silentAfterBlock = -1;
    int lineGoneAfterBlock = -1;
    std::string noEchoOf;
    bool wrongRead = false;
    int wrongReadAt = -1;
    bool noReadByte = false;
    int noEchoAt = -1;
    int strayAfterBlock = -1;
    int strayBytes = 1;
    bool traceCommands = false;
    bool printHeader = false;
    char stopAtCommand = 0;
    int stopAtCount = 1;
    bool stopSilent = false;
};

// A memory address, decimal or hexadecimal with 0x.
bool parseAddress(const std::string& text, int* value) {
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v < 0 || v > 0xFFFF)
        return false;
    *value = int(v);
    return true;
}

bool parseInt(const std::string& text, int* value) {
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX)
        return false;
    *value = int(v);
    return true;
}

// One line per command letter on standard output, flushed at once: a test counts what the
// meter was asked to do while it runs.
void traceCommands(const QByteArray& letters) {
    for (const char letter : letters)
        std::printf("%c\n", letter);
    if (!letters.isEmpty())
        std::fflush(stdout);
}

// Returns 0 to go on, otherwise the exit code (after printing what went wrong or the help).
int parseOptions(int argc, char** argv, Options* o) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto usageError = [](const std::string& text) {
        std::fprintf(stderr, "metersim: %s\nTry 'metersim --help'.\n", text.c_str());
        return 2;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        auto takeValue = [&](std::string* out) {
            if (hasValue) {
                *out = value;
                return true;
            }
            if (i + 1 >= args.size())
                return false;
            *out = args[++i];
            return true;
        };
        auto takeInt = [&](int* out, int least) -> int {
            std::string text;
            if (!takeValue(&text))
                return usageError(name + " needs a value");
            if (!parseInt(text, out) || *out < least)
                return usageError("bad value for " + name + ": '" + text + "'");
            return 0;
        };
        auto noValue = [&]() -> int { return hasValue ? usageError(name + " takes no value") : 0; };

        int rc = 0;
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        } else if (name == "--model") {
            rc = takeInt(&o->model, 0);
            if (rc == 0 && o->model != 120 && o->model != 122)
                rc = usageError("--model must be 120 or 122");
        } else if (name == "--tour") {
            rc = noValue();
            o->source = Options::Source::Tour;
        } else if (name == "--script") {
            std::string path;
            if (!takeValue(&path) || path.empty())
                return usageError("--script needs a file");
            o->source = Options::Source::Script;
            o->scriptPath = QString::fromLocal8Bit(path.c_str());
        } else if (name == "--steady") {
            std::string spec;
            if (!takeValue(&spec))
                return usageError("--steady needs F,R[,CENTRE]");
            std::vector<std::string> parts;
            std::size_t from = 0;
            for (;;) {
                const auto comma = spec.find(',', from);
                parts.push_back(spec.substr(from, comma - from));
                if (comma == std::string::npos)
                    break;
                from = comma + 1;
            }
            const bool ok =
                (parts.size() == 2 || parts.size() == 3) &&
                parseInt(parts[0], &o->steadyFunction) && parseInt(parts[1], &o->steadyRange) &&
                (parts.size() == 2 || parseInt(parts[2], &o->steadyCentre)) &&
                o->steadyFunction >= 0 && o->steadyFunction <= 15 && o->steadyRange >= 0 &&
                o->steadyRange <= 15 && o->steadyCentre >= -9999 && o->steadyCentre <= 9999;
            if (!ok)
                return usageError("bad value for --steady: '" + spec +
                                  "' (function 0..15, range 0..15, centre -9999..9999)");
            o->source = Options::Source::Steady;
        } else if (name == "--interval") {
            rc = takeInt(&o->intervalMs, 0);
        } else if (name == "--flood") {
            rc = noValue();
            o->intervalMs = 0;
        } else if (name == "--paced") {
            rc = noValue();
            o->paced = true;
        } else if (name == "--instant") {
            rc = noValue();
            o->paced = false;
        } else if (name == "--recording") {
            rc = noValue();
            o->recording = true;
        } else if (name == "--corrupt-every") {
            rc = takeInt(&o->corruptEvery, 0);
        } else if (name == "--drop-every") {
            rc = takeInt(&o->dropEvery, 0);
        } else if (name == "--silent") {
            rc = noValue();
            o->silent = true;
        } else if (name == "--no-echo") {
            rc = noValue();
            o->noEcho = true;
        } else if (name == "--image") {
            if (!takeValue(&o->imagePath) || o->imagePath.empty())
                return usageError("--image needs a file");
        } else if (name == "--sets") {
            rc = takeInt(&o->sets, 0);
        } else if (name == "--records") {
            rc = takeInt(&o->records, 0);
            if (rc == 0 && o->records > 0xFFFF)
                rc = usageError("--records must be 0..65535");
        } else if (name == "--save-image") {
            if (!takeValue(&o->saveImagePath) || o->saveImagePath.empty())
                return usageError("--save-image needs a file");
        } else if (name == "--corrupt-block" || name == "--corrupt-block-always") {
            rc = takeInt(&o->corruptBlock, 0);
            o->corruptAlways = name == "--corrupt-block-always";
        } else if (name == "--cut-block" || name == "--cut-block-always") {
            std::string text;
            if (!takeValue(&text))
                return usageError(name + " needs K,BYTES");
            const auto comma = text.find(',');
            if (comma == std::string::npos || !parseInt(text.substr(0, comma), &o->cutBlock) ||
                !parseInt(text.substr(comma + 1), &o->cutBytes) || o->cutBlock < 0 ||
                o->cutBytes < 0 || o->cutBytes > 64)
                return usageError("bad value for " + name + ": '" + text +
                                  "' (block 0 or more, bytes 0..64)");
            o->cutAlways = name == "--cut-block-always";
        } else if (name == "--silent-after-block") {
            rc = takeInt(&o->silentAfterBlock, 0);
        } else if (name == "--line-gone-after-block") {
            rc = takeInt(&o->lineGoneAfterBlock, 0);
        } else if (name == "--no-echo-of") {
            if (!takeValue(&o->noEchoOf) || o->noEchoOf.empty() ||
                o->noEchoOf.find_first_not_of("CPWRE") != std::string::npos)
                return usageError("--no-echo-of takes letters of CPWRE");
        } else if (name == "--stray-after-block") {
            std::string text;
            if (!takeValue(&text))
                return usageError(name + " needs K[:N]");
            const auto colon = text.find(':');
            if (!parseInt(text.substr(0, colon), &o->strayAfterBlock) || o->strayAfterBlock < 0 ||
                (colon != std::string::npos &&
                 (!parseInt(text.substr(colon + 1), &o->strayBytes) || o->strayBytes < 1 ||
                  o->strayBytes > 4096)))
                return usageError("bad value for " + name + ": '" + text +
                                  "' (block 0 or more, bytes 1..4096)");
        } else if (name == "--gone-at" || name == "--silent-at") {
            std::string text;
            if (!takeValue(&text))
                return usageError(name + " needs L[:N]");
            const auto colon = text.find(':');
            const std::string letter = text.substr(0, colon);
            if (letter.size() != 1 || std::string("CPWREAK").find(letter[0]) == std::string::npos ||
                (colon != std::string::npos &&
                 (!parseInt(text.substr(colon + 1), &o->stopAtCount) || o->stopAtCount < 1)))
                return usageError("bad value for " + name + ": '" + text +
                                  "' (a letter of CPWREAK, then :1 or more)");
            o->stopAtCommand = letter[0];
            o->stopSilent = name == "--silent-at";
        } else if (name == "--trace-commands") {
            rc = noValue();
            o->traceCommands = true;
        } else if (name == "--wrong-read") {
            rc = noValue();
            o->wrongRead = true;
        } else if (name == "--wrong-read-at" || name == "--no-echo-at") {
            std::string text;
            int* address = name == "--no-echo-at" ? &o->noEchoAt : &o->wrongReadAt;
            if (!takeValue(&text) || !parseAddress(text, address))
                return usageError(name + " needs an address 0..65535");
        } else if (name == "--no-read-byte") {
            rc = noValue();
            o->noReadByte = true;
        } else if (name == "--print-header") {
            rc = noValue();
            o->printHeader = true;
        } else if (name == "--link") {
            if (!takeValue(&o->linkPath) || o->linkPath.empty())
                return usageError("--link needs a path");
        } else {
            return usageError("unknown option '" + args[i] + "'");
        }
        if (rc != 0)
            return rc;
    }
    if (!o->imagePath.empty() && o->sets >= 0)
        return usageError("--image and --sets exclude each other");
    return 0;
}

qint64 monotonicMs() {
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return duration_cast<milliseconds>(steady_clock::now() - start).count();
}

// Opens a pseudo-terminal; returns the master fd and fills the slave path and an open slave fd
// (kept by us so that the device survives the client closing it).
int openPty(std::string* slavePath, int* slaveFd) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        std::perror("metersim: posix_openpt");
        return -1;
    }
    char name[256];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name)) {
        std::perror("metersim: preparing the pseudo-terminal");
        close(master);
        return -1;
    }
    const int slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        std::perror("metersim: opening the slave side");
        close(master);
        return -1;
    }
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
        cfmakeraw(&tio);
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tcsetattr(slave, TCSANOW, &tio);
    }
    const int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    *slavePath = name;
    *slaveFd = slave;
    return master;
}

bool makeLink(const std::string& link, const std::string& target) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            std::fprintf(stderr, "metersim: --link %s is a directory\n", link.c_str());
            return false;
        }
        if (unlink(link.c_str()) != 0) {
            std::fprintf(stderr, "metersim: cannot replace %s: %s\n", link.c_str(),
                         std::strerror(errno));
            return false;
        }
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "metersim: cannot create %s: %s\n", link.c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

// Removes the link only while it still points at our device.
void removeLink(const std::string& link, const std::string& target) {
    char buf[4096];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n < 0)
        return;
    buf[n] = '\0';
    if (target == buf)
        unlink(link.c_str());
}

// Writes as much of `pending` as the line takes now; false on a hard error.
bool flushPending(int fd, std::string* pending) {
    while (!pending->empty()) {
        const ssize_t n = ::write(fd, pending->data(), pending->size());
        if (n > 0) {
            pending->erase(0, std::size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        if (n < 0 && errno == EIO)
            return true; // nobody on the far side just now
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options opt;
    if (const int rc = parseOptions(argc, argv, &opt); rc != 0)
        return rc < 0 ? 0 : rc;

    MeterEmulator emulator(opt.model);
    emulator.setPaced(opt.paced);
    emulator.setFrameIntervalMs(opt.intervalMs);
    emulator.setRecording(opt.recording);
    emulator.faults().corruptFrameEvery = opt.corruptEvery;
    emulator.faults().dropFrameEvery = opt.dropEvery;
    emulator.faults().silent = opt.silent;
    emulator.faults().withholdEcho = opt.noEcho;
    emulator.faults().corruptBlock = opt.corruptBlock;
    emulator.faults().corruptEveryTime = opt.corruptAlways;
    emulator.faults().cutBlock = opt.cutBlock;
    emulator.faults().cutBlockBytes = opt.cutBytes;
    emulator.faults().cutEveryTime = opt.cutAlways;
    emulator.faults().silentAfterBlock = opt.silentAfterBlock;
    emulator.faults().lineGoneAfterBlock = opt.lineGoneAfterBlock;
    emulator.faults().stopAtCommand = opt.stopAtCommand;
    emulator.faults().stopAtCount = opt.stopAtCount;
    emulator.faults().stopSilent = opt.stopSilent;
    emulator.faults().withholdEchoOf = QByteArray::fromStdString(opt.noEchoOf);
    emulator.faults().wrongReadByte = opt.wrongRead;
    emulator.faults().wrongReadAt = opt.wrongReadAt;
    emulator.faults().readSendsNothing = opt.noReadByte;
    emulator.faults().withholdEchoAt = opt.noEchoAt;
    emulator.faults().strayAfterBlock = opt.strayAfterBlock;
    emulator.faults().strayBytes = opt.strayBytes;

    std::string loggerText = "demo logger";
    if (!opt.imagePath.empty()) {
        QByteArray image;
        QString error;
        if (!LoggerImageBuilder::load(QString::fromLocal8Bit(opt.imagePath.c_str()), &image,
                                      &error)) {
            std::fprintf(stderr, "metersim: %s\n", qPrintable(error));
            return 2;
        }
        emulator.setLoggerImage(image);
        loggerText = "logger " + opt.imagePath;
    } else if (opt.sets >= 0) {
        const QByteArray image = LoggerImageBuilder::generatedImage(opt.sets, opt.records);
        if (image.isEmpty()) {
            std::fprintf(stderr, "metersim: %d sets of %d records do not fit in 64 KiB\n", opt.sets,
                         opt.records);
            return 2;
        }
        emulator.setLoggerImage(image);
        loggerText =
            "logger " + std::to_string(opt.sets) + " sets of " + std::to_string(opt.records);
    } else {
        emulator.setLoggerImage(LoggerImageBuilder::demoImage());
    }
    std::string sourceText = "tour";
    switch (opt.source) {
    case Options::Source::Tour:
        emulator.setReadings(ReadingSource::tour());
        break;
    case Options::Source::Script: {
        QString error;
        auto source = ReadingSource::scriptFile(opt.scriptPath, &error);
        if (!source) {
            std::fprintf(stderr, "metersim: %s\n", qPrintable(error));
            return 2;
        }
        emulator.setReadings(std::move(source));
        sourceText = "script " + opt.scriptPath.toStdString();
        break;
    }
    case Options::Source::Steady:
        emulator.setReadings(
            ReadingSource::steady(opt.steadyFunction, opt.steadyRange, opt.steadyCentre));
        sourceText = "steady " + std::to_string(opt.steadyFunction) + "," +
                     std::to_string(opt.steadyRange) + "," + std::to_string(opt.steadyCentre);
        break;
    }

    int wake[2];
    if (pipe(wake) != 0) {
        std::perror("metersim: pipe");
        return 1;
    }
    for (const int fd : wake) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    g_wakeWrite = wake[1];

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: poll() returns EINTR
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::string slavePath;
    int slaveFd = -1;
    const int master = openPty(&slavePath, &slaveFd);
    if (master < 0)
        return 1;
    if (!opt.linkPath.empty() && !makeLink(opt.linkPath, slavePath)) {
        close(slaveFd);
        close(master);
        return 1;
    }

    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "metersim: model %d, %s, %s, interval %d ms, %s%s%s%s on %s%s%s\n",
                 opt.model, sourceText.c_str(), loggerText.c_str(), opt.intervalMs,
                 opt.paced ? "paced" : "instant", opt.recording ? ", recording" : "",
                 opt.silent ? ", silent" : "", opt.noEcho ? ", no echo" : "", slavePath.c_str(),
                 opt.linkPath.empty() ? "" : " as ", opt.linkPath.c_str());

    // Output the line could not take yet (nobody reading); capped like a real line would lose it.
    constexpr std::size_t kMaxPending = 64 * 1024;
    std::string pending;
    int status = 0;
    char buf[4096];
    qint64 goneSince = -1;
    bool lineGone = false;

    while (!g_stop) {
        const QByteArray out = emulator.read(monotonicMs());
        pending.append(out.constData(), std::size_t(out.size()));
        if (!flushPending(master, &pending)) {
            std::perror("metersim: write");
            status = 1;
            break;
        }
        if (pending.size() > kMaxPending)
            pending.erase(0, pending.size() - kMaxPending);

        // A gone meter: once the client has read what was on the line (at most 2 s more),
        // the pseudo-terminal goes, as a device does when it is unplugged. The kernel hands
        // written bytes to the slave side a little later, so an empty queue counts only after
        // a short while.
        if (emulator.lineGone() && pending.empty()) {
            const qint64 now = monotonicMs();
            if (goneSince < 0)
                goneSince = now;
            int waiting = 0;
            const bool drained = ioctl(slaveFd, FIONREAD, &waiting) != 0 || waiting == 0;
            if ((drained && now - goneSince >= 200) || now - goneSince > 2000) {
                lineGone = true;
                break;
            }
        }

        int timeout = -1;
        if (const qint64 next = emulator.nextOutputMs(); next >= 0)
            timeout = int(std::clamp<qint64>(next - monotonicMs(), 0, INT_MAX));
        if (goneSince >= 0)
            timeout = 10;
        pollfd fds[2] = {{master, short(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0},
                         {wake[0], POLLIN, 0}};
        const pollfd& pfd = fds[0];
        const int r = poll(fds, 2, timeout);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::perror("metersim: poll");
            status = 1;
            break;
        }
        if (r == 0)
            continue;
        if (pfd.revents & POLLIN) {
            for (;;) {
                const ssize_t n = ::read(master, buf, sizeof buf);
                if (n > 0) {
                    emulator.write(QByteArray(buf, n), monotonicMs());
                    if (opt.traceCommands)
                        traceCommands(emulator.takeCommandLog());
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                break; // EAGAIN: all read; EIO: no one on the far side
            }
        } else if (pfd.revents & (POLLHUP | POLLERR)) {
            // Only when no slave descriptor is open (we keep one): do not spin.
            usleep(20 * 1000);
        }
    }

    // What went over the line, for whoever watches (benchmarks compare it with their count).
    std::fprintf(stderr, "metersim: sent %lld frames, received %lld acknowledgements\n",
                 static_cast<long long>(emulator.framesSent()),
                 static_cast<long long>(emulator.acksReceived()));
    if (lineGone && opt.stopAtCommand != 0 && opt.stopSilent == false)
        std::fprintf(stderr, "metersim: the line is gone at command %c number %d\n",
                     opt.stopAtCommand, opt.stopAtCount);
    else if (lineGone)
        std::fprintf(stderr, "metersim: the line is gone after block %d\n", opt.lineGoneAfterBlock);
    if (!opt.linkPath.empty())
        removeLink(opt.linkPath, slavePath);
    close(slaveFd);
    close(master);
    if (!opt.saveImagePath.empty()) {
        QString error;
        if (!LoggerImageBuilder::save(QString::fromLocal8Bit(opt.saveImagePath.c_str()),
                                      emulator.loggerImage(), &error)) {
            std::fprintf(stderr, "metersim: %s\n", qPrintable(error));
            status = 1;
        }
    }
    if (opt.printHeader) {
        // What the setup and the factory check leave in the header, for a person to see.
        const QByteArray m = emulator.loggerImage();
        const auto b = [&m](int address) { return int(uchar(m.at(address))); };
        const int interval = b(13) << 16 | b(14) << 8 | b(15);
        std::printf("time label %02d%02d-%02d-%02d %02d:%02d:%02d\n"
                    "recording interval %d (%d s)\n"
                    "sets %d, last used byte %d\n",
                    b(2), b(3), b(4), b(5), b(6), b(7), b(8), interval, interval / 10000,
                    b(9) << 8 | b(10), b(11) << 8 | b(12));
        std::fflush(stdout);
    }
    g_wakeWrite = -1;
    close(wake[0]);
    close(wake[1]);
    return status;
}
