// Finding a device's holders through /proc: each process's open files are links to what they
// opened, and a pseudo-terminal master's fdinfo says which pair it is.
#include "serial/port_holders.h"

#include <QStringList>

#ifdef Q_OS_LINUX
#include <QByteArray>
#include <QFile>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#endif

namespace tqm {

#ifdef Q_OS_LINUX

namespace {

// The majors of the pseudo-terminals' slave sides, and the number of each within its pair.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

bool isNumber(const char *name) {
    if (!*name)
        return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9')
            return false;
    return true;
}

QByteArray readSmall(const QByteArray &path) {
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
}

// Whether fd `fd` of process `proc` is the master side of pseudo-terminal pair `index`.
bool isMasterOf(const QByteArray &proc, const char *fd, const QByteArray &target, long index) {
    if (target != "/dev/ptmx" && target != "/dev/pts/ptmx")
        return false;
    const QByteArray info = readSmall(proc + "/fdinfo/" + fd);
    const qsizetype at = info.indexOf("tty-index:");
    if (at < 0)
        return true; // an older system that does not say which pair: any master counts
    bool ok = false;
    const long found = info.mid(at + 10, info.indexOf('\n', at) - at - 10).trimmed().toLong(&ok);
    return ok && found == index;
}

} // namespace

QList<PortHolder> portHolders(const QString &device) {
    struct stat dev {};
    if (::stat(QFile::encodeName(device).constData(), &dev) != 0 || !S_ISCHR(dev.st_mode))
        return {};
    const unsigned major = ::major(dev.st_rdev);
    const long ptyIndex = major >= kPtySlaveMajorFirst && major <= kPtySlaveMajorLast
                              ? long(major - kPtySlaveMajorFirst) * 256 + long(::minor(dev.st_rdev))
                              : -1;
    const std::unique_ptr<DIR, int (*)(DIR *)> procs(::opendir("/proc"), ::closedir);
    if (!procs)
        return {};
    const pid_t self = ::getpid();
    const uid_t user = ::geteuid();
    QList<PortHolder> holders;
    while (const dirent *entry = ::readdir(procs.get())) {
        if (!isNumber(entry->d_name) || std::atol(entry->d_name) == self)
            continue;
        const QByteArray proc = QByteArray("/proc/") + entry->d_name;
        struct stat owner {};
        if (::stat(proc.constData(), &owner) != 0 || owner.st_uid != user)
            continue;
        const std::unique_ptr<DIR, int (*)(DIR *)> fds(::opendir(proc + "/fd"), ::closedir);
        if (!fds)
            continue; // not ours to see
        bool holds = false;
        bool farEnd = false;
        while (const dirent *fd = ::readdir(fds.get())) {
            if (!isNumber(fd->d_name))
                continue;
            const QByteArray link = proc + "/fd/" + fd->d_name;
            char target[PATH_MAX];
            const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
            if (n <= 5 || std::memcmp(target, "/dev/", 5) != 0)
                continue; // sockets, pipes and files: nothing of a line's
            const QByteArray path(target, n);
            struct stat opened {};
            if (::stat(link.constData(), &opened) == 0 && S_ISCHR(opened.st_mode) &&
                opened.st_rdev == dev.st_rdev)
                holds = true;
            else if (ptyIndex >= 0 && isMasterOf(proc, fd->d_name, path, ptyIndex))
                farEnd = true;
        }
        if (holds && !farEnd)
            holders << PortHolder{std::atol(entry->d_name),
                                  QString::fromLocal8Bit(readSmall(proc + "/comm")).trimmed()};
    }
    return holders;
}

#else

QList<PortHolder> portHolders(const QString &) {
    return {};
}

#endif

QString holdersText(const QList<PortHolder> &holders) {
    QStringList each;
    for (const PortHolder &h : holders)
        each << QStringLiteral("PID %1 (%2)").arg(h.pid).arg(h.name);
    return each.join(QStringLiteral(", "));
}

} // namespace tqm
