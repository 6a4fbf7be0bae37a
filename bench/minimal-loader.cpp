// The yardstick: the least a loader can do. Opens the device, sends the
// first line, then answers each reply after 10 ms: "*" the next line, "+"
// the same line again. No window, no events, no checks. Prints the CPU
// seconds it used.
//
//   minimal-loader DEVICE FILE

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    std::ifstream in(argv[2], std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    const int fd = open(argv[1], O_RDWR | O_NOCTTY);
    if (fd < 0 || lines.empty())
        return 1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B38400);
    tcsetattr(fd, TCSANOW, &tio);
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
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            std::printf("%.3f\n", usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                                      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6);
            return 0;
        }
        timespec pace{0, 10 * 1000 * 1000};
        nanosleep(&pace, nullptr);
        write(fd, lines[current].data(), lines[current].size());
    }
}
