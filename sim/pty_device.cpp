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

// Replies a console does not read pile up in the line; beyond this they are dropped.
constexpr qsizetype kMaxPending = 64 * 1024;

QString systemError(const char *what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

PtyDevice::PtyDevice(QObject *parent)
    : QObject(parent) {}

PtyDevice::~PtyDevice() {
    delete m_reader;
    delete m_writer;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PtyDevice::open() {
    if (m_master >= 0)
        return true;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        m_error = systemError("posix_openpt");
        return false;
    }
    const char *name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || (name = ptsname(master)) == nullptr) {
        m_error = systemError("preparing the pseudo-terminal");
        ::close(master);
        return false;
    }
    const QString path = QString::fromLocal8Bit(name);
    const int slave = ::open(name, O_RDWR | O_NOCTTY);
    termios tio{};
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        m_error = systemError("opening the slave side");
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
        m_error = systemError("setting the line raw");
        ::close(slave);
        ::close(master);
        return false;
    }

    m_master = master;
    m_slave = slave;
    m_slavePath = path;
    m_reader = new QSocketNotifier(m_master, QSocketNotifier::Read);
    connect(m_reader, &QSocketNotifier::activated, this, &PtyDevice::readMaster);
    m_writer = new QSocketNotifier(m_master, QSocketNotifier::Write);
    m_writer->setEnabled(false);
    connect(m_writer, &QSocketNotifier::activated, this, &PtyDevice::writeMaster);
    return true;
}

void PtyDevice::readMaster() {
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0) {
            handle(m_splitter.feed(QByteArrayView(chunk, n)));
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
        const Reaction reaction = m_device.handle(event.frame);
        if (m_out.size() + reaction.reply.size() <= kMaxPending)
            m_out += reaction.reply;
        writeMaster();
        emit frameReceived(event.frame, reaction.reply);
        emit stateLine(reaction.line);
    }
}

void PtyDevice::writeMaster() {
    while (!m_out.isEmpty()) {
        const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
        if (n > 0) {
            m_out.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        return fail(systemError("writing the line"));
    }
    // Wait for room only while something waits to go out; an idle write notifier would spin.
    m_writer->setEnabled(!m_out.isEmpty());
}

void PtyDevice::fail(const QString &why) {
    m_reader->setEnabled(false);
    m_writer->setEnabled(false);
    m_out.clear();
    emit failed(why);
}

} // namespace tqm::sim
