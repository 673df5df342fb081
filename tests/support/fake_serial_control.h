// An in-memory serial control for tests: it records every hand-over and property write,
// fails to open the ports it is told to, and delivers receive batches on demand.
#pragma once

#include "serial/serial_control.h"

#include <QList>
#include <QSet>
#include <QStringList>
#include <functional>

namespace tqm {

class FakeSerialControl : public SerialControl {
    Q_OBJECT
public:
    using SerialControl::SerialControl;

    // Ports that fail to open (absent, or held by another program).
    QSet<int> failingPorts;
    // Ports that open but refuse their modem lines (an adapter that fails once in use): the
    // failure comes with the port already open.
    QSet<int> failLinesOnPorts;
    // When set, the next hand-overs fail (a write error on an open port).
    bool failWrites = false;

    // Called with each frame just before it is recorded, to look at the window at that moment.
    std::function<void(const QByteArray &)> beforeWrite;
    // Every frame handed to output(), as the bytes that went on the line, one entry per hand-over.
    QList<QByteArray> handOvers;
    // Every property write, in order ("CommPort=1", "PortOpen=True", ...).
    QStringList trace;
    // Every open and close of the device itself, in order ("open 3", "close").
    QStringList deviceLog;
    // The modem lines as the device last saw them.
    bool lineDtr = false;
    bool lineRts = false;

    // The far end sends: the bytes join the receive buffer and the receive event follows.
    void deliver(const QByteArray &bytes);
    // Raise any communication event code without new bytes.
    void raise(int code) { raiseCommEvent(code); }
    // The device is unplugged while open.
    void loseDevice(const QString &reason) { dropLink(reason); }
    void restoreDevice() { reopenLost(); }
    // How many times input() was read.
    int reads = 0;
    QByteArray waiting() const { return rx_; }

protected:
    void openDevice(int port, const LineSettings &line) override;
    void closeDevice() override;
    void applyDtr(bool on) override;
    void applyRts(bool on) override;
    void writeBytes(const QByteArray &bytes) override;
    QByteArray readBytes(qint64 maxBytes) override;
    qint64 bytesWaiting() const override { return rx_.size(); }
    void traced(const QString &op) override { trace << op; }

private:
    QByteArray rx_;
    bool deviceOpen_ = false;
};

} // namespace tqm
