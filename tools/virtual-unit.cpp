// A simulated handheld unit in code-upload mode, on a pseudo-terminal: it
// prompts with "+" while it waits for a line, answers a complete line with
// "*" (or "+" when an S-record's checksum is wrong), and records what it got.

#include "unitprotocol.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int)
{
    stopRequested = 1;
}

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

struct Options {
    int link = 0;
    double promptIntervalMs = 250;
    bool promptOnlyBeforeUpload = false;
    double rejectRate = 0;
    unsigned seed = 1;
    long silentAfter = -1;
    std::string burst = "+*";
    double burstRate = 0;
    std::string noise = "#?~";
    double noiseRate = 0;
    long baud = 0;
    double frameGapMs = 30;
    double awayAfterEndMs = 0;     // a production line: the unit taken away, the next one placed
    long units = -1;               // units that arrive in all; then nothing more
    std::vector<long> rejectLines; // answered "+" once, by their number as received
    long leaveAfter = -1;          // taken away mid-upload after this line...
    double leaveForMs = 0;         // ...and the next unit placed this much later
    std::string logPath;
    std::string answersPath;
    std::string timingPath;
};

void usage(std::FILE* to)
{
    std::fputs(
        "usage: firmware-loader-virtual-unit [options]\n"
        "  --link N              link the device as ComN of the loader (per-user ports folder)\n"
        "  --prompt-interval MS  '+' prompts while waiting for a line (0: none; default 250)\n"
        "  --prompt-only-before-upload  no prompts once the first line has come\n"
        "  --reject-rate R       answer good lines with '+' at rate R (0..1)\n"
        "  --seed S              seed of the random choices\n"
        "  --silent-after N      say nothing at all after N lines\n"
        "  --burst TEXT          text sent in one write in place of '*' (default \"+*\")\n"
        "  --burst-rate R        rate of such bursts (0..1)\n"
        "  --noise TEXT          noise characters put before answers (default \"#?~\")\n"
        "  --noise-rate R        rate of answers with a noise character before them\n"
        "  --baud B              take as long as B baud would to receive and answer\n"
        "  --frame-gap MS        silence that ends a line that is no S-record (default 30)\n"
        "  --next-unit-after MS  after an end record (S7-S9, :00000001FF) say nothing for MS,\n"
        "                        then prompt as a new unit (0: prompt on, as one that\n"
        "                        restarted; the default)\n"
        "  --reject-line N       answer '+' to the N-th line received (repeatable)\n"
        "  --units N             N units arrive, one after another (with --next-unit-after);\n"
        "                        after the N-th one's end record, nothing more does\n"
        "  --leave-after N:MS    after answering the N-th line the unit is taken away:\n"
        "                        it hears and says nothing for MS, then prompts as a new unit\n"
        "  --log FILE            every received line, exact bytes, one per line\n"
        "  --answers FILE        the answer to each received line, one per line\n"
        "  --timing FILE         per line, monotonic ms: first byte in, last byte in,\n"
        "                        answer out\n"
        "Prints the device path, then runs until SIGINT or SIGTERM.\n",
        to);
}

bool parse(int argc, char** argv, Options* o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "firmware-loader-virtual-unit: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--link")
            o->link = std::atoi(value("--link"));
        else if (a == "--prompt-interval")
            o->promptIntervalMs = std::atof(value("--prompt-interval"));
        else if (a == "--prompt-only-before-upload")
            o->promptOnlyBeforeUpload = true;
        else if (a == "--reject-rate")
            o->rejectRate = std::atof(value("--reject-rate"));
        else if (a == "--seed")
            o->seed = unsigned(std::strtoul(value("--seed"), nullptr, 10));
        else if (a == "--silent-after")
            o->silentAfter = std::atol(value("--silent-after"));
        else if (a == "--burst")
            o->burst = value("--burst");
        else if (a == "--burst-rate")
            o->burstRate = std::atof(value("--burst-rate"));
        else if (a == "--noise")
            o->noise = value("--noise");
        else if (a == "--noise-rate")
            o->noiseRate = std::atof(value("--noise-rate"));
        else if (a == "--baud")
            o->baud = std::atol(value("--baud"));
        else if (a == "--frame-gap")
            o->frameGapMs = std::atof(value("--frame-gap"));
        else if (a == "--next-unit-after")
            o->awayAfterEndMs = std::atof(value("--next-unit-after"));
        else if (a == "--reject-line")
            o->rejectLines.push_back(std::atol(value("--reject-line")));
        else if (a == "--units")
            o->units = std::atol(value("--units"));
        else if (a == "--leave-after") {
            const std::string v = value("--leave-after");
            const std::size_t colon = v.find(':');
            if (colon == std::string::npos) {
                std::fputs("firmware-loader-virtual-unit: --leave-after takes N:MS\n", stderr);
                return false;
            }
            o->leaveAfter = std::atol(v.substr(0, colon).c_str());
            o->leaveForMs = std::atof(v.substr(colon + 1).c_str());
        } else if (a == "--log")
            o->logPath = value("--log");
        else if (a == "--answers")
            o->answersPath = value("--answers");
        else if (a == "--timing")
            o->timingPath = value("--timing");
        else if (a == "--help" || a == "-h") {
            usage(stdout);
            std::exit(0);
        } else {
            std::fprintf(stderr, "firmware-loader-virtual-unit: unknown option %s\n", a.c_str());
            usage(stderr);
            return false;
        }
    }
    return true;
}

std::string linkPathFor(int number)
{
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        config = xdg;
    else if (const char* home = std::getenv("HOME"))
        config = std::string(home) + "/.config";
    else
        return std::string();
    return config + "/Tarvel Labs Firmware Loader/ports/com" + std::to_string(number);
}

void makeFolders(const std::string& path)
{
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '/')
            ::mkdir(path.substr(0, i).c_str(), 0755);
    }
}

// Sleeps for the time `bytes` take on the wire.
void wireTime(long baud, std::size_t bytes)
{
    if (baud <= 0 || bytes == 0)
        return;
    const double ms = bytes * 10.0 * 1000.0 / double(baud);
    timespec ts{};
    ts.tv_sec = time_t(ms / 1000);
    ts.tv_nsec = long((ms - ts.tv_sec * 1000.0) * 1e6);
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR && !stopRequested) {
    }
}

void send(int fd, const std::string& text)
{
    // Non-blocking: with the loader away, prompts may pile up and then drop.
    if (::write(fd, text.data(), text.size()) < 0 && errno != EAGAIN)
        std::perror("firmware-loader-virtual-unit: write");
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parse(argc, argv, &options))
        return 2;

    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("firmware-loader-virtual-unit: openpty");
        return 1;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    // The slave stays open here as well, so the loader can close and reopen
    // the port without the pseudo-terminal hanging up.
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    std::string link;
    if (options.link > 0) {
        link = linkPathFor(options.link);
        makeFolders(link);
        ::unlink(link.c_str());
        if (::symlink(name, link.c_str()) != 0) {
            std::perror("firmware-loader-virtual-unit: symlink");
            return 1;
        }
    }

    std::FILE* log = options.logPath.empty() ? nullptr : std::fopen(options.logPath.c_str(), "wb");
    std::FILE* answers =
        options.answersPath.empty() ? nullptr : std::fopen(options.answersPath.c_str(), "wb");
    std::FILE* timing =
        options.timingPath.empty() ? nullptr : std::fopen(options.timingPath.c_str(), "wb");

    struct sigaction sa {
    };
    sa.sa_handler = onSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);

    std::printf("%s\n", name);
    std::fflush(stdout);

    std::mt19937 random(options.seed);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    unit::LineFramer framer(options.frameGapMs);
    long received = 0;
    double lineStartMs = -1;
    bool recordsDirty = false;
    double lastFlushMs = nowMs();
    bool silent = options.silentAfter == 0;
    double nextPrompt = nowMs() + options.promptIntervalMs;
    double awayUntil = -1; // no unit in front of the adaptor until then
    long unitsDone = 0;

    auto prompting = [&] {
        return options.promptIntervalMs > 0 && !silent && framer.empty() &&
               !(options.promptOnlyBeforeUpload && received > 0) && nowMs() >= awayUntil;
    };

    while (!stopRequested) {
        const double now = nowMs();
        double wake = -1;
        if (prompting())
            wake = nextPrompt;
        else if (awayUntil > now)
            wake = awayUntil;
        if (const double d = framer.silenceDeadline(); d >= 0)
            wake = wake < 0 ? d : std::min(wake, d);
        // Records reach their files within 50 ms, not after every line.
        if (recordsDirty)
            wake = wake < 0 ? lastFlushMs + 50 : std::min(wake, lastFlushMs + 50);
        const int timeout = wake < 0 ? 1000 : int(std::max(0.0, wake - now) + 1);

        pollfd p{master, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0 && (p.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            // No unit in front of the adaptor: what comes reaches nobody.
            if (n > 0 && nowMs() < awayUntil)
                continue;
            if (n > 0) {
                if (framer.empty())
                    lineStartMs = nowMs();
                framer.feed(buffer, std::size_t(n), nowMs());
                nextPrompt = nowMs() + options.promptIntervalMs;
            }
        }

        while (auto line = framer.take(nowMs())) {
            ++received;
            const double completeMs = nowMs();
            double answeredMs = -1;
            if (options.silentAfter >= 0 && received > options.silentAfter)
                silent = true;
            std::string answer;
            if (!silent) {
                wireTime(options.baud, line->size());
                const bool good = !unit::looksLikeSrecord(*line) || unit::srecordValid(*line);
                answer = good ? "*" : "+";
                if (good && chance(random) < options.rejectRate)
                    answer = "+";
                else if (std::find(options.rejectLines.begin(), options.rejectLines.end(),
                                   received) != options.rejectLines.end())
                    answer = "+";
                else if (good && chance(random) < options.burstRate)
                    answer = options.burst;
                if (!options.noise.empty() && chance(random) < options.noiseRate)
                    answer.insert(answer.begin(), options.noise[random() % options.noise.size()]);
                wireTime(options.baud, answer.size());
                send(master, answer);
                answeredMs = nowMs();
            }
            // Records after the answer, so they cost the loader nothing.
            if (log) {
                std::fwrite(line->data(), 1, line->size(), log);
                std::fputc('\n', log);
                recordsDirty = true;
            }
            if (answers) {
                std::fwrite(answer.data(), 1, answer.size(), answers);
                std::fputc('\n', answers);
                recordsDirty = true;
            }
            if (timing) {
                std::fprintf(timing, "%.3f %.3f %.3f\n", lineStartMs, completeMs, answeredMs);
                recordsDirty = true;
            }
            // Bytes of the next line that came in the same read.
            lineStartMs = framer.empty() ? -1 : nowMs();
            nextPrompt = nowMs() + options.promptIntervalMs;
            if (options.awayAfterEndMs > 0 && unit::isEndRecord(*line)) {
                awayUntil = nowMs() + options.awayAfterEndMs;
                nextPrompt = awayUntil;
                if (options.units > 0 && ++unitsDone >= options.units)
                    awayUntil = 1e300; // the last unit is gone, and none comes
            }
            if (received == options.leaveAfter) {
                awayUntil = nowMs() + options.leaveForMs;
                nextPrompt = awayUntil;
            }
        }

        if (recordsDirty && nowMs() - lastFlushMs >= 50) {
            for (std::FILE* f : {log, answers, timing}) {
                if (f)
                    std::fflush(f);
            }
            recordsDirty = false;
            lastFlushMs = nowMs();
        }

        if (prompting() && nowMs() >= nextPrompt) {
            send(master, "+");
            nextPrompt = nowMs() + options.promptIntervalMs;
        }
    }

    if (!link.empty())
        ::unlink(link.c_str());
    if (log)
        std::fclose(log);
    if (answers)
        std::fclose(answers);
    if (timing)
        std::fclose(timing);
    ::close(slave);
    ::close(master);
    return 0;
}
