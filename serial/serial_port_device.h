// A serial device through QSerialPort, found through a port map link or a device path.
#pragma once

#include "serial/port_device.h"
#include "serial/port_holders.h"

#include <QSerialPort>

#include <memory>

namespace tqm {

class SerialPortDevice : public PortDevice {
    Q_OBJECT
public:
    // `path`: what the port map names (a comN link or a device); resolved on each open.
    SerialPortDevice(int com, QString path, QString direct, qint64 readAhead,
                     QObject *parent = nullptr);

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
    // Refuses to open the device while `seen` shows another process of this user holding it,
    // even without a lock: whoever reads it there takes the answers. Null: no such check.
    void setRefuseHeld(std::shared_ptr<const PortHolderScan> seen) { seen_ = std::move(seen); }

private:
    void onError(QSerialPort::SerialPortError error);
    void checkLine(bool ok, const char *what);
    QString failureText(const QString &device) const;

    QString path_;
    QString opened_; // the device path_ led to when opened: QSerialPort's name for it drops /dev/
    QSerialPort port_;
    std::shared_ptr<const PortHolderScan> seen_;
};

} // namespace tqm
