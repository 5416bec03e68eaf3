// Another program that uses a serial port: holds the port named on the command line open
// until its standard input closes or it is killed, after printing "held".
//
//   portholder PATH               through QSerialPort (a lock file and exclusive use)
//   portholder --exclusive PATH   the device opened for exclusive use only, no lock file

#include <QCoreApplication>
#include <QSerialPort>

#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const bool exclusiveOnly = argc == 3 && std::strcmp(argv[1], "--exclusive") == 0;
    if (argc != 2 && !exclusiveOnly) {
        std::fprintf(stderr, "usage: portholder [--exclusive] PATH\n");
        return 2;
    }
    QSerialPort port;
    if (exclusiveOnly) {
        const int fd = ::open(argv[2], O_RDWR | O_NOCTTY);
        if (fd < 0 || ::ioctl(fd, TIOCEXCL) != 0) {
            std::perror(argv[2]);
            return 1;
        }
    } else {
        port.setPortName(QString::fromLocal8Bit(argv[1]));
        if (!port.open(QIODevice::ReadWrite)) {
            std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(port.errorString()));
            return 1;
        }
    }
    std::printf("held\n");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) {
    }
    return 0;
}
