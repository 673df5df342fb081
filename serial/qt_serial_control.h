// The serial control on a real port through QSerialPort.
#pragma once

#include "serial/port_map.h"
#include "serial/serial_control.h"

#include <QSerialPort>
#include <QTimer>

namespace tqm {

class QtSerialControl : public SerialControl {
    Q_OBJECT
public:
    explicit QtSerialControl(PortMap map = PortMap(), QObject *parent = nullptr);
    ~QtSerialControl() override;

    QString portDescription(int port) const override;

    // How messages name COM`port`: "COM3 (/dev/ttyUSB0)", or a device named directly, as given.
    QString messageName(int port) const;
    // Whether the last open failed because another program holds the device.
    bool heldElsewhere() const { return heldElsewhere_; }

    // The receive buffer: one read never yields more than this.
    static constexpr qint64 receiveBufferSize = 1024;
    // How much the port may hold ahead of the reader: the line is read in pieces of up to this
    // many bytes, then handed over batch by batch.
    static constexpr qint64 readAheadSize = 16 * receiveBufferSize;

protected:
    void openDevice(int port, const LineSettings &line) override;
    void closeDevice() override;
    void applyLine(const LineSettings &line) override;
    void applyDtr(bool on) override;
    void applyRts(bool on) override;
    void writeBytes(const QByteArray &bytes) override;
    QByteArray readBytes(qint64 maxBytes) override;
    qint64 bytesWaiting() const override;
    void discardWaiting() override;
    void awaitReturn() override;

private:
    void deliverWaiting();
    void onError(QSerialPort::SerialPortError error);
    void tryReconnect();
    void checkLine(bool ok, const char *what);
    QString failureText(int port, const QString &device) const;
    QString named(int port, const QString &device) const;
    QString shortName(int port) const;

    PortMap map_;
    QSerialPort port_;
    QTimer reconnect_;
    bool delivering_ = false;
    bool redeliveryDue_ = false;
    bool heldElsewhere_ = false;
};

} // namespace tqm
