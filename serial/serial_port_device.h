// A serial device through QSerialPort, found through a port map link or a device path.
#pragma once

#include "serial/port_device.h"

#include <QSerialPort>

namespace tqm {

class SerialPortDevice : public PortDevice {
    Q_OBJECT
public:
    // `path`: what the port map names (a comN link or a device); resolved on each open.
    SerialPortDevice(int com, QString path, QString direct, qint64 readAhead,
                     QObject *parent = nullptr);
    ~SerialPortDevice() override;

    void open(const LineSettings &line) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    void applyLine(const LineSettings &line) override;
    void applyDtr(bool on) override;
    void applyRts(bool on) override;
    void write(const QByteArray &bytes) override;
    QByteArray read(qint64 maxBytes) override;
    qint64 bytesAvailable() const override { return port_.bytesAvailable(); }
    void discardInput() override;
    bool mayReturn() override;
    bool heldElsewhere() const override { return heldElsewhere_; }

private:
    void onError(QSerialPort::SerialPortError error);
    void checkLine(bool ok, const char *what);
    QString failureText(const QString &device) const;

    QString path_;
    QSerialPort port_;
    bool heldElsewhere_ = false;
};

} // namespace tqm
