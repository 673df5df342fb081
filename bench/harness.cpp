// The world outside a serial terminal under benchmark: the device end of a pseudo-terminal that
// floods it or waits for its frames, X clicks on its window, and its start-up to a mapped window.
//
//   bench_harness line [--link PATH]   a raw pseudo-terminal, PATH linked to it; prints
//                                      "pty /dev/pts/N", then takes one command per stdin line:
//     open PID [TIMEOUT_MS]            waits until PID holds the line open
//     flood BYTES PID [XPID [MARK]]    writes the device stream at full speed, waits until PID is
//                                      idle again, prints its CPU time (and the X server's);
//                                      MARK 1 sends PID a SIGUSR1 as the stream starts and once
//                                      it is shown, so the console reports just that stretch
//     click X Y COUNT GAP_MS           clicks at root position X,Y; times each click's release to
//                                      the first byte on the line
//     quit
//   bench_harness startup --name TEXT -- PROGRAM ARGS...
//                                      time from exec to a window named *TEXT* being mapped,
//                                      and its size
//   bench_harness payload BYTES        the device stream on stdout
#include "app/bench_report_format.h"
#include "receive/byte_rendering.h"

#include <QByteArray>
#include <QString>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Nanos = std::int64_t;

Nanos now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return Nanos(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void sleepMs(double ms) {
    const Nanos ns = Nanos(ms * 1e6);
    timespec ts{time_t(ns / 1000000000), long(ns % 1000000000)};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

[[noreturn]] void die(const std::string &what) {
    std::fprintf(stderr, "bench_harness: %s\n", what.c_str());
    std::exit(1);
}

// Scripts read replies as they come.
void reply(const char *format, ...) __attribute__((format(printf, 1, 2)));
void reply(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::putchar('\n');
    std::fflush(stdout);
}

// A device stream as a terminal sees it: framed records (STX text ETX CR LF) with a run of every
// byte value now and then, so control names, ASCII and the high bytes all take their share.
QByteArray payload(qsizetype size) {
    QByteArray allValues(256, '\0');
    for (int b = 0; b < 256; ++b)
        allValues[b] = char(b);
    QByteArray out;
    out.reserve(size + 512);
    char record[80];
    for (int n = 1; out.size() < size; ++n) {
        const int length =
            std::snprintf(record, sizeof record, "\x02REC%06d T=%+05.1fC RH=%02d%% S=%d OK\x03\r\n",
                          n, (n % 700) / 10.0 - 20.0, n % 100, n % 2);
        out.append(record, length);
        if (n % 64 == 0)
            out += allValues;
    }
    out.truncate(size);
    return out;
}

// CPU time of every live thread of a process, to the nanosecond; 0 if it is gone.
Nanos cpuOf(pid_t pid) {
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR *tasks = opendir(dir.c_str());
    if (!tasks)
        return 0;
    Nanos total = 0;
    while (const dirent *entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        FILE *f = std::fopen((dir + "/" + entry->d_name + "/schedstat").c_str(), "r");
        if (!f)
            continue;
        long long ns = 0;
        if (std::fscanf(f, "%lld", &ns) == 1)
            total += ns;
        std::fclose(f);
    }
    closedir(tasks);
    return total;
}

// utime + stime from /proc/PID/stat, in seconds: coarse (clock ticks) but counts ended threads.
double statCpuOf(pid_t pid) {
    FILE *f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f)
        return 0;
    char buffer[1024];
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = '\0';
    const char *p = std::strrchr(buffer, ')'); // the command name may hold spaces
    if (!p)
        return 0;
    unsigned long long utime = 0, stime = 0;
    // After ")": state, then fields 4..13, then utime (14) and stime (15).
    if (std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                    &stime) != 2)
        return 0;
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

bool holds(pid_t pid, const std::string &device) {
    const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    DIR *fds = opendir(dir.c_str());
    if (!fds)
        return false;
    bool found = false;
    char target[512];
    while (const dirent *entry = readdir(fds)) {
        const ssize_t n = readlink((dir + "/" + entry->d_name).c_str(), target, sizeof target - 1);
        if (n > 0) {
            target[n] = '\0';
            found = found || device == target;
        }
    }
    closedir(fds);
    return found;
}

// XTest comes without headers in a base install; its ABI has not changed in decades.
struct XTest {
    int (*motion)(Display *, int screen, int x, int y, unsigned long delay) = nullptr;
    int (*button)(Display *, unsigned button, Bool press, unsigned long delay) = nullptr;

    XTest() {
        void *lib = dlopen("libXtst.so.6", RTLD_NOW);
        if (!lib)
            die("cannot load libXtst.so.6 (apt-get install libxtst6)");
        motion = reinterpret_cast<decltype(motion)>(dlsym(lib, "XTestFakeMotionEvent"));
        button = reinterpret_cast<decltype(button)>(dlsym(lib, "XTestFakeButtonEvent"));
        if (!motion || !button)
            die("libXtst.so.6 lacks the fake input calls");
    }
};

class Line {
public:
    explicit Line(const std::string &link) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            die(std::string("no pseudo-terminal: ") + std::strerror(errno));
        slavePath_ = ptsname(master_);
        // Held open, raw, so nothing is cooked or echoed before the terminal opens its side, and
        // so FIONREAD on it tells what the terminal has not read yet.
        slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
        if (slave_ < 0)
            die("cannot open " + slavePath_);
        termios raw{};
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
        if (!link.empty()) {
            unlink(link.c_str());
            if (symlink(slavePath_.c_str(), link.c_str()) != 0)
                die("cannot link " + link);
        }
        link_ = link;
    }

    ~Line() {
        if (!link_.empty())
            unlink(link_.c_str());
    }

    const std::string &slavePath() const { return slavePath_; }

    void run() {
        reply("pty %s", slavePath_.c_str());
        std::string text;
        while (std::getline(std::cin, text)) {
            std::istringstream in(text);
            std::string command;
            in >> command;
            if (command == "open")
                open(in);
            else if (command == "flood")
                flood(in);
            else if (command == "click")
                click(in);
            else if (command == "quit")
                break;
            else if (!command.empty())
                reply("error unknown command %s", command.c_str());
        }
    }

private:
    void open(std::istream &in) {
        pid_t pid = 0;
        int timeoutMs = 10000;
        in >> pid >> timeoutMs;
        const Nanos start = now();
        while (!holds(pid, slavePath_)) {
            if (now() - start > Nanos(timeoutMs) * 1000000 || kill(pid, 0) != 0) {
                reply("error %d never opened %s", pid, slavePath_.c_str());
                return;
            }
            sleepMs(2);
        }
        reply("open %.1f", double(now() - start) / 1e6);
    }

    qsizetype waiting() const {
        int n = 0;
        return ioctl(slave_, FIONREAD, &n) == 0 ? n : 0;
    }

    // Writes the stream as fast as the line takes it, then waits until the terminal has read it
    // all and has gone back to its idle rate. Its idle rate (timers, the console's heartbeat) is
    // measured first and taken off, so the figure is what receiving and showing cost.
    void flood(std::istream &in) {
        qsizetype bytes = 0;
        pid_t pid = 0, xPid = 0;
        int mark = 0;
        in >> bytes >> pid >> xPid >> mark;
        const QByteArray data = payload(bytes);
        const QString expected = tqm::renderBatch(data);
        reply("expect %lld %016" PRIx64, static_cast<long long>(expected.size()),
              std::uint64_t(tqm::bench::fnv1a(expected)));

        const Nanos idleStart = now();
        const Nanos idleCpu0 = cpuOf(pid);
        sleepMs(1000);
        const double idleRate = double(cpuOf(pid) - idleCpu0) / double(now() - idleStart);

        const Nanos t0 = now();
        const Nanos cpu0 = cpuOf(pid), x0 = xPid ? cpuOf(xPid) : 0;
        const double stat0 = statCpuOf(pid);
        if (mark)
            kill(pid, SIGUSR1);
        for (qsizetype done = 0; done < data.size();) {
            const ssize_t n = ::write(master_, data.constData() + done, size_t(data.size() - done));
            if (n < 0 && errno != EINTR)
                die(std::string("write: ") + std::strerror(errno));
            done += std::max<ssize_t>(n, 0);
        }
        const Nanos written = now();
        while (waiting() > 0)
            sleepMs(0.5);
        const Nanos drained = now();

        // Idle again: 250 ms in which it spent under 2 ms beyond its idle rate.
        constexpr double windowMs = 250;
        std::vector<std::pair<Nanos, Nanos>> samples{{drained, cpuOf(pid)}};
        for (;;) {
            sleepMs(25);
            samples.emplace_back(now(), cpuOf(pid));
            if (kill(pid, 0) != 0) {
                reply("error %d ended during the flood", pid);
                return;
            }
            const auto &last = samples.back();
            auto first = std::find_if(samples.begin(), samples.end(), [&](const auto &s) {
                return last.first - s.first <= Nanos(windowMs * 1e6);
            });
            if (first == samples.begin() || last.first - drained > Nanos(120e9))
                continue;
            --first;
            const double busy =
                double(last.second - first->second) - idleRate * double(last.first - first->first);
            if (busy < 2e6)
                break;
        }
        const Nanos settled = now();
        const double cpu = double(cpuOf(pid) - cpu0);
        const double net = cpu - idleRate * double(settled - t0);
        const double xCpu = xPid ? double(cpuOf(xPid) - x0) : 0;
        const double statCpu = statCpuOf(pid) - stat0;
        if (mark)
            kill(pid, SIGUSR1);
        reply("flooded bytes=%lld write_ms=%.1f drain_ms=%.1f settle_ms=%.1f cpu_ms=%.2f "
              "net_cpu_ms=%.2f stat_cpu_ms=%.0f idle_cpu_pct=%.2f x_cpu_ms=%.2f",
              static_cast<long long>(bytes), double(written - t0) / 1e6, double(drained - t0) / 1e6,
              double(settled - t0) / 1e6, cpu / 1e6, net / 1e6, statCpu * 1e3, idleRate * 100,
              xCpu / 1e6);
    }

    void discardWaiting() {
        char buffer[4096];
        pollfd p{master_, POLLIN, 0};
        while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN))
            if (::read(master_, buffer, sizeof buffer) <= 0)
                break;
    }

    // Press, then time from sending the release (the click) to the first byte of the frame.
    void click(std::istream &in) {
        int x = 0, y = 0, count = 0, gapMs = 100;
        in >> x >> y >> count >> gapMs;
        Display *display = XOpenDisplay(nullptr);
        if (!display) {
            reply("error no X display");
            return;
        }
        static const XTest xtest;
        xtest.motion(display, -1, x, y, CurrentTime);
        XSync(display, False);
        sleepMs(50);
        for (int i = 0; i < count; ++i) {
            discardWaiting();
            xtest.button(display, 1, True, CurrentTime);
            XSync(display, False);
            sleepMs(20);
            const Nanos released = now();
            xtest.button(display, 1, False, CurrentTime);
            XFlush(display);
            pollfd p{master_, POLLIN, 0};
            const int ready = poll(&p, 1, 2000);
            const Nanos first = now();
            if (ready <= 0) {
                reply("click %" PRId64 " none 0", released);
            } else {
                sleepMs(5); // the rest of the frame
                char buffer[256];
                const ssize_t n = ::read(master_, buffer, sizeof buffer);
                reply("click %" PRId64 " %" PRId64 " %zd", released, first, n);
            }
            sleepMs(gapMs);
        }
        XCloseDisplay(display);
        reply("clicked");
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string link_;
};

// The UTF-8 title where there is one (a Korean title has no Latin-1 WM_NAME), else WM_NAME.
std::string windowName(Display *display, Window window) {
    static const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    static const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    std::string result;
    if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data && type == utf8 && format == 8)
        result.assign(reinterpret_cast<const char *>(data), count);
    if (data)
        XFree(data);
    if (result.empty()) {
        char *name = nullptr;
        if (XFetchName(display, window, &name) && name)
            result = name;
        if (name)
            XFree(name);
    }
    return result;
}

int ignoreXErrors(Display *, XErrorEvent *) {
    return 0; // a window may go away between its map and our look at its name
}

int startup(const std::string &name, char **argv, int timeoutMs) {
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        die("no X display");
    XSetErrorHandler(ignoreXErrors);
    const Window root = DefaultRootWindow(display);
    // Without a window manager top-level windows are children of the root: their maps and
    // renames all show up here.
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const Nanos start = now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[0], argv);
        _exit(127);
    }
    double mappedMs = -1;
    XWindowAttributes shape{};
    while (mappedMs < 0) {
        while (mappedMs < 0 && XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            const Nanos seen = now();
            if (event.type == MapNotify &&
                windowName(display, event.xmap.window).find(name) != std::string::npos) {
                mappedMs = double(seen - start) / 1e6;
                XGetWindowAttributes(display, event.xmap.window, &shape);
            }
        }
        if (mappedMs >= 0)
            break;
        if (now() - start > Nanos(timeoutMs) * 1000000 || waitpid(child, nullptr, WNOHANG) != 0)
            break;
        pollfd p{ConnectionNumber(display), POLLIN, 0};
        poll(&p, 1, 1);
    }
    kill(child, SIGTERM);
    for (int i = 0; i < 300 && waitpid(child, nullptr, WNOHANG) == 0; ++i)
        sleepMs(10);
    if (waitpid(child, nullptr, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    XCloseDisplay(display);
    if (mappedMs < 0) {
        reply("error no window named *%s* was mapped", name.c_str());
        return 1;
    }
    // The size tells the main window from a message box with the same title.
    reply("mapped %.1f %dx%d", mappedMs, shape.width, shape.height);
    return 0;
}

int usage() {
    std::fprintf(stderr, "usage: bench_harness line [--link PATH]\n"
                         "       bench_harness startup --name TEXT [--timeout-ms N] -- PROGRAM...\n"
                         "       bench_harness payload BYTES\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 2)
        return usage();
    const std::string mode = argv[1];
    if (mode == "line") {
        std::string link;
        if (argc == 4 && std::string(argv[2]) == "--link")
            link = argv[3];
        else if (argc != 2)
            return usage();
        Line line(link);
        line.run();
        return 0;
    }
    if (mode == "startup") {
        std::string name;
        int timeoutMs = 30000;
        int i = 2;
        for (; i < argc && std::string(argv[i]) != "--"; ++i) {
            if (std::string(argv[i]) == "--name" && i + 1 < argc)
                name = argv[++i];
            else if (std::string(argv[i]) == "--timeout-ms" && i + 1 < argc)
                timeoutMs = std::atoi(argv[++i]);
            else
                return usage();
        }
        if (name.empty() || i + 1 >= argc)
            return usage();
        return startup(name, argv + i + 1, timeoutMs);
    }
    if (mode == "payload" && argc == 3) {
        const QByteArray data = payload(std::atoll(argv[2]));
        return std::fwrite(data.constData(), 1, size_t(data.size()), stdout) == size_t(data.size())
                   ? 0
                   : 1;
    }
    return usage();
}
