// The simulated TQM-810 on a pseudo-terminal: the console opens the slave side like a serial port.
#include "sim/pty_device.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace tqm::sim {

namespace {

// Replies a console does not read pile up in the line; beyond this a new one is dropped, unless
// nothing waits: a reply of any length goes out whole.
constexpr qsizetype kMaxPending = qsizetype{64} * 1024;

QString systemError(const char *what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

PtyDevice::PtyDevice(QObject *parent)
    : QObject(parent) {}

PtyDevice::~PtyDevice() {
    delete reader_;
    delete writer_;
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

bool PtyDevice::open() {
    if (master_ >= 0)
        return true;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error_ = systemError("posix_openpt");
        return false;
    }
    const char *name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || (name = ptsname(master)) == nullptr) {
        error_ = systemError("preparing the pseudo-terminal");
        ::close(master);
        return false;
    }
    const QString path = QString::fromLocal8Bit(name);
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    termios tio{};
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        error_ = systemError("opening the slave side");
        if (slave >= 0)
            ::close(slave);
        ::close(master);
        return false;
    }
    // Raw both ways: no echo, and CR and LF in frames and replies pass unchanged.
    cfmakeraw(&tio);
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(slave, TCSANOW, &tio) != 0 ||
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0) {
        error_ = systemError("setting the line raw");
        ::close(slave);
        ::close(master);
        return false;
    }

    master_ = master;
    slave_ = slave;
    slavePath_ = path;
    reader_ = new QSocketNotifier(master_, QSocketNotifier::Read);
    connect(reader_, &QSocketNotifier::activated, this, &PtyDevice::readMaster);
    writer_ = new QSocketNotifier(master_, QSocketNotifier::Write);
    writer_->setEnabled(false);
    connect(writer_, &QSocketNotifier::activated, this, &PtyDevice::writeMaster);
    return true;
}

void PtyDevice::readMaster() {
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0) {
            handle(splitter_.feed(QByteArrayView(chunk, n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // EIO or end of file: the slave side is gone although we hold it; stop rather than spin.
        return fail(n == 0 ? QStringLiteral("the line closed") : systemError("reading the line"));
    }
}

void PtyDevice::handle(const QList<SplitEvent> &events) {
    for (const SplitEvent &event : events) {
        if (event.skipped) {
            emit garbage(event.skip.bytes, event.skip.why);
            continue;
        }
        const Reaction reaction = device_.handle(event.frame);
        if (out_.isEmpty() || out_.size() + reaction.reply.size() <= kMaxPending)
            out_ += reaction.reply;
        else
            emit replyDropped(reaction.reply.size(), out_.size());
        writeMaster();
        emit frameReceived(event.frame, reaction.reply);
        emit stateLine(reaction.line);
    }
}

void PtyDevice::writeMaster() {
    while (!out_.isEmpty()) {
        const ssize_t n = ::write(master_, out_.constData(), size_t(out_.size()));
        if (n > 0) {
            out_.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        return fail(systemError("writing the line"));
    }
    // Wait for room only while something waits to go out; an idle write notifier would spin.
    writer_->setEnabled(!out_.isEmpty());
}

void PtyDevice::fail(const QString &why) {
    reader_->setEnabled(false);
    writer_->setEnabled(false);
    out_.clear();
    emit failed(why);
}

} // namespace tqm::sim
