// Times `tqm810 send --device PTY cmd_version` from exec to its first byte readable at the far
// end of a pseudo-terminal, over many fresh runs; prints the median and the 90th percentile.
// Usage: bench_cli_first_byte TQM810 [RUNS]
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

double nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc < 2) {
        fprintf(stderr, "usage: bench_cli_first_byte TQM810 [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 50;
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        perror("bench_cli_first_byte: pty");
        return 1;
    }
    const std::string slave = ptsname(master);
    // Held open raw for the whole run, so no start sees a hang-up or cooked input.
    const int keep = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(keep, &t);
    cfmakeraw(&t);
    tcsetattr(keep, TCSANOW, &t);

    // The answer lines go nowhere: only the far end is watched.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    std::vector<double> ms;
    for (int i = 0; i <= runs; ++i) {
        const char *args[] = {argv[1],  "send", "--device",    slave.c_str(),
                              "--wait", "0",    "cmd_version", nullptr};
        const double start = nowMs();
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[1], &quiet, nullptr, const_cast<char **>(args), environ) != 0) {
            perror("bench_cli_first_byte: spawn");
            return 1;
        }
        pollfd p{master, POLLIN, 0};
        const int ready = poll(&p, 1, 10000);
        const double first = nowMs();
        char buf[64];
        while (poll(&p, 1, 0) > 0 && read(master, buf, sizeof buf) > 0) {
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (ready <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fprintf(stderr, "bench_cli_first_byte: run %d failed\n", i);
            return 1;
        }
        while (poll(&p, 1, 0) > 0 && read(master, buf, sizeof buf) > 0) {
        }
        if (i > 0) // the first run warms the caches and is not counted
            ms.push_back(first - start);
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) {
        return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))];
    };
    printf("tqm810 send: exec to first byte over %zu runs: median %.1f ms, p90 %.1f ms, "
           "min %.1f ms, max %.1f ms\n",
           ms.size(), at(0.5), at(0.9), ms.front(), ms.back());
    return 0;
}
