// Pseudo-terminal pairs and ports directories for tests.
#include "tests/support/pty_pair.h"

#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace tqm::test {

PtyPair::PtyPair() {
    // Close-on-exec: a program under test that inherited the far end would never see it hang up.
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        return;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        ::close(master_);
        master_ = -1;
        return;
    }
    slavePath_ = QString::fromLocal8Bit(::ptsname(master_));
    // Raw from the start, so nothing written before the console opens its side is translated.
    const int slave = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        ::close(slave);
    }
}

void PtyPair::close() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void PtyPair::write(const QByteArray &bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
        } else {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
    }
}

QByteArray PtyPair::read(int count, int timeoutMs) {
    QByteArray got;
    QElapsedTimer timer;
    timer.start();
    char buf[4096];
    while (got.size() < count && timer.elapsed() < timeoutMs) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
        } else if (p.revents & POLLHUP) {
            // Nobody has the slave side open yet: poll() would return at once.
            ::usleep(5000);
        }
    }
    return got;
}

QByteArray PtyPair::drain(int quietMs) {
    QByteArray got;
    char buf[4096];
    for (;;) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, quietMs) <= 0 || !(p.revents & POLLIN)) {
            if (p.revents & POLLHUP)
                ::usleep(quietMs * 1000);
            return got;
        }
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0)
            return got;
        got.append(buf, n);
    }
}

void PortsDir::link(int com, const QString &device) {
    unlink(com);
    QFile::link(device, dir_.path() + QStringLiteral("/com%1").arg(com));
}

void PortsDir::unlink(int com) {
    QFile::remove(dir_.path() + QStringLiteral("/com%1").arg(com));
}

} // namespace tqm::test
