// Finding a device's holders through /proc: each process's open files are links to what they
// opened, and a pseudo-terminal master's fdinfo says which pair it is.
#include "serial/port_holders.h"

#include <QFile>
#include <QStringList>

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#endif

namespace tqm {

namespace {

#ifdef Q_OS_LINUX

using Dir = std::unique_ptr<DIR, int (*)(DIR *)>;

bool isNumber(const char *name) {
    if (!*name)
        return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9')
            return false;
    return true;
}

// The pair a master side belongs to, from "tty-index:\t7" in its fdinfo; -1 when the system does
// not say (then any master counts as the far end).
long ptyIndex(const QByteArray &fdinfo) {
    const int fd = ::open(fdinfo.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[512];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    text[n > 0 ? n : 0] = '\0';
    const char *at = std::strstr(text, "tty-index:");
    return at ? std::strtol(at + 10, nullptr, 10) : -1;
}

#endif

// "/dev/pts/7" is pair 7; -1 for any other device.
long pairOf(const QString &device) {
    static const QString pts = QStringLiteral("/dev/pts/");
    bool ok = false;
    const long n = device.startsWith(pts) ? device.mid(pts.size()).toLong(&ok) : -1;
    return ok ? n : -1;
}

} // namespace

QList<PortHolder> PortHolderScan::holdersOf(const QString &device) const {
    if (!processes_) {
        processes_.emplace();
#ifdef Q_OS_LINUX
        const Dir procs(::opendir("/proc"), ::closedir);
        const pid_t self = ::getpid();
        const uid_t user = ::geteuid();
        while (const dirent *entry = procs ? ::readdir(procs.get()) : nullptr) {
            if (!isNumber(entry->d_name) || std::atol(entry->d_name) == self)
                continue;
            const QByteArray proc = QByteArray("/proc/") + entry->d_name;
            struct stat owner {};
            if (::stat(proc.constData(), &owner) != 0 || owner.st_uid != user)
                continue;
            const Dir fds(::opendir(proc + "/fd"), ::closedir);
            Process process{std::atol(entry->d_name), {}, {}};
            while (const dirent *fd = fds ? ::readdir(fds.get()) : nullptr) {
                if (fd->d_name[0] == '.')
                    continue;
                char target[PATH_MAX];
                const ssize_t n = ::readlink(proc + "/fd/" + fd->d_name, target, sizeof target - 1);
                if (n <= 5 || std::memcmp(target, "/dev/", 5) != 0)
                    continue; // sockets, pipes and files: nothing of a line's
                const QByteArray path(target, n);
                if (path == "/dev/ptmx" || path == "/dev/pts/ptmx")
                    process.ptyMasters << ptyIndex(proc + "/fdinfo/" + fd->d_name);
                else
                    process.devices << path;
            }
            if (!process.devices.isEmpty())
                processes_->append(process);
        }
#endif
    }
    const QByteArray path = QFile::encodeName(device);
    const long pair = pairOf(device);
    QList<PortHolder> holders;
    for (const Process &p : *processes_) {
        if (!p.devices.contains(path) ||
            (pair >= 0 && (p.ptyMasters.contains(pair) || p.ptyMasters.contains(-1))))
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(p.pid));
        holders << PortHolder{p.pid, comm.open(QIODevice::ReadOnly)
                                         ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                         : QString()};
    }
    return holders;
}

QString holdersText(const QList<PortHolder> &holders) {
    QStringList each;
    for (const PortHolder &h : holders)
        each << QStringLiteral("PID %1 (%2)").arg(h.pid).arg(h.name);
    return each.join(QStringLiteral(", "));
}

} // namespace tqm
