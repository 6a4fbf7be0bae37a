// The yardstick: the least a loader can do. Opens the device, sends the
// first line, then answers each reply after 10 ms: "*" the next line, "+"
// the same line again. No window, no events, no checks. Prints the CPU
// seconds it used. With --idle it only reads what the unit says, for the
// given seconds: the least an idle loader with its port open can cost.
//
//   minimal-loader DEVICE FILE
//   minimal-loader --idle DEVICE SECONDS

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

int openRaw(const char* device)
{
    const int fd = open(device, O_RDWR | O_NOCTTY);
    if (fd < 0)
        return fd;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B38400);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

void printCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.3f\n", usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                              (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6);
}

int idle(const char* device, int seconds)
{
    const int fd = openRaw(device);
    if (fd < 0)
        return 1;
    timespec start{}, now{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    do {
        pollfd p{fd, POLLIN, 0};
        char buffer[256];
        if (poll(&p, 1, 100) > 0 && read(fd, buffer, sizeof buffer) <= 0)
            return 1;
        clock_gettime(CLOCK_MONOTONIC, &now);
    } while (now.tv_sec - start.tv_sec < seconds);
    printCpuSeconds();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--idle")
        return idle(argv[2], std::atoi(argv[3]));
    if (argc != 3)
        return 2;
    std::ifstream in(argv[2], std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    const int fd = openRaw(argv[1]);
    if (fd < 0 || lines.empty())
        return 1;
    tcflush(fd, TCIFLUSH); // prompts from before the upload

    std::size_t current = 0;
    write(fd, lines[0].data(), lines[0].size());
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0)
            return 1;
        char buffer[256];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return 1;
        const char reply = buffer[n - 1];
        if (reply != '*' && reply != '+')
            continue;
        if (reply == '*' && ++current == lines.size()) {
            printCpuSeconds();
            return 0;
        }
        timespec pace{0, 10 * 1000 * 1000};
        nanosleep(&pace, nullptr);
        write(fd, lines[current].data(), lines[current].size());
    }
}
