// The in-memory serial control used by tests.
#include "tests/support/fake_serial_control.h"

#include "serial/failure.h"

namespace tqm {

void FakeSerialControl::openDevice(int port, const LineSettings &) {
    if (failingPorts.contains(port))
        throw Failure(QStringLiteral("COM%1: No such file or directory").arg(port));
    deviceOpen_ = true;
    deviceLog << QStringLiteral("open %1").arg(port);
}

void FakeSerialControl::closeDevice() {
    if (!deviceOpen_)
        return;
    deviceOpen_ = false;
    rx_.clear();
    deviceLog << QStringLiteral("close");
}

void FakeSerialControl::applyDtr(bool on) {
    if (failLinesOnPorts.contains(commPort()))
        throw Failure(QStringLiteral("COM%1: cannot set DTR: Input/output error").arg(commPort()));
    lineDtr = on;
}

void FakeSerialControl::applyRts(bool on) {
    if (failLinesOnPorts.contains(commPort()))
        throw Failure(QStringLiteral("COM%1: cannot set RTS: Input/output error").arg(commPort()));
    lineRts = on;
}

void FakeSerialControl::writeBytes(const QByteArray &bytes) {
    if (failWrites)
        throw Failure(QStringLiteral("COM%1: cannot send: write error").arg(commPort()));
    if (beforeWrite)
        beforeWrite(bytes);
    handOvers << bytes;
}

QByteArray FakeSerialControl::readBytes(qint64 maxBytes) {
    ++reads;
    QByteArray batch = maxBytes > 0 ? rx_.left(maxBytes) : rx_;
    rx_.remove(0, batch.size());
    return batch;
}

void FakeSerialControl::deliver(const QByteArray &bytes) {
    rx_ += bytes;
    dataArrived();
}

} // namespace tqm
